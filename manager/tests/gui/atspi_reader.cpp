// Reads, as a screen reader would through AT-SPI, the alerts and dialogs that one process shows:
// for each, a line "window <role> <name>", then "text <label>" for every label and
// "button <name>" for every push button inside it. Exits 0 when it found at least one, 1 when
// none appeared within the time given, 2 on a usage or bus error.
//   orvane_atspi_reader <pid> [seconds]
#include <atspi/atspi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

std::string NameOf(AtspiAccessible* accessible) {
    GError* error = nullptr;
    gchar* name = atspi_accessible_get_name(accessible, &error);
    if (error) {
        g_error_free(error);
        return std::string();
    }
    std::string text = name ? name : "";
    g_free(name);
    return text;
}

AtspiRole RoleOf(AtspiAccessible* accessible) {
    GError* error = nullptr;
    const AtspiRole role = atspi_accessible_get_role(accessible, &error);
    if (error) {
        g_error_free(error);
        return ATSPI_ROLE_INVALID;
    }
    return role;
}

void PrintContents(AtspiAccessible* accessible) {
    GError* error = nullptr;
    const int count = atspi_accessible_get_child_count(accessible, &error);
    if (error) {
        g_error_free(error);
        return;
    }
    for (int i = 0; i < count; ++i) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(accessible, i, nullptr);
        if (!child)
            continue;
        const AtspiRole role = RoleOf(child);
        if (role == ATSPI_ROLE_LABEL)
            std::printf("text %s\n", NameOf(child).c_str());
        else if (role == ATSPI_ROLE_PUSH_BUTTON)
            std::printf("button %s\n", NameOf(child).c_str());
        PrintContents(child);
        g_object_unref(child);
    }
}

// The alerts and dialogs of the application with process id pid; the number printed.
int PrintWindows(pid_t pid) {
    AtspiAccessible* desktop = atspi_get_desktop(0);
    int found = 0;
    const int apps = atspi_accessible_get_child_count(desktop, nullptr);
    for (int a = 0; a < apps; ++a) {
        AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, a, nullptr);
        if (!app)
            continue;
        if (pid_t(atspi_accessible_get_process_id(app, nullptr)) == pid) {
            const int windows = atspi_accessible_get_child_count(app, nullptr);
            for (int w = 0; w < windows; ++w) {
                AtspiAccessible* window = atspi_accessible_get_child_at_index(app, w, nullptr);
                if (!window)
                    continue;
                const AtspiRole role = RoleOf(window);
                if (role == ATSPI_ROLE_ALERT || role == ATSPI_ROLE_DIALOG) {
                    std::printf("window %s %s\n", role == ATSPI_ROLE_ALERT ? "alert" : "dialog",
                                NameOf(window).c_str());
                    PrintContents(window);
                    ++found;
                }
                g_object_unref(window);
            }
        }
        g_object_unref(app);
    }
    g_object_unref(desktop);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const pid_t pid = pid_t(std::atoi(argv[1]));
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    if (atspi_init() < 0)
        return 2;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (PrintWindows(pid) > 0)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 1;
}
