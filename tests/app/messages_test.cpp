// Status messages, the language choice and the caption sets.
#include "app/messages.h"

#include <gmock/gmock.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QLabel>
#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "app/main_window.h"
#include "app/program.h"
#include "app/toolkit/qt/qt_native.h"
#include "app/toolkit/text.h"
#include "tests/support/window/event_wait.h"
#include "tests/support/window/test_program.h"

namespace {

using testing_support::ProcessEventsUntil;
using tk::Cp932;

StatusMsg Msg(int code) { return static_cast<StatusMsg>(code); }
int Number(StatusMsg code) { return static_cast<int>(code); }

struct Message {
  int code;
  std::string english;
  std::string japanese;  // CP932
};

std::vector<Message> Table() {
  return {
      {0, "Start Flashing", Cp932(u8"ファームウェア書き換え開始")},
      {1, "Flashing...", Cp932(u8"ファームウェア書き換え中...")},
      {2, "Flashing Completed", Cp932(u8"ファームウェア書き換え終了")},
      {3, "Flashing Error", Cp932(u8"ファームウェア書き換えエラー")},
      {4, "Retrieving Data...", Cp932(u8"ファームウェアチェック中...")},
      {5, "Retrieving Error", Cp932(u8"ファームウェアリードエラー")},
      {6, "Comparing...", Cp932(u8"コンペア中...")},
      {7, "Comparing Error", "\x83\x52\x83\x93\x83\x79\x83\x41\x83\x47\x83\x89\x81\x5b"},
      {8, "Flashing is Completed.\nPlease turn off your PC.",
       "\x83\x74\x83\x40\x81\x5b\x83\x80\x83\x45\x83\x46\x83\x41\x95\xcf\x8d\x58\x8f\x49\x97\xb9\x81\x42"
       "             "
       "\x82\x6f\x82\x62\x82\xcc\x93\x64\x8c\xb9\x82\xf0\x88\xea\x92\x55\x83\x49\x83\x74\x82\xb5\x82\xc4"
       "\x82\xa9\x82\xe7\x8d\xc4\x8b\x4e\x93\xae\x82\xb5\x82\xc4\x89\xba\x82\xb3\x82\xa2\x81\x42"},
      {10, "Cannot open the file.", Cp932(u8"ファイルが開けません。")},
      {11, "Incorrect file", Cp932(u8"ファイルが正しくありません。")},
      {12, "Do you want to change the firmware?",
       Cp932(u8"バージョンを確認して下さい。\nフラッシュボタンでファームウェア変更を始めます。")},
      {16, "Target drive is not found.",
       "\x91\xce\x8f\xdb\x83\x68\x83\x89\x83\x43\x83\x75\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc"
       "\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42"},
      {17, "Please select the drive to be flashed.", Cp932(u8"ドライブを選択して下さい。")},
      {32, "This drive's firmware is same as this version.\nDo you want to change the firmware?",
       Cp932(u8"同じバージョンです。\nファームウェア変更を始めますか?")},
      {33, "This drive's firmware is newer than this version.\nDo you want to change the firmware?",
       Cp932(u8"より新しいバージョンになっています。\nファームウェア変更を始めますか?")},
  };
}

class StatusTableTest : public ::testing::TestWithParam<Message> {};

TEST_P(StatusTableTest, BothColumnsAsDescribed) {
  const Message& m = GetParam();
  const auto code = static_cast<uint8_t>(m.code);
  ASSERT_NE(StatusText(code, false), nullptr);
  ASSERT_NE(StatusText(code, true), nullptr);
  EXPECT_EQ(StatusText(code, false), m.english);
  EXPECT_EQ(StatusText(code, true), m.japanese);
}

TEST_P(StatusTableTest, SetStatusFillsBufferInChosenLanguage) {
  const Message& m = GetParam();
  StatusMessages status;
  EXPECT_EQ(status.SetStatus(Msg(m.code), true), m.japanese);
  EXPECT_EQ(status.MessageBuffer(), m.japanese);
  EXPECT_EQ(status.SetStatus(Msg(m.code), false), m.english);
  EXPECT_EQ(status.MessageBuffer(), m.english);
  EXPECT_EQ(Number(status.StatusCode()), m.code);
}

INSTANTIATE_TEST_SUITE_P(Codes, StatusTableTest, ::testing::ValuesIn(Table()),
                         [](const auto& info) { return "code" + std::to_string(info.param.code); });

TEST(StatusTable, OnlyTheSixteenCodesHaveRows) {
  std::set<int> withRow;
  for (int code = 0; code < 256; ++code) {
    const bool english = StatusText(static_cast<uint8_t>(code), false) != nullptr;
    const bool japanese = StatusText(static_cast<uint8_t>(code), true) != nullptr;
    EXPECT_EQ(english, japanese) << code;
    if (english) withRow.insert(code);
  }
  EXPECT_EQ(withRow, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 16, 17, 32, 33}));
}

