#include "text/text.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "env_guard.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// "中文" in code page 936 and in UTF-8.
const char kChineseCp936[] = "\xD6\xD0\xCE\xC4";
const char kChineseUtf8[] = "\xE4\xB8\xAD\xE6\x96\x87";

TEST(Cp936, DecodesAndEncodes) {
    EXPECT_EQ(text::FromCp936(kChineseCp936), L"\u4E2D\u6587");
    EXPECT_EQ(text::ToCp936(L"\u4E2D\u6587"), kChineseCp936);
    EXPECT_EQ(text::FromCp936("Orvane V2.0.1.5"), L"Orvane V2.0.1.5");
    // The year message of the device control page and the About box button survive a round trip.
    std::wstring year = L"\u5E74\u4EFD\u5FC5\u987B\u57282014-2020\u4E4B\u95F4!";
    EXPECT_EQ(text::FromCp936(text::ToCp936(year)), year);
}

TEST(Cp936, BadBytesBecomeReplacementAndDecodingGoesOn) {
    // 0xFF is no lead byte; a lead byte at the very end has no trail byte.
    EXPECT_EQ(text::FromCp936("a\xFF"
                              "b\xD6"),
              L"a\uFFFDb\uFFFD");
}

TEST(Cp936, UnencodableCharacterBecomesQuestionMark) {
    EXPECT_EQ(text::ToCp936(L"x\U0001F600y"), "x?y");
}

TEST(AnsiCodeSet, FollowsLocaleAndTakesAsciiAsUtf8) {
    EnvGuard env;
    env.Set("LC_ALL", "C");
    EXPECT_EQ(text::AnsiCodeSet(), "UTF-8");
    env.Set("LC_ALL", "C.UTF-8");
    EXPECT_EQ(text::AnsiCodeSet(), "UTF-8");
    EXPECT_EQ(text::FromAnsi(kChineseUtf8), L"\u4E2D\u6587");
    EXPECT_EQ(text::ToAnsi(L"\u4E2D\u6587"), kChineseUtf8);
}

// A double-byte locale code set, as on a Chinese system. The locale is built into a scratch
// directory, so the test needs localedef and the zh_CN sources but changes nothing on the machine.
TEST(AnsiCodeSet, DoubleByteLocale) {
    std::string dir = (std::filesystem::temp_directory_path() / "orvane-locale-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::string command = "localedef -i zh_CN -f GBK " + dir + "/zh_CN.GBK >/dev/null 2>&1";
    bool built = std::system(command.c_str()) == 0;
    {
#if defined(__SANITIZE_ADDRESS__)
        // The C library's newlocale leaks its copy of LOCPATH; that is not ours to report.
        __lsan::ScopedDisabler noLeakChecks;
#endif
        EnvGuard env;
        env.Set("LOCPATH", dir.c_str());
        env.Set("LC_ALL", "zh_CN.GBK");
        if (built && text::AnsiCodeSet() == "GBK") {
            EXPECT_EQ(text::ToAnsi(L"\u4E2D\u6587"), kChineseCp936);
            EXPECT_EQ(text::FromAnsi(kChineseCp936), L"\u4E2D\u6587");
            char buffer[4];
            EXPECT_EQ(text::ToAnsiBuffer(L"\u4E2D\u6587", buffer), 2u);
            EXPECT_EQ(std::string(buffer), "\xD6\xD0");
            // A change of locale is seen at once.
            env.Set("LC_ALL", "C");
            EXPECT_EQ(text::AnsiCodeSet(), "UTF-8");
        } else {
            built = false;
        }
    }
    std::filesystem::remove_all(dir);
    if (!built) {
        GTEST_SKIP() << "no GBK locale could be built here";
    }
}

struct BufferCase {
    const char* name;
    std::wstring text;
    std::size_t size;
    text::Terminator terminator;
    std::string expected;  // the text bytes; the rest of the buffer must be zero
};

class AnsiBufferTest : public testing::TestWithParam<BufferCase> {};

TEST_P(AnsiBufferTest, CutsAtCharacterBoundaryAndZeroFills) {
    EnvGuard env;
    env.Set("LC_ALL", "C.UTF-8");
    const BufferCase& c = GetParam();
    char buffer[40];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_LE(c.size, sizeof buffer);
    std::size_t written = text::ToAnsiBuffer(c.text, buffer, c.size, c.terminator);
    EXPECT_EQ(written, c.expected.size());
    EXPECT_EQ(std::string(buffer, written), c.expected);
    for (std::size_t i = written; i < c.size; ++i) {
        EXPECT_EQ(buffer[i], '\0') << "byte " << i;
    }
    for (std::size_t i = c.size; i < sizeof buffer; ++i) {
        EXPECT_EQ(buffer[i], 'x') << "byte " << i << " lies beyond the buffer";
    }
}

const BufferCase kBufferCases[] = {
    {"FitsWithTerminator", L"123456", 32, text::Terminator::kKeep, "123456"},
    {"CutToKeepTerminator", L"1234567", 6, text::Terminator::kKeep, "12345"},
    {"FillsFieldWithoutTerminator", L"1234567", 6, text::Terminator::kOptional, "123456"},
    {"MultiByteNotSplit", L"\u4E2D\u6587", 6, text::Terminator::kKeep, "\xE4\xB8\xAD"},
    {"MultiByteExactFit", L"\u4E2D\u6587", 6, text::Terminator::kOptional, kChineseUtf8},
    {"MultiByteNoRoomAtAll", L"\u4E2D", 3, text::Terminator::kKeep, ""},
    {"Empty", L"", 8, text::Terminator::kKeep, ""},
    {"OneByteBuffer", L"abc", 1, text::Terminator::kKeep, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, AnsiBufferTest, testing::ValuesIn(kBufferCases),
                         [](const testing::TestParamInfo<BufferCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(AnsiBuffer, ZeroSizeWritesNothing) {
    char c = 'x';
    EXPECT_EQ(text::ToAnsiBuffer(L"abc", &c, 0), 0u);
    EXPECT_EQ(c, 'x');
}

TEST(AnsiBuffer, ArrayOverloadUsesWholeArray) {
    unsigned char field[4];
    EXPECT_EQ(text::ToAnsiBuffer(L"abcdef", field, text::Terminator::kOptional), 4u);
    EXPECT_EQ(std::memcmp(field, "abcd", 4), 0);
}

TEST(AnsiField, StopsAtNulOrFieldEnd) {
    EnvGuard env;
    env.Set("LC_ALL", "C.UTF-8");
    const char unterminated[8] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'};
    EXPECT_EQ(text::FromAnsiField(unterminated), L"ABCDEFGH");
    const char terminated[8] = {'A', 'B', '\0', 'D'};
    EXPECT_EQ(text::FromAnsiField(terminated), L"AB");
    EXPECT_EQ(text::FromAnsiField(nullptr, 5), L"");
}

}  // namespace
