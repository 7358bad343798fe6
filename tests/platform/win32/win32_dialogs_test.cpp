#include "platform/win32/win32_dialogs.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/win32/cp932_text.h"

namespace {

struct Box {
  char kind;  // 'W', 'A' or 'B' (beep)
  std::wstring wideText, wideCaption;
  std::string text, caption;
  uint32_t style;
};

class RecordingBoxes final : public platform::Win32BoxCalls {
 public:
  void MessageBoxW(const std::wstring& text, const std::wstring& caption, uint32_t style) override {
    boxes.push_back({'W', text, caption, {}, {}, style});
  }
  void MessageBoxA(const std::string& text, const std::string& caption, uint32_t style) override {
    boxes.push_back({'A', {}, {}, text, caption, style});
  }
  void MessageBeep(uint32_t type) override { boxes.push_back({'B', {}, {}, {}, {}, type}); }
  std::vector<Box> boxes;
};

struct TextCase {
  const char* name;
  std::string cp932;
  std::wstring utf16;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class Cp932Text : public ::testing::TestWithParam<TextCase> {};

TEST_P(Cp932Text, ConvertsWithTheSystemsCodePage932Table) {
  const auto wide = platform::Cp932ToUtf16(GetParam().cp932);
  ASSERT_TRUE(wide.has_value());
  EXPECT_EQ(*wide, GetParam().utf16);
}

// 0x8160 and 0x817C are where Microsoft's table differs from plain Shift-JIS.
INSTANTIATE_TEST_SUITE_P(
    Texts, Cp932Text,
    ::testing::Values(TextCase{"empty", "", L""}, TextCase{"ascii", "ASPI32 error", L"ASPI32 error"},
                      TextCase{"kanji_and_kana", "ASPI\x8f\x88\x97\x9d\x92\x86\x82\xc5\x82\xb7",
                               L"ASPI\u51e6\u7406\u4e2d\u3067\u3059"},
                      TextCase{"half_width_katakana", "\xb1\xb2\xb3", L"\uff71\uff72\uff73"},
                      TextCase{"microsoft_table", "\x81\x60\x81\x7c", L"\uff5e\uff0d"}));

TEST(Win32Dialogs, EachCallReachesTheSystemAsTheProgramAsksForIt) {
  RecordingBoxes calls;
  platform::Win32Dialogs dialogs("Zorvex Firmware Flash Utility", calls);
  dialogs.ShowMessage("ERROR\x82\xc5\x82\xb7");
  dialogs.Beep();
  dialogs.ShowFatalError("wnaspi32.dll not found", "ASPI32 error");
  ASSERT_EQ(calls.boxes.size(), 3u);
  EXPECT_EQ(calls.boxes[0].kind, 'W');
  EXPECT_EQ(calls.boxes[0].wideText, L"ERROR\u3067\u3059");
  EXPECT_EQ(calls.boxes[0].wideCaption, L"Zorvex Firmware Flash Utility");
  EXPECT_EQ(calls.boxes[0].style, platform::WIN32_MESSAGE_STYLE);
  EXPECT_EQ(calls.boxes[1].kind, 'B');
  EXPECT_EQ(calls.boxes[1].style, 0u);  // the default sound
  EXPECT_EQ(calls.boxes[2].kind, 'A');
  EXPECT_EQ(calls.boxes[2].text, "wnaspi32.dll not found");
  EXPECT_EQ(calls.boxes[2].caption, "ASPI32 error");
  EXPECT_EQ(calls.boxes[2].style, 0x1010u);
}

}  // namespace
