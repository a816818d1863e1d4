// The dialog templates against the control lists of the dialogs, and against the English table.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "res/control_ids.h"
#include "text/langtable.h"
#include "text/tests/fake_window.h"
#include "text/text.h"
#include "ui/dialog_template.h"

namespace {

using namespace ids;
using ui::ControlKind;
using ui::ControlTemplate;
using ui::DialogTemplate;

constexpr ControlKind S = ControlKind::kStatic;
constexpr ControlKind G = ControlKind::kGroupBox;
constexpr ControlKind B = ControlKind::kButton;
constexpr ControlKind E = ControlKind::kEdit;
constexpr ControlKind L = ControlKind::kDropList;
constexpr ControlKind C = ControlKind::kCheckBox;
constexpr ControlKind R = ControlKind::kRadio;
constexpr ControlKind D = ControlKind::kDatePicker;
constexpr ControlKind T = ControlKind::kTimePicker;
constexpr ControlKind I = ControlKind::kIpAddress;
constexpr ControlKind TAB = ControlKind::kTab;
constexpr ControlKind IMG = ControlKind::kImage;

constexpr uint32_t H = ui::kHidden;
constexpr uint32_t X = ui::kDisabled;  // created disabled
constexpr uint32_t P = ui::kPassword;
constexpr uint32_t N = ui::kDigitsOnly;
constexpr uint32_t DEF = ui::kDefaultButton;

struct Expected {
    int id;
    ControlKind kind;
    uint32_t flags;
    int limit;
};

struct DialogCase {
    int id;
    bool child;
    std::vector<Expected> controls;  // in the order of the dialog's children
};

// Transcribed from the control tables of the dialogs (the RK20 dialog is checked separately).
const DialogCase kDialogs[] = {
    {102,
     false,
     {{mainwindow::kBanner, IMG, 0, 0},
      {mainwindow::kCameraFrame, G, 0, 0},
      {mainwindow::kSerialLabel, S, 0, 0},
      {mainwindow::kSerial, S, 0, 0},
      {mainwindow::kUnusedStatic, S, 0, 0},
      {mainwindow::kPasswordLabel, S, 0, 0},
      {mainwindow::kPasswordBox, E, P | N | X, 6},
      {mainwindow::kLoginButton, B, DEF | X, 0},
      {mainwindow::kModifyButton, B, X, 0},
      {mainwindow::kTabs, TAB, 0, 0},
      {mainwindow::kLanguageLabel, S, 0, 0},
      {mainwindow::kLanguageList, L, 0, 0},
      {mainwindow::kSkinLabel, S, 0, 0},
      {mainwindow::kSkinList, L, 0, 0},
      {mainwindow::kStatusLine, S, 0, 0},
      {mainwindow::kCancelButton, B, 0, 0}}},
    {106,
     true,
     {{devinfo::kDepartmentNameLabel, S, 0, 0},
      {devinfo::kDepartmentName, E, X, 32},
      {devinfo::kDepartmentNumberLabel, S, 0, 0},
      {devinfo::kDepartmentNumber, E, X, 12},
      {devinfo::kUserIdLabel, S, 0, 0},
      {devinfo::kUserId, E, X, 6},
      {devinfo::kUserNameLabel, S, 0, 0},
      {devinfo::kUserName, E, X, 32},
      {devinfo::kDeviceIdLabel, S, H, 0},
      {devinfo::kDeviceId, E, H | X, 7},
      {devinfo::kRefresh, B, X, 0},
      {devinfo::kApply, B, X, 0}}},
    {107,
     true,
     {{param::kVideoLabel, S, 0, 0},
      {param::kVideoList, L, X, 0},
      {param::kPhotoLabel, S, 0, 0},
      {param::kPhotoList, L, X, 0},
      {param::kLengthLabel, S, 0, 0},
      {param::kLengthList, L, X, 0},
      {param::kFreeSpaceLabel, S, 0, 0},
      {param::kFreeSpace, S, 0, 0},
      {param::kCapacityLabel, S, 0, 0},
      {param::kCapacity, S, 0, 0},
      {param::kVersionLabel, S, 0, 0},
      {param::kVersion, S, 0, 0},
      {param::kMore, B, X, 0},
      {param::kDefaultSetting, B, X, 0},
      {param::kRefresh, B, X, 0},
      {param::kApply, B, X, 0},
      {param::kFreePasswordLabel, S, 0, 0},
      {param::kFreePasswordFrame, G, 0, 0},
      {param::kFreePasswordYes, R, ui::kGroupStart, 0},
      {param::kFreePasswordNo, R, 0, 0}}},
    {108,
     true,
     {{devctrl::kClockFrame, G, 0, 0},
      {devctrl::kClockFromPc, B, X, 0},
      {devctrl::kDateLabel, S, 0, 0},
      {devctrl::kDatePicker, D, X | ui::kUpDown, 0},
      {devctrl::kTimeLabel, S, 0, 0},
      {devctrl::kTimePicker, T, X, 0},
      {devctrl::kSetTime, B, 0, 0},
      {devctrl::kUDiskFrame, G, 0, 0},
      {devctrl::kStartUDisk, B, X, 0},
      {devctrl::kFormatFrame, G, 0, 0},
      {devctrl::kFormat, B, X, 0},
      {devctrl::kFormattingNote, S, H | ui::kCentered, 0},
      {devctrl::kDeleteLogFrame, G, H, 0},
      {devctrl::kDeleteLog, B, H | X, 0}}},
    {109,
     false,
     {{pwd::kModifyFrame, G, 0, 0},
      {pwd::kCurrentLabel, S, 0, 0},
      {pwd::kCurrent, E, P | N, 6},
      {pwd::kNewLabel, S, 0, 0},
      {pwd::kNew, E, P | N, 6},
      {pwd::kNewAgainLabel, S, 0, 0},
      {pwd::kNewAgain, E, P | N, 6},
      {pwd::kModify, B, 0, 0},
      {pwd::kLengthNote, S, 0, 0},
      {pwd::kBrowseFrame, G, 0, 0},
      {pwd::kBrowseLabel, S, 0, 0},
      {pwd::kBrowse, E, P | N, 6},
      {pwd::kBrowseAgainLabel, S, 0, 0},
      {pwd::kBrowseAgain, E, P | N, 6},
      {pwd::kTypeSelector, L, 0, 0},
      {pwd::kApply, B, 0, 0},
      {pwd::kBrowseLengthNote, S, 0, 0},
      {pwd::kCancel, B, 0, 0}}},
    {110,
     true,
     {{gprs::kSosLabel, S, 0, 0},
      {gprs::kSosList, L, X, 0},
      {gprs::kPhoneLabel, S, 0, 0},
      {gprs::kPhone, E, X, 15},
      {gprs::kApnLabel, S, 0, 0},
      {gprs::kApn, E, X, 31},
      {gprs::kUserNameLabel, S, 0, 0},
      {gprs::kUserName, E, X, 15},
      {gprs::kPasswordLabel, S, 0, 0},
      {gprs::kPassword, E, X, 15},
      {gprs::kServerIpLabel, S, 0, 0},
      {gprs::kServerIp, I, X, 0},
      {gprs::kRefresh, B, X, 0},
      {gprs::kApply, B, X, 0}}},
    {136,
     true,
     {{wifi::kApFrame, G, 0, 0},
      {wifi::kModeLabel, S, 0, 0},
      {wifi::kModeList, L, 0, 0},
      {wifi::kApNameLabel, S, 0, 0},
      {wifi::kApName, E, 0, 15},
      {wifi::kApPasswordLabel, S, 0, 0},
      {wifi::kApPassword, E, P, 15},
      {wifi::kApShow, C, 0, 0},
      {wifi::kRefresh, B, 0, 0},
      {wifi::kApply, B, 0, 0},
      {wifi::kEncryptionLabel, S, H, 0},
      {wifi::kEncryptionList, L, H | X, 0},
      {wifi::kIpLabel, S, H, 0},
      {wifi::kIp, I, H | X, 0},
      {wifi::kPortLabel, S, H, 0},
      {wifi::kPort, E, H | X, 5},
      {wifi::kStationFrame, G, H, 0},
      {wifi::kStationNameLabel, S, H, 0},
      {wifi::kStationName, E, H | X, 0},
      {wifi::kStationPasswordLabel, S, H, 0},
      {wifi::kStationPassword, E, H | X | P, 0},
      {wifi::kStationShow, C, H | X, 0}}},
    {137,
     true,
     {{mobilelink::kLinkIdLabel, S, 0, 0},
      {mobilelink::kLinkId, E, 0, 8},
      {mobilelink::kServerAddressLabel, S, 0, 0},
      {mobilelink::kServerAddress, E, 0, 64},
      {mobilelink::kPortLabel, S, 0, 0},
      {mobilelink::kPort, E, N, 5},
      {mobilelink::kApnLabel, S, 0, 0},
      {mobilelink::kApn, E, 0, 32},
      {mobilelink::kUserLabel, S, 0, 0},
      {mobilelink::kUser, E, 0, 16},
      {mobilelink::kPasswordLabel, S, 0, 0},
      {mobilelink::kPassword, E, 0, 32},
      {mobilelink::kDialNumberLabel, S, 0, 0},
      {mobilelink::kDialNumber, E, 0, 32},
      {mobilelink::kUploadIntervalLabel, S, 0, 0},
      {mobilelink::kUploadInterval, E, N, 5},
      {mobilelink::kAlarmIntervalLabel, S, 0, 0},
      {mobilelink::kAlarmInterval, E, N, 5},
      {mobilelink::kSave, B, DEF, 0},
      {mobilelink::kRefresh, B, 0, 0},
      {mobilelink::kHiddenAddress, I, H, 0}}},
    {139,
     true,
     {{cmsv6::kDeviceIdLabel, S, 0, 0},
      {cmsv6::kDeviceId, E, X, 8},
      {cmsv6::kServerIpLabel, S, 0, 0},
      {cmsv6::kServerIp, I, 0, 0},
      {cmsv6::kServerPortLabel, S, H, 0},
      {cmsv6::kServerPort, E, H | X | N, 5},
      {cmsv6::kListenPortLabel, S, H, 0},
      {cmsv6::kListenPort, E, H | X | N, 5},
      {cmsv6::kSsidLabel, S, 0, 0},
      {cmsv6::kSsid, E, 0, 0},
      {cmsv6::kPasswordLabel, S, 0, 0},
      {cmsv6::kPassword, E, P, 0},
      {cmsv6::kShowPassword, C, 0, 0},
      {cmsv6::kRefresh, B, X, 0},
      {cmsv6::kSetting, B, X, 0}}},
    {146,
     false,
     {{rk40::kVolumeLabel, S, 0, 0},
      {rk40::kVolumeList, L, 0, 0},
      {rk40::kIrLabel, S, 0, 0},
      {rk40::kIrList, L, 0, 0},
      {rk40::kLoopLabel, S, 0, 0},
      {rk40::kLoopList, L, 0, 0},
      {rk40::kSetting, B, DEF, 0},
      {rk40::kCancel, B, 0, 0}}},
    {147,
     false,
     {{rk50::kPlateLabel, S, 0, 0},
      {rk50::kPlate, E, 0, 0},
      {rk50::kSetting, B, DEF, 0},
      {rk50::kCancel, B, 0, 0}}},
};

const DialogTemplate& Find(int id) {
    const DialogTemplate* t = ui::FindDialogTemplate(id);
    if (t == nullptr) {
        ADD_FAILURE() << "no template " << id;
        static const DialogTemplate empty{0, L"", 0, 0, false, {}};
        return empty;
    }
    return *t;
}

class TemplateTest : public testing::TestWithParam<DialogCase> {};

TEST_P(TemplateTest, HasEveryControlInOrderWithItsState) {
    const DialogCase& c = GetParam();
    const DialogTemplate& t = Find(c.id);
    EXPECT_EQ(t.id, c.id);
    EXPECT_EQ(t.child, c.child);
    ASSERT_EQ(t.controls.size(), c.controls.size());
    for (std::size_t i = 0; i < c.controls.size(); ++i) {
        const ControlTemplate& got = t.controls[i];
        const Expected& want = c.controls[i];
        SCOPED_TRACE("control " + std::to_string(want.id));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.kind, want.kind);
        EXPECT_EQ(got.flags, want.flags);
        EXPECT_EQ(got.textLimit, want.limit);
    }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, TemplateTest, testing::ValuesIn(kDialogs),
                         [](const testing::TestParamInfo<DialogCase>& info) {
                             return "IDD" + std::to_string(info.param.id);
                         });

