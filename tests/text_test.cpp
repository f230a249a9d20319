// Trimming, memory peeking and code page conversion.
#include "gadgets/gadgets.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>

using namespace gadgets;

namespace {

struct TrimCase {
    const char* operation;
    std::string text;
    std::string set;
    std::string expected;
};

std::string Apply(const TrimCase& c) {
    std::string op = c.operation;
    if (op == "TRIMA") return TRIMA(c.text, c.set);
    if (op == "LTRIMA") return LTRIMA(c.text, c.set);
    return RTRIMA(c.text, c.set);
}

}  // namespace

TEST(Trimming, TableOfCases) {
    const TrimCase cases[] = {
        {"TRIMA", "  abc  ", " ", "abc"},
        {"LTRIMA", "  abc  ", " ", "abc  "},
        {"RTRIMA", "  abc  ", " ", "  abc"},
        {"TRIMA", "   ", " ", ""},
        {"LTRIMA", "   ", " ", ""},
        {"RTRIMA", "   ", " ", ""},
        {"TRIMA", " ", " ", ""},
        {"LTRIMA", " ", " ", ""},
        {"RTRIMA", " ", " ", ""},
        {"LTRIMA", "xyxabc", "xy", "abc"},
        {"LTRIMA", "xyxabc", "yx", "abc"},
        {"RTRIMA", "abc", "b", "abc"},
        {"TRIMA", "", " ", ""},
        {"LTRIMA", "", "abc", ""},
        {"TRIMA", "  abc  ", "", "  abc  "},
        {"RTRIMA", "abcxyx", "xyy", "abc"},
        {"TRIMA", "\xCF\xEE\xE8\xF1\xEA ", " ", "\xCF\xEE\xE8\xF1\xEA"},  // Cyrillic bytes are kept
        {"TRIMA", std::string("\0a\0", 3), std::string("\0", 1), "a"},     // zero bytes as set members
        {"TRIMA", "a b", " ", "a b"},
    };
    for (const TrimCase& c : cases) {
        EXPECT_EQ(Apply(c), c.expected) << c.operation << "(\"" << c.text << "\", \"" << c.set << "\")";
    }
}

TEST(Trimming, RightEndIsTrimmedBeforeLeft) {
    // Either order gives the same bytes; the result has one copy and no aliasing.
    std::string text = "--a--";
    EXPECT_EQ(TRIMA(text, "-"), "a");
    EXPECT_EQ(text, "--a--");
}

TEST(Peeking, CountsAndTerminators) {
    const char buffer[] = {'a', 'b', 'c', '\0', 'z', '\0'};
    EXPECT_EQ(PEEKS(buffer, 0), "abc");
    std::string five = PEEKS(buffer, 5);
    ASSERT_EQ(five.size(), 5u);
    EXPECT_EQ(five, std::string("abc\0z", 5));
    const char empty[] = {'\0', 'x'};
    EXPECT_EQ(PEEKS(empty, 0), "");
    EXPECT_EQ(PEEKS(buffer, 1), "a");
}

TEST(Peeking, NegativeCountOrNullAddressGivesEmptyString) {
    const char buffer[] = "abc";
    EXPECT_EQ(PEEKS(buffer, -1), "");
    EXPECT_EQ(PEEKS(buffer, INT32_MIN), "");
    EXPECT_EQ(PEEKS(nullptr, 0), "");
    EXPECT_EQ(PEEKS(nullptr, 3), "");
}

TEST(CodePage, ProcessRunsUnderWindows1251) { EXPECT_EQ(GetACP(), 1251u); }

TEST(CodePage, CyrillicRoundTrip) {
    const std::string label = "Поиск по сайту:";  // stored as Windows-1251
    ASSERT_EQ(label.size(), 15u);
    wchar_t* wide = ASCIITOUTF(label);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::wcslen(wide), 15u);
    EXPECT_EQ(std::wstring(wide), std::wstring(L"Поиск по сайту:"));
    EXPECT_EQ(_msize(wide), 32u);  // one unit a byte, and the terminator
    EXPECT_EQ(UTFTOASCII(wide), label);
    std::free(wide);
}

TEST(CodePage, EmptyAndNullInputs) {
    EXPECT_EQ(ASCIITOUTF(""), nullptr);
    std::free(ASCIITOUTF(""));  // freeing the null result is harmless
    EXPECT_EQ(UTFTOASCII(L""), "");
    EXPECT_EQ(UTFTOASCII(nullptr), "");
}

TEST(CodePage, CharacterOutsideTheCodePageBecomesQuestionMark) {
    EXPECT_EQ(UTFTOASCII(L"a\u4E2Db"), "a?b");
    EXPECT_EQ(UTFTOASCII(L"\u041F\u0440\u0438"), "\xCF\xF0\xE8");  // one byte a letter
}

TEST(CodePage, EmbeddedZeroEndsTheWideText) {
    wchar_t* wide = ASCIITOUTF(std::string("ab\0cd", 5));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::wstring(wide), L"ab");
    // The block is sized for the whole string and holds no unwritten units.
    size_t units = _msize(wide) / sizeof(wchar_t);
    ASSERT_EQ(units, 6u);
    for (size_t i = 2; i < units; ++i) EXPECT_EQ(wide[i], L'\0') << "unit " << i;
    std::free(wide);
}
