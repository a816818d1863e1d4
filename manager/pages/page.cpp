#include "pages/page.h"

#include "app.h"
#include "text/langtable.h"

int ShowTextMessage(ui::Dialog& dialog, const std::wstring& text, unsigned style) {
    return dialog.MessageBox(text, CManagerApp::kAppName, style);
}

int ShowKeyMessage(ui::Dialog& dialog, const wchar_t* key, unsigned style) {
    return ShowTextMessage(dialog, LangTable().GetText(key), style);
}

void ShowSetOutcome(ui::Dialog& dialog, bool ok) {
    ShowKeyMessage(dialog, ok ? L"IDS_COMM_SETOK" : L"IDS_COMM_SETFAIL");
}