TEST(Rk20Template, ListsWithLabelsInThreeFrames) {
    const DialogTemplate& t = Find(138);
    EXPECT_FALSE(t.child);
    EXPECT_EQ(t.cx, 550);
    EXPECT_EQ(t.cy, 226);
    // State of the lists from Resolution to Video on: E enabled, D disabled, H hidden.
    const std::string states = "EDEEDDDEDEDEDDEDEDDHEEEDDE";
    ASSERT_EQ(states.size(), 26u);
    std::map<int, std::size_t> at;
    for (std::size_t i = 0; i < t.controls.size(); ++i) {
        EXPECT_TRUE(at.emplace(t.controls[i].id, i).second || t.controls[i].id == -1)
            << "id " << t.controls[i].id << " twice";
    }
    for (int k = 0; k < 26; ++k) {
        int id = rk20::kResolution + k;
        uint32_t flags = states[k] == 'D' ? X : states[k] == 'H' ? H : 0;
        ASSERT_TRUE(at.contains(id)) << id;
        const ControlTemplate& list = t.controls[at[id]];
        EXPECT_EQ(list.kind, L) << id;
        EXPECT_EQ(list.flags, flags) << id;
        // The label stands directly before its list and shares its state.
        ASSERT_GT(at[id], 0u);
        const ControlTemplate& label = t.controls[at[id] - 1];
        EXPECT_EQ(label.kind, S) << id;
        EXPECT_EQ(label.flags, flags) << id;
    }
    EXPECT_EQ(t.controls[at[rk20::kDstSetup] - 1].id, rk20::kDstSetup + rk20::kLabelOffset);
    for (int id : {rk20::kFreeSizeLabel, rk20::kFreeSize, rk20::kTotalSizeLabel, rk20::kTotalSize,
                   rk20::kOfficerIdLabel, rk20::kOfficerId, rk20::kSerialLabel, rk20::kSerial,
                   rk20::kFirmwareLabel, rk20::kFirmware}) {
        ASSERT_TRUE(at.contains(id)) << id;
        EXPECT_EQ(t.controls[at[id]].kind, S) << id;
    }
    for (int id : {rk20::kDefaultSetting, rk20::kRefresh, rk20::kOk, rk20::kCancel}) {
        ASSERT_TRUE(at.contains(id)) << id;
        EXPECT_EQ(t.controls[at[id]].kind, B) << id;
    }
    EXPECT_EQ(t.controls[at[rk20::kOk]].flags, DEF);
    auto frames = std::count_if(t.controls.begin(), t.controls.end(), [](const ControlTemplate& c) {
        return c.kind == G && c.id == -1 && std::wstring(c.label).empty();
    });
    EXPECT_EQ(frames, 3);
}