TEST(StatusTable, LongestTextIs85BytesAndFitsTheBuffer) {
  size_t longest = 0;
  for (int code = 0; code < 256; ++code)
    for (bool japanese : {false, true})
      if (const char* text = StatusText(static_cast<uint8_t>(code), japanese))
        longest = std::max(longest, std::string_view(text).size());
  EXPECT_EQ(longest, 85u);
  EXPECT_LT(longest, MESSAGE_BUFFER_SIZE);
}

TEST(StatusTable, JapaneseCode8IsOneLineWithThirteenBlanks) {
  const std::string text = StatusText(8, true);
  EXPECT_EQ(text.find('\n'), std::string::npos);
  const std::string head = Cp932(u8"ファームウェア変更終了。");
  ASSERT_EQ(text.rfind(head, 0), 0u);
  EXPECT_EQ(text.substr(head.size(), 14), std::string(13, ' ') + "\x82");  // then "Ｐ"
}

TEST(StatusTable, QuestionsUseAsciiQuestionMark) {
  const std::string fullWidth = "\x81\x48";  // "？" in CP932
  for (uint8_t code : {32, 33})
    for (bool japanese : {false, true}) {
      const std::string text = StatusText(code, japanese);
      EXPECT_EQ(text.back(), '?');
      EXPECT_EQ(text.find(fullWidth), std::string::npos);
    }
}

TEST(StatusMessagesTest, EmptyBeforeFirstCall) {
  StatusMessages status;
  EXPECT_EQ(Number(status.StatusCode()), 0);
  EXPECT_EQ(status.MessageBuffer(), "");
}

class CodeWithoutRowTest : public ::testing::TestWithParam<int> {};

TEST_P(CodeWithoutRowTest, ChangesOnlyStatusCode) {
  StatusMessages status;
  status.SetStatus(Msg(11), false);
  EXPECT_EQ(status.SetStatus(Msg(GetParam()), false), "Incorrect file");
  EXPECT_EQ(Number(status.StatusCode()), GetParam());
  EXPECT_EQ(status.MessageBuffer(), "Incorrect file");
}

INSTANTIATE_TEST_SUITE_P(Codes, CodeWithoutRowTest, ::testing::Values(9, 13, 15, 18, 31, 34, 255));

// Flag values: only exactly 0x81 selects Japanese.
class LanguageFlagTest : public ::testing::TestWithParam<std::pair<uint8_t, bool>> {};

TEST_P(LanguageFlagTest, SelectsColumn) {
  fakes::TestProgram tp;
  tp->run.language = GetParam().first;
  EXPECT_EQ(SetStatus(*tp, Msg(11)),
            GetParam().second ? Cp932(u8"ファイルが正しくありません。") : "Incorrect file");
}

INSTANTIATE_TEST_SUITE_P(
    Flags, LanguageFlagTest,
    ::testing::Values(std::pair<uint8_t, bool>{0x81, true}, std::pair<uint8_t, bool>{0, false},
                      std::pair<uint8_t, bool>{1, false}, std::pair<uint8_t, bool>{0x80, false},
                      std::pair<uint8_t, bool>{0x82, false}, std::pair<uint8_t, bool>{0xFF, false}));

class FormMessagesTest : public ::testing::Test {
 protected:
  fakes::TestProgram tp;
  TForm1 form{*tp, /*runStartup=*/false};
};

struct Language {
  uint16_t langId;
  bool japanese;
};

class ChooseLanguageTest : public FormMessagesTest, public ::testing::WithParamInterface<Language> {};

