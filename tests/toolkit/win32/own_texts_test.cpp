// The program's own table of its characters in code page 932, made at build
// time, against the system's code page 932 (Wine has every code page).
#include <gtest/gtest.h>

#include <string>

#include "app/toolkit/text.h"
#include "app/toolkit/win32/win32_own_texts.h"
#include "platform/win32/cp932_text.h"

namespace {

TEST(OwnTexts, EveryCharacterConvertsAsTheSystemsCodePage932Does) {
  ASSERT_GT(tk::kOwnCharacterCount, 100u) << "the build found the texts' characters";
  for (std::size_t i = 0; i < tk::kOwnCharacterCount; ++i) {
    const std::wstring one(1, static_cast<wchar_t>(tk::kOwnCharacters[i].utf16));
    const std::string bytes = tk::OwnUtf16ToCp932(one);
    EXPECT_EQ(platform::Utf16ToCodePage(platform::CODE_PAGE_SHIFT_JIS, one), bytes) << i;
    EXPECT_EQ(tk::OwnCp932ToUtf16(bytes), one) << i;
  }
}

// The window's texts whole (a message and a caption), and what the table
// lacks: '?' one way, '・' the other.
TEST(OwnTexts, TheProgramsTextsGoBothWaysAndOthersBecomeMarks) {
  for (const std::u8string_view text : {std::u8string_view(u8"ファームウェア変更終了。             ＰＣの電源を一旦オフしてから再起動して下さい。"),
                                        std::u8string_view(u8"書き換えの進行状況 ＭＳ Ｐゴシック")}) {
    const std::string system = tk::Cp932(text);
    const auto wide = platform::Cp932ToUtf16(system);
    ASSERT_TRUE(wide.has_value());
    EXPECT_EQ(tk::OwnUtf16ToCp932(*wide), system);
    EXPECT_EQ(tk::OwnCp932ToUtf16(system), *wide);
  }
  EXPECT_EQ(tk::OwnUtf16ToCp932(L"a\u00e9\u9f98b\xd83d\xde00"), "a??b?");
  EXPECT_EQ(tk::OwnCp932ToUtf16("a\x88\x9f" "b\xa0"), L"a\u30fbb\u30fb");
}

}  // namespace