TEST(AboutTemplate, IconVersionAndOkButton) {
    const DialogTemplate& t = Find(100);
    EXPECT_EQ(std::wstring(t.title), L"\u5173\u4E8E Orvane");
    EXPECT_FALSE(t.child);
    ASSERT_EQ(t.controls.size(), 3u);
    EXPECT_EQ(t.controls[0].kind, IMG);
    EXPECT_EQ(t.controls[0].imageId, 128);
    EXPECT_EQ(std::wstring(t.controls[1].label), L"Orvane Version 1.0");
    EXPECT_EQ(t.controls[2].id, about::kOk);
    EXPECT_EQ(t.controls[2].kind, B);
    EXPECT_EQ(std::wstring(t.controls[2].label), L"\u786E\u5B9A");
    EXPECT_EQ(t.controls[2].flags, DEF);
}

TEST(Templates, UnknownNumberHasNone) {
    EXPECT_EQ(ui::FindDialogTemplate(0), nullptr);
    EXPECT_EQ(ui::FindDialogTemplate(101), nullptr);
}

const int kAllTemplates[] = {100, 102, 106, 107, 108, 109, 110, 136, 137, 138, 139, 146, 147};

bool Overlap(const ControlTemplate& a, const ControlTemplate& b) {
    return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

TEST(Templates, IdsUniqueAndControlsInsideTheirDialog) {
    for (int id : kAllTemplates) {
        const DialogTemplate& t = Find(id);
        SCOPED_TRACE("IDD" + std::to_string(id));
        std::set<int> ids;
        for (const ControlTemplate& c : t.controls) {
            if (c.id != -1) {
                EXPECT_TRUE(ids.insert(c.id).second) << "id " << c.id << " twice";
            }
            EXPECT_NE(c.label, nullptr);
            EXPECT_GE(c.x, 0) << c.id;
            EXPECT_GE(c.y, 0) << c.id;
            EXPECT_GT(c.cx, 0) << c.id;
            EXPECT_GT(c.cy, 0) << c.id;
            EXPECT_LE(c.x + c.cx, t.cx) << c.id;
            EXPECT_LE(c.y + c.cy, t.cy) << c.id;
            if (c.kind == L) {
                EXPECT_GT(c.dropHeight, c.cy) << c.id;
            }
        }
    }
}

// Frames, the tab control and the main window's banner hold other controls; nothing else may
// lie on top of another control, hidden ones included.
TEST(Templates, ControlsDoNotOverlap) {
    for (int id : kAllTemplates) {
        const DialogTemplate& t = Find(id);
        std::vector<const ControlTemplate*> solid;
        for (const ControlTemplate& c : t.controls) {
            if (c.kind != G && c.kind != TAB && !(id == 102 && c.id == mainwindow::kBanner)) {
                solid.push_back(&c);
            }
        }
        for (std::size_t i = 0; i < solid.size(); ++i) {
            for (std::size_t j = i + 1; j < solid.size(); ++j) {
                EXPECT_FALSE(Overlap(*solid[i], *solid[j]))
                    << "IDD" << id << ": " << solid[i]->id << " and " << solid[j]->id;
            }
        }
    }
}

TEST(Templates, PagesFitTheTabArea) {
    const DialogTemplate& main = Find(102);
    auto tab = std::find_if(main.controls.begin(), main.controls.end(),
                            [](const ControlTemplate& c) { return c.id == mainwindow::kTabs; });
    ASSERT_NE(tab, main.controls.end());
    // The page rectangle leaves a few pixels at the sides and the row of tab titles on top.
    for (int id : {106, 107, 108, 110, 136, 137, 139}) {
        const DialogTemplate& page = Find(id);
        EXPECT_TRUE(page.child) << id;
        EXPECT_LE(page.cx, tab->cx - 6) << id;
        EXPECT_LE(page.cy, tab->cy - 16) << id;
    }
    // The sizes the pages were drawn at.
    EXPECT_EQ(Find(106).cx, 256);
    EXPECT_EQ(Find(106).cy, 181);
    EXPECT_EQ(Find(107).cx, 254);
    EXPECT_EQ(Find(107).cy, 204);
    EXPECT_EQ(Find(108).cx, 336);
    EXPECT_EQ(Find(108).cy, 192);
    EXPECT_EQ(Find(146).cx, 202);
    EXPECT_EQ(Find(146).cy, 98);
    EXPECT_EQ(Find(147).cx, 184);
    EXPECT_EQ(Find(147).cy, 87);
}

// Controls whose text the program fills and which therefore have no key in the table.
const std::map<int, std::set<int>> kWithoutKey = {
    {102, {mainwindow::kStatusLine}},
    {107, {param::kFreeSpace, param::kVersion}},
    {138, {rk20::kSerial, rk20::kFirmware, rk20::kFreeSize, rk20::kOfficerId, rk20::kTotalSize}},
};

TEST(Templates, EnglishTableAgreesWithTemplates) {
    CLangTable table;
    ASSERT_TRUE(table.LoadLanguage(L"ENG"));
    const lang::TextMap& texts = table.Texts();
    for (int id : {102, 106, 107, 108, 109, 110, 136, 137, 138, 139, 146, 147}) {
        const DialogTemplate& t = Find(id);
        SCOPED_TRACE("IDD" + std::to_string(id));
        std::string prefix = "IDD" + std::to_string(id) + "_";
        std::string titleKey = lang::MakeKey("Dialog", prefix + "Title");
        ASSERT_TRUE(texts.contains(titleKey));
        EXPECT_EQ(text::FromCp936(texts.at(titleKey)), t.title);

        std::set<std::string> expectedKeys{titleKey};
        const std::set<int> none;
        auto without = kWithoutKey.contains(id) ? kWithoutKey.at(id) : none;
        for (const ControlTemplate& c : t.controls) {
            if (c.id == -1 || without.contains(c.id)) {
                continue;
            }
            std::string key = lang::MakeKey("Dialog", prefix + std::to_string(c.id));
            expectedKeys.insert(key);
            ASSERT_TRUE(texts.contains(key)) << key;
            EXPECT_EQ(text::FromCp936(texts.at(key)), c.label) << key;
        }
        std::set<std::string> keys;
        std::string keyPrefix = lang::MakeKey("Dialog", prefix);
        for (const auto& [key, value] : texts) {
            if (key.starts_with(keyPrefix)) {
                keys.insert(key);
            }
        }
        EXPECT_EQ(keys, expectedKeys);
    }
}

}  // namespace

