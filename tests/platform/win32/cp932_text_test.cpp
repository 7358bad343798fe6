#include "platform/win32/cp932_text.h"
#include "platform/win32/utf8_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct TextCase {
  const char* name;
  std::string cp932;
  std::wstring utf16;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class Cp932Text : public ::testing::TestWithParam<TextCase> {};

TEST_P(Cp932Text, ConvertsBothWaysWithTheSystemsCodePage932Table) {
  const auto wide = platform::Cp932ToUtf16(GetParam().cp932);
  ASSERT_TRUE(wide.has_value());
  EXPECT_EQ(*wide, GetParam().utf16);
  EXPECT_EQ(platform::Utf16ToCodePage(platform::CODE_PAGE_SHIFT_JIS, *wide), GetParam().cp932);
}

// 0x8160 and 0x817C are where Microsoft's table differs from plain Shift-JIS.
INSTANTIATE_TEST_SUITE_P(
    Texts, Cp932Text,
    ::testing::Values(TextCase{"empty", "", L""}, TextCase{"ascii", "ASPI32 error", L"ASPI32 error"},
                      TextCase{"kanji_and_kana", "ASPI\x8f\x88\x97\x9d\x92\x86\x82\xc5\x82\xb7",
                               L"ASPI\u51e6\u7406\u4e2d\u3067\u3059"},
                      TextCase{"half_width_katakana", "\xb1\xb2\xb3", L"\uff71\uff72\uff73"},
                      TextCase{"microsoft_table", "\x81\x60\x81\x7c", L"\uff5e\uff0d"}));

}  // namespace

namespace {

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::wstring utf16;
  std::string back;  // what the UTF-16 becomes again
};

void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }

class OwnUtf8 : public ::testing::TestWithParam<Utf8Case> {};

// Ill-formed bytes become U+FFFD one byte at a time.
TEST_P(OwnUtf8, DecodesAndEncodesWithoutTheSystem) {
  EXPECT_EQ(platform::Utf8ToUtf16(GetParam().utf8), GetParam().utf16);
  EXPECT_EQ(platform::Utf16ToUtf8(GetParam().utf16), GetParam().back);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, OwnUtf8,
    ::testing::Values(
        Utf8Case{"every_length", "a\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80", L"a\u00e9\u65e5\xd83d\xde00",
                 "a\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80"},
        Utf8Case{"cut_short", "\xe6\x97", L"\ufffd\ufffd", "\xef\xbf\xbd\xef\xbf\xbd"},
        Utf8Case{"overlong_slash", "\xc0\xaf", L"\ufffd\ufffd", "\xef\xbf\xbd\xef\xbf\xbd"},
        Utf8Case{"surrogate_encoded", "\xed\xa0\x80", L"\ufffd\ufffd\ufffd",
                 "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
        Utf8Case{"beyond_unicode", "\xf4\x90\x80\x80", L"\ufffd\ufffd\ufffd\ufffd",
                 "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"}));

TEST(OwnUtf8Alone, LoneSurrogateBecomesTheReplacementCharacter) {
  EXPECT_EQ(platform::Utf16ToUtf8(std::wstring(L"a") + wchar_t(0xD800) + L"b"), "a\xef\xbf\xbd" "b");
}

}  // namespace
