#include "app/toolkit/text.h"

#include <gmock/gmock.h>

namespace {

struct Conversion {
  const char* name;
  std::u8string_view unicode;
  std::string_view cp932;
};

// Bytes taken from the CP932 code page table.
const Conversion kConversions[] = {
    {"katakana", u8"コンペアエラー", "\x83\x52\x83\x93\x83\x79\x83\x41\x83\x47\x83\x89\x81\x5b"},
    {"kanji", u8"電源オフ", "\x93\x64\x8c\xb9\x83\x49\x83\x74"},
    {"fullwidth_letters_and_ascii_blank", u8"ＭＳ Ｐゴシック",
     "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e"},
    // 0x5C is a backslash in CP932; strict Shift-JIS would make it a yen sign.
    {"backslash_stays", u8"C:\\bin", "C:\\bin"},
    // 0x8160 is U+FF5E in CP932 but U+301C in strict Shift-JIS.
    {"windows_wave_dash", u8"～", "\x81\x60"},
    {"line_feed_and_question_mark", u8"です。\nか?", "\x82\xc5\x82\xb7\x81\x42\x0a\x82\xa9\x3f"},
};

class ToolkitCp932Conversion : public ::testing::TestWithParam<Conversion> {};

TEST_P(ToolkitCp932Conversion, EncodesUtf8Literal) { EXPECT_EQ(tk::Cp932(GetParam().unicode), GetParam().cp932); }

TEST_P(ToolkitCp932Conversion, DecodesToUtf8) {
  const auto& u = GetParam().unicode;
  EXPECT_EQ(tk::Utf8(GetParam().cp932), std::string(reinterpret_cast<const char*>(u.data()), u.size()));
}

INSTANTIATE_TEST_SUITE_P(Texts, ToolkitCp932Conversion, ::testing::ValuesIn(kConversions),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ToolkitCp932, CharacterOutsideTheCodePageBecomesQuestionMark) {
  EXPECT_TRUE(tk::Cp932Available());
  EXPECT_EQ(tk::Cp932(u8"a€b😀c"), "a?b?c");
}

}  // namespace
