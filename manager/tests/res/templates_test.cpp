// The dialog templates against the control lists of the dialogs, and against the English table.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../lang/fake_window.h"
#include "lang/langtable.h"
#include "lang/text.h"
#include "ui/dialog_template.h"

namespace {

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
     {{1060, IMG, 0, 0},
      {1137, G, 0, 0},
      {1005, S, 0, 0},
      {1004, S, 0, 0},
      {1079, S, 0, 0},
      {1006, S, 0, 0},
      {1000, E, P | N | X, 6},
      {1001, B, DEF | X, 0},
      {1007, B, X, 0},
      {1002, TAB, 0, 0},
      {1042, S, 0, 0},
      {1043, L, 0, 0},
      {1046, S, 0, 0},
      {1047, L, 0, 0},
      {1161, S, 0, 0},
      {1003, B, 0, 0}}},
    {106,
     true,
     {{1039, S, 0, 0},
      {1011, E, X, 32},
      {1038, S, 0, 0},
      {1010, E, X, 12},
      {1040, S, 0, 0},
      {1012, E, X, 6},
      {1041, S, 0, 0},
      {1013, E, X, 32},
      {1037, S, H, 0},
      {1009, E, H | X, 7},
      {1015, B, X, 0},
      {1014, B, X, 0}}},
    {107,
     true,
     {{1026, S, 0, 0},
      {1016, L, X, 0},
      {1027, S, 0, 0},
      {1017, L, X, 0},
      {1028, S, 0, 0},
      {1018, L, X, 0},
      {1030, S, 0, 0},
      {1020, S, 0, 0},
      {1029, S, 0, 0},
      {1019, S, 0, 0},
      {1032, S, 0, 0},
      {1022, S, 0, 0},
      {1023, B, X, 0},
      {1021, B, X, 0},
      {1015, B, X, 0},
      {1014, B, X, 0},
      {1031, S, 0, 0},
      {1137, G, 0, 0},
      {1144, R, ui::kGroupStart, 0},
      {1145, R, 0, 0}}},
    {108,
     true,
     {{1082, G, 0, 0},
      {1009, B, X, 0},
      {1164, S, 0, 0},
      {1163, D, X | ui::kUpDown, 0},
      {1165, S, 0, 0},
      {1162, T, X, 0},
      {1154, B, 0, 0},
      {1083, G, 0, 0},
      {1007, B, X, 0},
      {1084, G, 0, 0},
      {1008, B, X, 0},
      {1025, S, H | ui::kCentered, 0},
      {1085, G, H, 0},
      {1010, B, H | X, 0}}},
    {109,
     false,
     {{1030, G, 0, 0},
      {1031, S, 0, 0},
      {1000, E, P | N, 6},
      {1032, S, 0, 0},
      {1022, E, P | N, 6},
      {1033, S, 0, 0},
      {1023, E, P | N, 6},
      {1024, B, 0, 0},
      {1080, S, 0, 0},
      {1034, G, 0, 0},
      {1035, S, 0, 0},
      {1025, E, P | N, 6},
      {1036, S, 0, 0},
      {1026, E, P | N, 6},
      {1078, L, 0, 0},
      {1014, B, 0, 0},
      {1081, S, 0, 0},
      {1015, B, 0, 0}}},
    {110,
     true,
     {{1045, S, 0, 0},
      {1044, L, X, 0},
      {1046, S, 0, 0},
      {1050, E, X, 15},
      {1047, S, 0, 0},
      {1051, E, X, 31},
      {1048, S, 0, 0},
      {1052, E, X, 15},
      {1049, S, 0, 0},
      {1053, E, X, 15},
      {1054, S, 0, 0},
      {1150, I, X, 0},
      {1015, B, X, 0},
      {1014, B, X, 0}}},
    {136,
     true,
     {{1146, G, 0, 0},         {1060, S, 0, 0},     {1054, L, 0, 0},     {1148, S, 0, 0},
      {1055, E, 0, 15},        {1062, S, 0, 0},     {1056, E, P, 15},    {1057, C, 0, 0},
      {1058, B, 0, 0},         {1059, B, 0, 0},     {1061, S, H, 0},     {1018, L, H | X, 0},
      {1066, S, H, 0},         {1065, I, H | X, 0}, {1067, S, H, 0},     {1064, E, H | X, 5},
      {1147, G, H, 0},         {1149, S, H, 0},     {1063, E, H | X, 0}, {1070, S, H, 0},
      {1068, E, H | X | P, 0}, {1151, C, H | X, 0}}},
    {137, true, {{1075, S, 0, 0}, {1068, E, 0, 8},  {1074, S, 0, 0}, {1069, E, 0, 64},
                 {1067, S, 0, 0}, {1064, E, N, 5},  {1047, S, 0, 0}, {1051, E, 0, 32},
                 {1073, S, 0, 0}, {1059, E, 0, 16}, {1076, S, 0, 0}, {1060, E, 0, 32},
                 {1072, S, 0, 0}, {1061, E, 0, 32}, {1071, S, 0, 0}, {1062, E, N, 5},
                 {1070, S, 0, 0}, {1063, E, N, 5},  {1, B, DEF, 0},  {2, B, 0, 0},
                 {1077, I, H, 0}}},
    {139,
     true,
     {{1075, S, 0, 0},
      {1055, E, X, 8},
      {1139, S, 0, 0},
      {1138, I, 0, 0},
      {1140, S, H, 0},
      {1056, E, H | X | N, 5},
      {1141, S, H, 0},
      {1057, E, H | X | N, 5},
      {1167, S, 0, 0},
      {1166, E, 0, 0},
      {1168, S, 0, 0},
      {1060, E, P, 0},
      {1151, C, 0, 0},
      {1015, B, X, 0},
      {1014, B, X, 0}}},
    {146,
     false,
     {{1128, S, 0, 0},
      {1099, L, 0, 0},
      {1169, S, 0, 0},
      {1100, L, 0, 0},
      {1170, S, 0, 0},
      {1104, L, 0, 0},
      {1001, B, DEF, 0},
      {1003, B, 0, 0}}},
    {147, false, {{1174, S, 0, 0}, {1175, E, 0, 0}, {1001, B, DEF, 0}, {1003, B, 0, 0}}},
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
    // State of the lists 1078 to 1103: E enabled, D disabled, H hidden.
    const std::string states = "EDEEDDDEDEDEDDEDEDDHEEEDDE";
    ASSERT_EQ(states.size(), 26u);
    std::map<int, std::size_t> at;
    for (std::size_t i = 0; i < t.controls.size(); ++i) {
        EXPECT_TRUE(at.emplace(t.controls[i].id, i).second || t.controls[i].id == -1)
            << "id " << t.controls[i].id << " twice";
    }
    for (int k = 0; k < 26; ++k) {
        int id = 1078 + k;
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
    EXPECT_EQ(t.controls[at[1097] - 1].id, 1127);
    for (int id : {1020, 1141, 1143, 1144, 1140, 1142, 1134, 1137, 1135, 1138}) {
        ASSERT_TRUE(at.contains(id)) << id;
        EXPECT_EQ(t.controls[at[id]].kind, S) << id;
    }
    for (int id : {1136, 1059, 1, 2}) {
        ASSERT_TRUE(at.contains(id)) << id;
        EXPECT_EQ(t.controls[at[id]].kind, B) << id;
    }
    EXPECT_EQ(t.controls[at[1]].flags, DEF);
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
    EXPECT_EQ(t.controls[2].id, 1);
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
            if (c.kind != G && c.kind != TAB && !(id == 102 && c.id == 1060)) {
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
                            [](const ControlTemplate& c) { return c.id == 1002; });
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
    {102, {1161}},
    {107, {1020, 1022}},
    {138, {1137, 1138, 1141, 1142, 1144}},
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
    text(1000) = L"123456";
    text(1161) = L"Static";
    // A child without an id, as a backend may add one, keeps its text.
    window.children.insert(window.children.begin() + 2, {-1, L"unnamed"});

    CLangTable table;
    ASSERT_TRUE(table.LoadLanguage(L"ENG"));
    table.ApplyDialogTexts(window, 102);
    EXPECT_EQ(window.title, L"Orvane V2.0.1.5");
    EXPECT_EQ(text(1000), L"");
    EXPECT_EQ(text(1161), L"");
    EXPECT_EQ(window.children[2].text, L"unnamed");
    EXPECT_EQ(text(1005), L"Device ID:");
    EXPECT_EQ(text(1004), L"No device");
    EXPECT_EQ(text(1006), L"Password:");
    EXPECT_EQ(text(1001), L"OK");
    EXPECT_EQ(text(1007), L"Modify");
    EXPECT_EQ(text(1042), L"Language:");
    EXPECT_EQ(text(1046), L"Skin:");
    EXPECT_EQ(text(1003), L"Cancel");
}

}  // namespace
