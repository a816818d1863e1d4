// The table text format, case by case: each row is a table text and the whole text map it gives.
#include <gtest/gtest.h>

#include <string>

#include "text/langtable.h"

namespace {

struct ParseCase {
    const char* name;
    std::string table;
    lang::TextMap expected;
};

std::string Bytes(const char* s, std::size_t n) {
    return std::string(s, n);
}

const ParseCase kCases[] = {
    {"SectionsAndEntries",
     "[String]\r\nIDS_ON=On\r\n\r\n[Dialog]\r\nIDD102_Title=Orvane\r\n",
     {{"string.ids_on", "On"}, {"dialog.idd102_title", "Orvane"}}},
    {"KeysAreLowerCasedAsciiOnly",
     "[StRiNg]\nIDS_TAB_WiFi=WiFi Setting\n[\xC9\xE8\xD6\xC3]\nA\xC9=x\n",
     {{"string.ids_tab_wifi", "WiFi Setting"}, {"\xC9\xE8\xD6\xC3.a\xC9", "x"}}},
    {"EntriesBeforeAnySectionHaveAnEmptySection", "a=1\n[s]\nb=2\n", {{".a", "1"}, {"s.b", "2"}}},
    {"LineBreaksOfEveryKind",
     "[s]\ra=1\n\nb=2\r\n\r\n\r\rc=3",
     {{"s.a", "1"}, {"s.b", "2"}, {"s.c", "3"}}},
    {"LeadingBlanksOfAValueAreDropped",
     "[s]\nIDS_FILE_SIZE_1_M= 1 Minute\n",
     {{"s.ids_file_size_1_m", "1 Minute"}}},
    {"BlanksAroundNameAndValue", "[s]\n a \t=\t b c \t\n", {{"s.a", "b c"}}},
    {"SemicolonAfterTextIsPartOfValue",
     "[s]\nIDS_RESOLUTION=Resolution;\n",
     {{"s.ids_resolution", "Resolution;"}}},
    {"InlineCommentAfterBlank",
     "[s]\na=abc ;note\nb=abc\t;note\n",
     {{"s.a", "abc"}, {"s.b", "abc"}}},
    {"SemicolonAtStartOfValueIsKept", "[s]\na= ;x\nb=;y\n", {{"s.a", ";x"}, {"s.b", ";y"}}},
    {"CommentLines", "[s]\n;a=1\n#b=2\n   ;c=3\nd=4\n", {{"s.d", "4"}}},
    {"SeparatorSearchStopsAtComment", "[s]\na ;b=c\nd ;e:f\n", {}},
    {"ColonSeparator", "[s]\na:b\n", {{"s.a", "b"}}},
    {"EqualsWinsOverColon", "[s]\na:b=c\n", {{"s.a:b", "c"}}},
    {"LineWithoutSeparatorIsSkipped", "[s]\nabc\nd=1\n", {{"s.d", "1"}}},
    {"EmptyValueCreatesTheKey", "[s]\na=\nb= \t\n", {{"s.a", ""}, {"s.b", ""}}},
    {"EmptyName", "[s]\n=x\n", {{"s.", "x"}}},
    {"DuplicateKeysJoinedByLineFeed",
     "[String]\nIDS_NOTICE=Notice\nids_notice=Hint\n",
     {{"string.ids_notice", "Notice\nHint"}}},
    {"DuplicateAfterEmptyValue", "[s]\na=\na=abc\n", {{"s.a", "abc"}}},
    {"DuplicateWithEmptyValue", "[s]\na=abc\na=\n", {{"s.a", "abc\n"}}},
    {"DuplicateAcrossRepeatedSection",
     "[s]\na=1\n[t]\na=2\n[S]\na=3\n",
     {{"s.a", "1\n3"}, {"t.a", "2"}}},
    {"ContinuationLine",
     "[String]\nIDS_ON=On\n  more text  \n",
     {{"string.ids_on", "On\nmore text"}}},
    {"ContinuationLooksLikeSectionOrEntry",
     "[String]\nIDS_ON=On\n [Dialog]\n\tX=Y\nb=1\n",
     {{"string.ids_on", "On\n[Dialog]\nX=Y"}, {"string.b", "1"}}},
    {"ContinuationKeepsSemicolonText", "[s]\na=1\n  b ;c\n", {{"s.a", "1\nb ;c"}}},
    {"ContinuationOfEmptyValue", "[s]\na=\n  x\n", {{"s.a", "x"}}},
    {"IndentedLineWithoutPreviousEntry", "[s]\n  a=1\n", {{"s.a", "1"}}},
    {"SectionClearsPreviousEntry", "[s]\na=1\n[t]\n  b=2\n", {{"s.a", "1"}, {"t.b", "2"}}},
    {"IndentedCommentIsNoContinuation", "[s]\na=1\n  ;x\n  #y\n", {{"s.a", "1"}}},
    {"LinesOfBlanksAreIgnored",
     "[s]\na=1\n   \n\t\t\n \t \nb=2\n  c\n",
     {{"s.a", "1"}, {"s.b", "2\nc"}}},
    {"VerticalTabAndFormFeedAreBlanks", "[s]\na=1\n\v\f\n\vz\n", {{"s.a", "1\nz"}}},
    {"HighBytesAreNotBlanks", "[s]\n\xA1\xA1=\xA1\xA1\n", {{"s.\xA1\xA1", "\xA1\xA1"}}},
    {"UnclosedSectionKeepsPrevious",
     "[Dialog]\na=1\n[String\nb=2\n",
     {{"dialog.a", "1"}, {"dialog.b", "2"}}},
    {"SectionSearchStopsAtComment", "[s]\n[t ;x]\na=1\n", {{"s.a", "1"}}},
    {"SectionNameNotTrimmed", "[ s ]\na=1\n[;x]\nb=2\n", {{" s .a", "1"}, {";x.b", "2"}}},
    {"TextAfterSectionIgnored", "[s] junk\na=1\n", {{"s.a", "1"}}},
    {"SectionNameCutTo49Bytes",
     "[" + std::string(60, 'q') + "]\na=1\n",
     {{std::string(49, 'q') + ".a", "1"}}},
    {"LongNameKeptWholeButContinuesCutName",
     "[s]\n" + std::string(55, 'n') + "=1\n  2\n",
     {{"s." + std::string(55, 'n'), "1"}, {"s." + std::string(49, 'n'), "2"}}},
    {"ByteOrderMarkFirst", "\xEF\xBB\xBF[String]\nIDS_ON=On\n", {{"string.ids_on", "On"}}},
    {"ByteOrderMarkAfterLeadingBreaks", "\r\n\xEF\xBB\xBF[s]\na=1\n", {{"s.a", "1"}}},
    {"ByteOrderMarkLaterIsText",
     "[s]\n\xEF\xBB\xBF"
     "a=1\n\xEF\xBB\xBF[t]\nb=2\n",
     {{"s.\xEF\xBB\xBF"
       "a",
       "1"},
      {"s.b", "2"}}},
    {"ZeroByteEndsTheLine", Bytes("[s]\na=1\0junk\nb=2\n", 17), {{"s.a", "1"}, {"s.b", "2"}}},
    {"NoFinalLineBreak", "[s]\na=1", {{"s.a", "1"}}},
    {"Empty", "", {}},
    {"OnlyBreaks", "\r\n\r\n\n", {}},
};

class ParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, GivesExpectedMap) {
    const ParseCase& c = GetParam();
    lang::TextMap map{{"stale.key", "from an earlier table"}};
    lang::ParseTable(c.table, map);
    EXPECT_EQ(map, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, ParseTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ParseCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(MakeKey, LowerCasesOnlyAsciiLetters) {
    EXPECT_EQ(lang::MakeKey("String", "IDS_TAB_WiFi"), "string.ids_tab_wifi");
    EXPECT_EQ(lang::MakeKey("\xC3\xC4", "Z@[`{"), "\xC3\xC4.z@[`{");
}

}  // namespace