TEST_P(ChooseLanguageTest, SetsFlagCaptionsAndRadioButton) {
  tp.system.langId = GetParam().langId;
  ChooseLanguage(*tp, form);
  const bool ja = GetParam().japanese;
  EXPECT_EQ(tp->run.language.load(), ja ? LANGUAGE_JAPANESE : LANGUAGE_ENGLISH);
  EXPECT_EQ(form.FileF1.Caption(), ja ? Cp932(u8"ファイル(&F)") : "File(&F)");
  EXPECT_EQ(form.Exit1.Caption(), ja ? Cp932(u8"終了(&X)") : "Exit(&X)");
  EXPECT_EQ(form.Button1.Caption(), ja ? Cp932(u8"フラッシュ") : "Flash");
  EXPECT_EQ(form.Button2.Caption(), ja ? Cp932(u8"キャンセル") : "Cancel");
  EXPECT_EQ(form.Label15.Caption(), ja ? Cp932(u8"ドライブ選択:") : "Selected Drive:");
  EXPECT_EQ(form.Label3.Caption(), ja ? Cp932(u8"現在のバージョン:") : "Current Version:");
  EXPECT_EQ(form.Label10.Caption(), ja ? Cp932(u8"書き換えるバージョン:") : "New Version:");
  EXPECT_EQ(form.Label22.Caption(), ja ? Cp932(u8"ステータス:") : "Status:");
  EXPECT_EQ(form.RadioButton1.Checked(), ja);
  EXPECT_EQ(form.RadioButton2.Checked(), !ja);
  EXPECT_EQ(form.Detail1.Caption(), ja ? Cp932(u8"詳細 >>") : "");
  EXPECT_EQ(form.RadioGroup1.Caption(), ja ? Cp932(u8"言語") : "");
  EXPECT_EQ(form.RadioButton1.Caption(), ja ? Cp932(u8"日本語") : "");
  EXPECT_EQ(form.RadioButton2.Caption(), ja ? "English" : "");
  // Screen readers name the drive list, the message area and the bar in the
  // chosen language; Qt's own texts (an edit field's Undo) follow it too.
  EXPECT_EQ(form.ComboBox1.AccessibleName(), form.Label15.Caption());
  // Qt's accessibility (and so AT-SPI) names the list by its caption, not
  // by the current line, and relates it to the caption's label.
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(tk::QtWidget(form.ComboBox1));
  EXPECT_EQ(list->text(QAccessible::Name), static_cast<QLabel*>(tk::QtWidget(form.Label15))->text());
  const auto labels = list->relations(QAccessible::Label);
  ASSERT_EQ(labels.size(), 1);
  EXPECT_EQ(labels.front().first->object(), tk::QtWidget(form.Label15));
  EXPECT_EQ(form.RichEdit1.AccessibleName(), ja ? Cp932(u8"メッセージ") : "Messages");
  EXPECT_EQ(form.ProgressBar1.AccessibleName(), ja ? Cp932(u8"書き換えの進行状況") : "Flash progress");
  EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo") != "&Undo", ja);
  // Japanese start-up re-renders the current status, still 0.
  EXPECT_EQ(form.RichEdit1.Text(), ja ? Cp932(u8"ファームウェア書き換え開始") : "RichEdit1");
  EXPECT_EQ(Number(tp->status.StatusCode()), 0);
  // Messages from then on come in the chosen language.
  ShowStatus(*tp, form, Msg(16));
  EXPECT_EQ(form.RichEdit1.Text(),
            ja ? Cp932(u8"対象ドライブが見つかりませんでした。") : "Target drive is not found.");
}

INSTANTIATE_TEST_SUITE_P(Ids, ChooseLanguageTest,
                         ::testing::Values(Language{0x0411, true}, Language{0x0409, false},
                                           Language{0x0804, false}, Language{0x0000, false},
                                           Language{0x0412, false}, Language{0x0011, false}));

TEST_F(FormMessagesTest, JapaneseSwitchReRendersCurrentMessageOnTwoLines) {
  ShowStatus(*tp, form, Msg(32));
  EXPECT_EQ(form.RichEdit1.ParagraphCount(), 2);
  form.RadioButton1.SetChecked(true);
  EXPECT_EQ(tp->run.language.load(), LANGUAGE_JAPANESE);
  EXPECT_EQ(Number(tp->status.StatusCode()), 32);
  EXPECT_EQ(form.RichEdit1.ParagraphCount(), 2);
  EXPECT_EQ(form.RichEdit1.Text(),
            Cp932(u8"同じバージョンです。") + "\n" + Cp932(u8"ファームウェア変更を始めますか?"));
}