namespace {

// The children of the main window in template order, with the template's own texts.
std::vector<FakeChild> MainWindowChildren() {
    using namespace ids::mainwindow;
    return {
        {kBanner, L""},
        {kCameraFrame, L""},
        {kSerialLabel, L"Device ID:"},
        {kSerial, L"No device"},
        {kUnusedStatic, L""},
        {kPasswordLabel, L"Password:"},
        {kPasswordBox, L"123456"},
        {kLoginButton, L"OK"},
        {kModifyButton, L"Modify"},
        {kTabs, L""},
        {kLanguageLabel, L"Language:"},
        {kLanguageList, L""},
        {kSkinLabel, L"Skin:"},
        {kSkinList, L""},
        {kStatusLine, L"Static"},
        {-1, L"frame text"},
        {kCancelButton, L"Cancel"},
    };
}

TEST(ApplyDialogTexts, LabelsMainWindowFromEmbeddedTable) {
    CLangTable table;
    ASSERT_TRUE(table.LoadLanguage(L"ENG"));
    FakeWindow window(L"template title", MainWindowChildren());
    // Texts that the template gives but the table does not know must not survive.
    window.children[2].text = L"stale";
    table.ApplyDialogTexts(window, 102);
    EXPECT_EQ(window.title, L"Orvane V2.0.1.5");
    using namespace ids::mainwindow;
    const std::vector<FakeChild> expected = {
        {kBanner, L""},
        {kCameraFrame, L""},
        {kSerialLabel, L"Device ID:"},
        {kSerial, L"No device"},
        {kUnusedStatic, L""},
        {kPasswordLabel, L"Password:"},
        {kPasswordBox, L""},
        {kLoginButton, L"OK"},
        {kModifyButton, L"Modify"},
        {kTabs, L""},
        {kLanguageLabel, L"Language:"},
        {kLanguageList, L""},
        {kSkinLabel, L"Skin:"},
        {kSkinList, L""},
        {kStatusLine, L""},
        {-1, L"frame text"},
        {kCancelButton, L"Cancel"},
    };
    ASSERT_EQ(window.children.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(window.children[i].id, expected[i].id);
        EXPECT_EQ(window.children[i].text, expected[i].text) << "control " << expected[i].id;
    }
}

// The main window labelled from the embedded table, built from its real template.
TEST(Templates, MainWindowLabelledFromTable) {
    const DialogTemplate& t = Find(102);
    std::vector<FakeChild> children;
    for (const ControlTemplate& c : t.controls) {
        children.push_back({c.id, c.label});
    }
    // Texts the program may have put there before; the language step replaces them.
    FakeWindow window(t.title, children);
    auto text = [&](int id) -> std::wstring& {
        for (FakeChild& c : window.children) {
            if (c.id == id) {
                return c.text;
            }
        }
        static std::wstring missing;
        ADD_FAILURE() << "no control " << id;
        return missing;
    };
    text(mainwindow::kPasswordBox) = L"123456";
    text(mainwindow::kStatusLine) = L"Static";
    // A child without an id, as a backend may add one, keeps its text.
    window.children.insert(window.children.begin() + 2, {-1, L"unnamed"});

    CLangTable table;
    ASSERT_TRUE(table.LoadLanguage(L"ENG"));
    table.ApplyDialogTexts(window, 102);
    EXPECT_EQ(window.title, L"Orvane V2.0.1.5");
    EXPECT_EQ(text(mainwindow::kPasswordBox), L"");
    EXPECT_EQ(text(mainwindow::kStatusLine), L"");
    EXPECT_EQ(window.children[2].text, L"unnamed");
    EXPECT_EQ(text(mainwindow::kSerialLabel), L"Device ID:");
    EXPECT_EQ(text(mainwindow::kSerial), L"No device");
    EXPECT_EQ(text(mainwindow::kPasswordLabel), L"Password:");
    EXPECT_EQ(text(mainwindow::kLoginButton), L"OK");
    EXPECT_EQ(text(mainwindow::kModifyButton), L"Modify");
    EXPECT_EQ(text(mainwindow::kLanguageLabel), L"Language:");
    EXPECT_EQ(text(mainwindow::kSkinLabel), L"Skin:");
    EXPECT_EQ(text(mainwindow::kCancelButton), L"Cancel");
}

}  // namespace
