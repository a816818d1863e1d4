// The start-up choice of language code: the caller's code, else the configuration file, else the
// user's locale.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "env_guard.h"
#include "text/langtable.h"

namespace {

namespace fs = std::filesystem;

class StartupTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orvane-lang-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        env_.Set("XDG_CONFIG_HOME", dir_.c_str());
        env_.Set("LC_ALL", nullptr);
        env_.Set("LC_MESSAGES", nullptr);
        env_.Set("LANG", "de_DE.UTF-8");
    }
    void TearDown() override { fs::remove_all(dir_); }

    void WriteConfig(const std::string& content) {
        fs::create_directories(fs::path(dir_) / "Velmora");
        std::ofstream(fs::path(dir_) / "Velmora" / "Orvane.conf", std::ios::binary) << content;
    }

    std::wstring Select(const std::wstring& code = L"") {
        CLangTable table;
        EXPECT_TRUE(table.SelectStartupLanguage(code));
        // Every code loads the English table.
        EXPECT_EQ(table.GetText(L"IDS_TAB_WiFi"), L"WiFi Setting");
        return table.LanguageCode();
    }

    std::string dir_;
    EnvGuard env_;
};

TEST_F(StartupTest, CallersCodeIsTakenUnchanged) {
    WriteConfig("Language=RUS\n");
    EXPECT_EQ(Select(L"xyz"), L"xyz");
}

TEST_F(StartupTest, NoConfigurationFileUsesLocale) {
    EXPECT_EQ(Select(), L"DEU");
}

struct ConfigCase {
    const char* name;
    std::string content;
    std::wstring expected;
};

class ConfigFileTest : public StartupTest, public testing::WithParamInterface<ConfigCase> {};

TEST_P(ConfigFileTest, ChoosesCode) {
    WriteConfig(GetParam().content);
    EXPECT_EQ(Select(), GetParam().expected);
}

const ConfigCase kConfigCases[] = {
    {"PlainValue", "Language=RUS\n", L"RUS"},
    {"StoredAsRead", "Language=Klingon\n", L"Klingon"},
    {"CrLfAndBlanks", "  language = ENG \r\n", L"ENG"},
    {"CommentsAndSection", "# Orvane\n;x\n[Orvane]\nOther=1\nLanguage=JPN\nLanguage=KOR\n", L"JPN"},
    {"EmptyValueFallsBackToLocale", "Language=\n", L"DEU"},
    {"LongestValueThatFits", "Language=" + std::string(79, 'L') + "\n", std::wstring(79, L'L')},
    {"TooLongFallsBackToLocale", "Language=" + std::string(80, 'L') + "\n", L"DEU"},
    {"ZeroByteEndsValue", std::string("Language=FR\0A\n", 15), L"FR"},
    {"NoLanguageLine", "Lang=RUS\nLanguages=RUS\n", L"DEU"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConfigFileTest, testing::ValuesIn(kConfigCases),
                         [](const testing::TestParamInfo<ConfigCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(StartupTest, HomeConfigWhenXdgIsNotSet) {
    std::string home = dir_ + "/home";
    fs::create_directories(home + "/.config/Velmora");
    std::ofstream(home + "/.config/Velmora/Orvane.conf") << "Language=ITA\n";
    env_.Set("XDG_CONFIG_HOME", nullptr);
    env_.Set("HOME", home.c_str());
    EXPECT_EQ(lang::ConfigFilePath(), home + "/.config/Velmora/Orvane.conf");
    EXPECT_EQ(Select(), L"ITA");
    // A relative XDG_CONFIG_HOME is not valid and is passed over as well.
    env_.Set("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_EQ(Select(), L"ITA");
}

struct LocaleCase {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    const wchar_t* expected;
};

TEST_F(StartupTest, LocaleDecidesWithoutConfiguration) {
    const LocaleCase cases[] = {
        {nullptr, nullptr, "en_US.UTF-8", L"ENG"},
        {nullptr, nullptr, "zh_CN.GBK", L"CHS"},
        {nullptr, nullptr, "ru_RU.KOI8-R", L"RUS"},
        {nullptr, nullptr, "de_AT", L"DEU"},
        {nullptr, nullptr, "es_ES@euro", L"ESP"},
        {nullptr, nullptr, "fr", L"FRA"},
        {nullptr, nullptr, "it_IT.UTF-8", L"ITA"},
        {nullptr, nullptr, "ja_JP.eucJP", L"JPN"},
        {nullptr, nullptr, "ko_KR.UTF-8", L"KOR"},
        {nullptr, nullptr, "pl_PL.UTF-8", L"CHS"},
        {nullptr, nullptr, "C", L"CHS"},
        {nullptr, nullptr, "POSIX", L"CHS"},
        {nullptr, nullptr, "english", L"CHS"},
        {nullptr, nullptr, nullptr, L"CHS"},
        {"", "", "ru_RU.UTF-8", L"RUS"},
        {nullptr, "fr_FR.UTF-8", "ru_RU.UTF-8", L"FRA"},
        {"ja_JP.UTF-8", "fr_FR.UTF-8", "ru_RU.UTF-8", L"JPN"},
        {"EN_gb", nullptr, nullptr, L"ENG"},
    };
    for (const LocaleCase& c : cases) {
        env_.Set("LC_ALL", c.lcAll);
        env_.Set("LC_MESSAGES", c.lcMessages);
        env_.Set("LANG", c.lang);
        EXPECT_EQ(Select(), c.expected)
            << (c.lcAll ? c.lcAll : "-") << " / " << (c.lcMessages ? c.lcMessages : "-") << " / "
            << (c.lang ? c.lang : "-");
    }
}

}  // namespace