TEST_F(FormMessagesTest, JapaneseSwitchAfterCodeWithoutRowKeepsPreviousMessage) {
  ShowStatus(*tp, form, Msg(11));
  SetStatus(*tp, Msg(9));
  form.RadioButton1.SetChecked(true);
  EXPECT_EQ(Number(tp->status.StatusCode()), 9);
  // The buffer still holds the English text; code 9 has no row to replace it.
  EXPECT_EQ(form.RichEdit1.Text(), "Incorrect file");
}

class PowerOffCaptionTest : public FormMessagesTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(PowerOffCaptionTest, Button2CaptionFollowsArmedFlag) {
  tp->run.powerOffArmed = GetParam();
  form.RadioButton1.SetChecked(true);
  EXPECT_EQ(form.Button2.Caption(),
            GetParam() == POWER_OFF_ARMED ? Cp932(u8"電源オフ") : Cp932(u8"キャンセル"));
}

INSTANTIATE_TEST_SUITE_P(Flags, PowerOffCaptionTest, ::testing::Values(0, 1, 254, 255));

TEST_F(FormMessagesTest, RadioButton2ClickChangesNothing) {
  form.RadioButton2.SetChecked(true);
  EXPECT_EQ(tp->run.language.load(), LANGUAGE_ENGLISH);
  EXPECT_EQ(form.Button2.Caption(), "");
  EXPECT_EQ(form.RichEdit1.Text(), "RichEdit1");
  // No way back once Japanese was chosen.
  form.RadioButton1.SetChecked(true);
  form.RadioButton2.SetChecked(true);
  EXPECT_EQ(tp->run.language.load(), LANGUAGE_JAPANESE);
}

class ParagraphTest : public FormMessagesTest,
                      public ::testing::WithParamInterface<std::tuple<int, bool, int>> {};

TEST_P(ParagraphTest, LineFeedsBecomeParagraphs) {
  const auto [code, japanese, paragraphs] = GetParam();
  tp->run.language = japanese ? LANGUAGE_JAPANESE : LANGUAGE_ENGLISH;
  ShowStatus(*tp, form, Msg(code));
  EXPECT_EQ(form.RichEdit1.ParagraphCount(), paragraphs);
  EXPECT_EQ(form.RichEdit1.Text(), StatusText(static_cast<uint8_t>(code), japanese));
}

INSTANTIATE_TEST_SUITE_P(Codes, ParagraphTest,
                         ::testing::Values(std::tuple{8, true, 1}, std::tuple{8, false, 2},
                                           std::tuple{12, true, 2}, std::tuple{12, false, 1},
                                           std::tuple{33, true, 2}));

TEST(StatusMessagesTest, ConcurrentSettersNeverTearTheBuffer) {
  StatusMessages status;
  const std::string a = StatusText(32, false), b = StatusText(8, true);
  std::atomic<bool> torn{false};
  // One of the two texts from the start: the reader may run before either writer.
  status.SetStatus(Msg(32), false);
  auto writer = [&](uint8_t code, bool japanese) {
    for (int i = 0; i < 20000; ++i) {
      const std::string seen = status.SetStatus(Msg(code), japanese);
      if (seen != a && seen != b) torn = true;
    }
  };
  std::thread t1(writer, 32, false), t2(writer, 8, true);
  std::thread reader([&] {
    for (int i = 0; i < 20000; ++i) {
      const std::string seen = status.MessageBuffer();
      const int32_t code = Number(status.StatusCode());
      if ((seen != a && seen != b) || (code != 32 && code != 8)) torn = true;
    }
  });
  t1.join();
  t2.join();
  reader.join();
  EXPECT_FALSE(torn.load());
}

TEST_F(FormMessagesTest, ShowStatusFromTwoThreadsLeavesTextOfLastStatus) {
  std::atomic<bool> done{false};
  std::thread flash([&] {
    for (int i = 0; i < 300; ++i) ShowStatusNow(*tp, form, Msg(i % 2 ? 1 : 3));
    done = true;
  });
  int mismatches = 0;
  for (int i = 0; !done.load() && i < 100000; ++i) {
    ShowStatus(*tp, form, Msg(i % 2 ? 16 : 17));
    QCoreApplication::processEvents();
    // On the window thread nothing runs between the two reads.
    if (form.RichEdit1.Text() != StatusText(static_cast<uint8_t>(Number(tp->status.StatusCode())), false))
      ++mismatches;
  }
  const bool finished = ProcessEventsUntil([&] { return done.load(); });
  flash.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(form.RichEdit1.Text(), StatusText(static_cast<uint8_t>(Number(tp->status.StatusCode())), false));
}

}  // namespace
