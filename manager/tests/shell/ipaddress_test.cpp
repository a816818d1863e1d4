// The text of IP address controls: one rule for every backend, checked on the headless one.
#include <gtest/gtest.h>

#include <string>

#include "pages/gprs.h"
#include "res/control_ids.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

struct AddressCase {
    const wchar_t* given;
    const wchar_t* held;
};

TEST(IpAddressControl, TextIsNormalizedTheSameWayInEveryBackend) {
    const AddressCase cases[] = {
        {L"", L""},
        {L"...", L""},
        {L"192.168.1.10", L"192.168.1.10"},
        {L"0", L"0.0.0.0"},
        {L"10..3", L"10.0.3.0"},
        {L"300.1.2.3", L"255.1.2.3"},
        {L"010.001.2.3", L"10.1.2.3"},
        {L"1.2.3.4.5", L"1.2.3.4"},
        {L"1234.5.6.7", L"123.5.6.7"},
        {L"a1b.2c.3.4 ", L"1.2.3.4"},
        {L"not an address", L""},
    };
    for (const AddressCase& c : cases)
        EXPECT_EQ(ui::NormalizeAddressText(c.given), c.held) << c.given;

    LangTable().SelectStartupLanguage(L"ENG");
    ui::headless::ScopedBackend backend;
    CDlgGPRSParam page(nullptr);
    ASSERT_TRUE(page.Create());
    // A fresh control is blank and so gives the empty text.
    EXPECT_EQ(page.GetDlgItemText(ids::gprs::kServerIp), L"");
    for (const AddressCase& c : cases) {
        page.SetDlgItemText(ids::gprs::kServerIp, c.given);
        EXPECT_EQ(page.GetDlgItemText(ids::gprs::kServerIp), c.held) << c.given;
    }
}

}  // namespace
