// Runs the application object on the headless backend, for the single-instance test. Message
// boxes are printed as "message|<caption>|<text>|<style>"; when the main window runs, "main
// window" is printed and the window stays open until standard input ends.
#include <cstdio>
#include <iostream>
#include <string>

#include "app.h"
#include "text/text.h"
#include "ui/headless.h"

int main() {
    ui::headless::ScopedBackend backend;
    backend->onMessage = [](const ui::headless::RecordedMessage& m) {
        std::printf("message|%s|%s|0x%02x\n", text::ToAnsi(m.caption).c_str(),
                    text::ToAnsi(m.text).c_str(), m.style);
        std::fflush(stdout);
    };
    backend->onModal = [](ui::Dialog& dialog) {
        std::printf("main window|%d\n", dialog.TemplateId());
        std::fflush(stdout);
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        return int(ui::kIdCancel);
    };
    CManagerApp app;
    app.InitInstance();
    std::printf("exit\n");
    return 0;
}
