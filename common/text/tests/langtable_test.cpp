#include "text/langtable.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>

#include "env_guard.h"
#include "fake_window.h"
#include "text/text.h"

namespace {

std::span<const unsigned char> AsBytes(const std::string& s) {
    return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

// A language object whose resource 133 is `table`.
struct TableFixture {
    explicit TableFixture(std::string bytes)
        : table(std::move(bytes)),
          lang([this](int id) -> std::optional<std::span<const unsigned char>> {
              if (id == lang::kEnglishTableId) {
                  return AsBytes(table);
              }
              return std::nullopt;
          }) {}
    std::string table;
    CLangTable lang;
};

// Every IDS_ key the English table must hold.
const char* const kStringKeys[] = {
    "IDS_TAB_DEVINFO",
    "IDS_TAB_PARAMETER",
    "IDS_TAB_DEVCTRL",
    "IDS_TAB_PWD",
    "IDS_TAB_GPRS",
    "IDS_TAB_WiFi",
    "IDS_TAB_MOBILE_LINk",
    "IDS_TAB_CMSV_SETTING",
    "IDS_COMM_SETOK",
    "IDS_COMM_SETFAIL",
    "IDS_TIPS_PWD_ERROR",
    "IDS_TIPS_PWD_INPUT",
    "IDS_TIPS_PWD_INPUT_NEW",
    "IDS_TIPS_PWD_MODIFY_OK",
    "IDS_TIPS_PWD_MODIFY_FAIL",
    "IDS_TIPS_BRWPWD_INPUT",
    "IDS_TIPS_BRWPWD_ERROR",
    "IDS_TIPS_FORMAT_TIPS",
    "IDS_TIPS_FORMAT_ERROR",
    "IDS_TIPS_FORMAT_SUCCESS",
    "IDS_TIPS_DEVICE_DISCONNECT",
    "IDS_OFF",
    "IDS_FILE_SIZE_NO_LIMIT",
    "IDS_FILE_SIZE_1_M",
    "IDS_FILE_SIZE_2_M",
    "IDS_FILE_SIZE_3_M",
    "IDS_FILE_SIZE_5_M",
    "IDS_FILE_SIZE_10_M",
    "IDS_FILE_SIZE_15_M",
    "IDS_FILE_SIZE_20_M",
    "IDS_FILE_SIZE_30_M",
    "IDS_GPRS_SOS_TYPE1",
    "IDS_GPRS_SOS_TYPE2",
    "IDS_SET_BROWSE_PWD",
    "IDS_SET_USER_PWD",
    "IDS_NOTICE_MANAGE_PWD_LEN6",
    "IDS_NOTICE_BROWSE_PWD_LEN6",
    "IDS_NOTICE_USER_PWD_LEN5",
    "IDS_NOTICE_PWD_LEN_ERROR",
    "IDS_SHOW_REAL_BATTLE",
    "IDS_SHOW_FAILE_BATTLE",
    "IDS_STATION",
    "IDS_DEL_LOG_SUC",
    "IDS_DEL_LOG_FAILE",
    "IDS_NOTICE",
    "IDS_ON",
    "IDS_SHOW_DEVICE_TIME",
    "IDS_MANUAL",
    "IDS_AUTOMATIC",
    "IDS_DISABLE",
    "IDS_AUTO",
    "IDS_DEGREE_0",
    "IDS_DEGREE_180",
    "IDS_15_SEC",
    "IDS_30_SEC",
    "IDS_60_SEC",
    "IDS_3_MINUTES",
    "IDS_5_MINUTES",
    "IDS_8_MINUTES",
    "IDS_10_MINUTES",
    "IDS_12_MINUTES",
    "IDS_AUTO_POWER_1_H",
    "IDS_AUTO_POWER_3_H",
    "IDS_AUTO_POWER_8_H",
    "IDS_DATE_FORMAT_0",
    "IDS_DATE_FORMAT_1",
    "IDS_DATE_FORMAT_2",
    "IDS_MORE",
    "IDS_ENGLISH",
    "IDS_DEFAULT_SETTING",
    "IDS_LOW",
    "IDS_MEDIUM",
    "IDS_HIGH",
    "IDS_STEALTH",
    "IDS_SURE_CHANGE",
    "IDS_MODIFY_SUC",
    "IDS_MODIFY_FAILE",
    "IDS_RK20_GET_FAILE",
    "IDS_SURE_USE_DEFAULT",
    "IDS_SKIN",
    "IDS_RESOLUTION",
    "IDS_PHOTO_SIZE",
    "IDS_RECODE_FILE_SIZE",
    "IDS_NONE",
    "IDS_XP_ROYALE",
    "IDS_2007_BLUE",
    "IDS_2007_ROYALE",
    "IDS_CJ_BLUE",
    "IDS_CJ_ROYALE",
    "IDS_2010_BLUE",
    "IDS_2010_SILVER",
    "IDS_2010_BLACK",
    "IDS_COMM_SOCKET_ERROR",
    "IDS_PROCCESS_RUNNING",
    "IDS_VOLUME_OFF",
    "IDS_VOLUME_LOW",
    "IDS_VOLUME_NORMAL",
    "IDS_VOLUME_HIGH",
    "IDS_IRMODE_AUTO",
    "IDS_IRMODE_MANUAL",
};
static_assert(std::size(kStringKeys) == 100);

std::wstring Wide(const char* s) {
    return std::wstring(s, s + std::strlen(s));
}

TEST(EmbeddedTable, HoldsEveryStringKeyAndNoOther) {
    CLangTable table;
    ASSERT_TRUE(table.LoadLanguage(L"ENG"));
    std::size_t stringKeys = 0;
    for (const auto& [key, value] : table.Texts()) {
        stringKeys += key.starts_with("string.");
    }
    EXPECT_EQ(stringKeys, std::size(kStringKeys));
    for (const char* key : kStringKeys) {
        EXPECT_TRUE(table.Texts().contains(lang::MakeKey("String", key))) << key;
        EXPECT_NE(table.GetText(Wide(key)), L"ndefined!") << key;
    }
}

TEST(EmbeddedTable, IsTheCompiledInEnglishFile) {
    auto embedded = lang::FindEmbeddedTable(lang::kEnglishTableId);
    ASSERT_TRUE(embedded);
    std::ifstream file(DALVEX_ENGLISH_TABLE_PATH, std::ios::binary);
    std::string onDisk((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(onDisk.empty());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(embedded->data()), embedded->size()),
              onDisk);
    // Only the English table is carried.
    EXPECT_FALSE(lang::FindEmbeddedTable(132));
    EXPECT_FALSE(lang::FindEmbeddedTable(145));
}

struct TextCase {
    const wchar_t* key;
    const wchar_t* expected;
};

TEST(EmbeddedTable, TextsThatNeedCareInTheFormat) {
    CLangTable table;
    ASSERT_TRUE(table.LoadLanguage(L"ENG"));
    const TextCase cases[] = {
        {L"IDS_TAB_WiFi", L"WiFi Setting"},
        {L"ids_tab_wifi", L"WiFi Setting"},
        {L"IDS_FILE_SIZE_1_M", L"1 Minute"},
        {L"IDS_RESOLUTION", L"Resolution;"},
        {L"IDS_SHOW_REAL_BATTLE", L"Battery:       %d%%"},
        {L"IDS_SHOW_DEVICE_TIME", L"Device Time:%c%c%c%c-%c%c-%c%c %c%c:%c%c:%c%c"},
        {L"IDS_NOTICE_MANAGE_PWD_LEN6", L"* Password length is 6 !"},
        {L"IDS_TIPS_FORMAT_TIPS",
         L"This operation will erase all data on device, do you want continue?"},
        {L"IDS_PROCCESS_RUNNING", L"The program is running!"},
        {L"IDS_TIPS_PWD_MODIFY_OK", L"OK"},
        {L"IDS_DATE_FORMAT_0", L"MM-DD-YYY"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(table.GetText(c.key), c.expected) << c.key;
    }
    EXPECT_EQ(text::FromCp936(table.Lookup("Dialog", "IDD102_Title", "")), L"Orvane V2.0.1.5");
}

TEST(GetText, MissingKeyGivesNdefined) {
    TableFixture f("[String]\r\nIDS_ON=On\r\n[Dialog]\r\nIDS_OFF=Off\r\n");
    ASSERT_TRUE(f.lang.LoadLanguage(L"ENG"));
    EXPECT_EQ(f.lang.GetText(L"IDS_NOT_THERE"), L"ndefined!");
    EXPECT_EQ(f.lang.GetText(L""), L"ndefined!");
    // Only section "String" answers.
    EXPECT_EQ(f.lang.GetText(L"IDS_OFF"), L"ndefined!");
    EXPECT_EQ(f.lang.GetText(L"IDS_ON"), L"On");
}

TEST(GetText, DecodesCodePage936AndKeepsJoinedLines) {
    TableFixture f("[String]\r\nIDS_NOTICE=\xCC\xE1\xCA\xBE\r\nIDS_NOTICE=Notice\r\n");
    ASSERT_TRUE(f.lang.LoadLanguage(L"CHS"));
    EXPECT_EQ(f.lang.GetText(L"IDS_NOTICE"), L"\u63D0\u793A\nNotice");
}

TEST(GetText, KeyIsCutTo127Bytes) {
    std::string name(127, 'k');
    TableFixture f("[String]\n" + name + "=found\n");
    ASSERT_TRUE(f.lang.LoadLanguage(L"ENG"));
    EXPECT_EQ(f.lang.GetText(Wide((name + "tail").c_str())), L"found");
}

TEST(GetText, EmptyMapBeforeAnyLoad) {
    CLangTable table;
    EXPECT_TRUE(table.Texts().empty());
    EXPECT_EQ(table.LanguageCode(), L"");
    EXPECT_EQ(table.GetText(L"IDS_ON"), L"ndefined!");
}

TEST(ApplyDialogTexts, EmptyMapEmptiesTitleAndEveryControlWithAnId) {
    CLangTable table([](int) { return std::nullopt; });
    EXPECT_FALSE(table.LoadLanguage(L"ENG"));
    FakeWindow window(L"title", {{1, L"OK"}, {-1, L"keep"}, {1003, L"Cancel"}});
    table.ApplyDialogTexts(window, 102);
    EXPECT_EQ(window.title, L"");
    EXPECT_EQ(window.children[0].text, L"");
    EXPECT_EQ(window.children[1].text, L"keep");
    EXPECT_EQ(window.children[2].text, L"");
}

TEST(ApplyDialogTexts, KeysAreCaseInsensitiveAndDecoded) {
    TableFixture f(
        "[dialog]\nidd7_title=\xB9\xD8\xD3\xDA\nIdd7_5=five\nIDD7_6=\nIDD8_5=other dialog\n");
    ASSERT_TRUE(f.lang.LoadLanguage(L"ENG"));
    FakeWindow window(L"", {{5, L""}, {6, L"six"}, {9, L"nine"}});
    f.lang.ApplyDialogTexts(window, 7);
    EXPECT_EQ(window.title, L"\u5173\u4E8E");
    EXPECT_EQ(window.children[0].text, L"five");
    EXPECT_EQ(window.children[1].text, L"");
    EXPECT_EQ(window.children[2].text, L"");
}

TEST(LoadLanguage, MissingTableKeepsMapAndCode) {
    bool present = true;
    std::string bytes = "[String]\nIDS_ON=On\n";
    CLangTable table([&](int id) -> std::optional<std::span<const unsigned char>> {
        if (present && id == lang::kEnglishTableId) {
            return AsBytes(bytes);
        }
        return std::nullopt;
    });
    ASSERT_TRUE(table.LoadLanguage(L"RUS"));
    EXPECT_EQ(table.LanguageCode(), L"RUS");
    present = false;
    EXPECT_FALSE(table.LoadLanguage(L"DEU"));
    EXPECT_EQ(table.LanguageCode(), L"RUS");
    EXPECT_EQ(table.GetText(L"IDS_ON"), L"On");
}

TEST(LoadLanguage, ReloadReplacesTheMap) {
    std::string bytes = "[String]\nIDS_ON=On\n";
    CLangTable table([&](int) { return std::optional(AsBytes(bytes)); });
    ASSERT_TRUE(table.LoadLanguage(L"ENG"));
    bytes = "[String]\nIDS_OFF=Off\n";
    ASSERT_TRUE(table.LoadLanguage(L"ENG"));
    EXPECT_EQ(table.GetText(L"IDS_ON"), L"ndefined!");
    EXPECT_EQ(table.GetText(L"IDS_OFF"), L"Off");
}

TEST(LoadLanguage, TableOfExactlyTheBufferSizeLoads) {
    std::string head = "[String]\r\nIDS_ON=On\r\n";
    std::string bytes = head + std::string(lang::kLoadBufferSize - head.size(), '\n');
    ASSERT_EQ(bytes.size(), 131072u);
    TableFixture f(bytes);
    EXPECT_TRUE(f.lang.LoadLanguage(L"ENG"));
    EXPECT_EQ(f.lang.GetText(L"IDS_ON"), L"On");
}

TEST(LoadLanguage, TableLargerThanTheBufferLeavesTheMapEmpty) {
    std::string bytes = "[String]\r\nIDS_ON=On\r\n";
    std::string big = bytes + std::string(lang::kLoadBufferSize + 1 - bytes.size(), '\n');
    std::string* current = &bytes;
    CLangTable table([&](int) { return std::optional(AsBytes(*current)); });
    ASSERT_TRUE(table.LoadLanguage(L"ENG"));
    ASSERT_EQ(table.GetText(L"IDS_ON"), L"On");
    current = &big;
    EXPECT_TRUE(table.LoadLanguage(L"FRA"));
    EXPECT_TRUE(table.Texts().empty());
    EXPECT_EQ(table.GetText(L"IDS_ON"), L"ndefined!");
    EXPECT_EQ(table.LanguageCode(), L"FRA");
}

TEST(LangTable, IsOneObjectForTheProcess) {
    EXPECT_EQ(&LangTable(), &LangTable());
}

}  // namespace
