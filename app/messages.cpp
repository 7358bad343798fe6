// The numbered status messages, the language choice and the caption sets.
#include "app/messages.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "app/main_window.h"
#include "app/program.h"
#include "app/toolkit/language.h"
#include "app/toolkit/text.h"
#include "app/toolkit/window_thread.h"
#include "firmware/status_texts.h"
#include "transport/command_trace.h"

namespace {

struct Texts {
  std::array<std::string, 256> english;
  std::array<std::string, 256> japanese;
  std::array<bool, 256> present{};
};

const Texts& Table() {
  static const Texts texts = [] {
    Texts t;
    for (const StatusTextRow& row : STATUS_TEXT_ROWS) {
      t.english[row.code] = tk::Cp932(row.english);
      t.japanese[row.code] = tk::Cp932(row.japanese);
      t.present[row.code] = true;
    }
    return t;
  }();
  return texts;
}

// Caption sets: English and Japanese texts of the menu, the buttons and the
// caption labels, in the order the start-up step sets them.
struct Captions {
  bool japanese;
  std::string file, exit, flash, cancel, drive, current, fresh, status;
  // What screen readers call the message area and the bar (the drive list
  // goes by its caption, `drive`).
  std::string messages, progress;
  // Why a logoff or shutdown is held back during a run.
  std::string sessionEnd;
};

Captions EnglishCaptions() {
  return {false,           "File(&F)",         "Exit(&X)",     "Flash",   "Cancel",
          "Selected Drive:", "Current Version:", "New Version:", "Status:",
          "Messages",      "Flash progress",
          "The drive's firmware is being written. Ending the session now would leave the drive unusable."};
}

Captions JapaneseCaptions() {
  return {true,
          tk::Cp932(u8"ファイル(&F)"),
          tk::Cp932(u8"終了(&X)"),
          tk::Cp932(u8"フラッシュ"),
          tk::Cp932(u8"キャンセル"),
          tk::Cp932(u8"ドライブ選択:"),
          tk::Cp932(u8"現在のバージョン:"),
          tk::Cp932(u8"書き換えるバージョン:"),
          tk::Cp932(u8"ステータス:"),
          tk::Cp932(u8"メッセージ"),
          tk::Cp932(u8"書き換えの進行状況"),
          tk::Cp932(u8"ドライブのファームウェアを書き換え中です。今終了するとドライブが使えなくなります。")};
}

// FileF1 to Label10, the part that the start-up step and RadioButton1Click
// share up to Button2.
void SetMenuAndButtonCaptions(TForm1& form, const Captions& c, const std::string& button2) {
  form.FileF1.SetCaption(c.file);
  form.Exit1.SetCaption(c.exit);
  form.Button1.SetCaption(c.flash);
  form.Button2.SetCaption(button2);
  form.Label15.SetCaption(c.drive);
  form.Label3.SetCaption(c.current);
  form.Label10.SetCaption(c.fresh);
  form.ComboBox1.SetAccessibleName(c.drive);
  form.RichEdit1.SetAccessibleName(c.messages);
  form.ProgressBar1.SetAccessibleName(c.progress);
  // Qt's own texts, such as the edit fields' context menus, follow too.
  tk::UseToolkitJapanese(c.japanese);
}

}  // namespace

const char* StatusText(uint8_t code, bool japanese) {
  const Texts& t = Table();
  if (!t.present[code]) return nullptr;
  return japanese ? t.japanese[code].c_str() : t.english[code].c_str();
}

std::string StatusMessages::SetStatus(StatusMsg code, bool japanese) {
  const char* text = StatusText(static_cast<uint8_t>(code), japanese);
  platform::LockGuard guard(lock_);
  if (text != nullptr) {
    // Every row fits; the copy is bounded all the same and stays terminated.
    const size_t n = std::min(std::strlen(text), MESSAGE_BUFFER_SIZE - 1);
    std::memcpy(messageBuffer_, text, n);
    messageBuffer_[n] = '\0';
  }
  statusCode_ = code;
  // Under the lock, so the trace has the statuses in the order they were set.
  if (CommandTrace* trace = InstalledCommandTrace()) {
    const char* english = StatusText(static_cast<uint8_t>(code), false);
    trace->Status(static_cast<uint8_t>(code), english != nullptr ? english : "");
  }
  return std::string(messageBuffer_);
}

StatusMsg StatusMessages::StatusCode() const {
  platform::LockGuard guard(lock_);
  return statusCode_;
}

std::string StatusMessages::MessageBuffer() const {
  platform::LockGuard guard(lock_);
  return std::string(messageBuffer_);
}

std::string RunOutcomeInEnglish(const Program& program) {
  StatusMsg code = StatusMsg::Completed;
  if (program.run.completion.load() != COMPLETION_SUCCESS) {
    code = program.status.StatusCode();
    if (code != StatusMsg::ComparingError) code = StatusMsg::FlashingError;
  }
  std::string text = StatusText(code, false);
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

std::string SetStatus(Program& program, StatusMsg code) {
  return program.status.SetStatus(code, program.run.Japanese());
}

void ShowStatus(Program& program, TForm1& form, StatusMsg code) {
  // Set and show in one step on the window thread: whichever thread sets a
  // status last is the one whose text the message area keeps.
  tk::RunOnWindowThread([&] { form.RichEdit1.SetText(SetStatus(program, code)); });
}

void ShowStatusNow(Program& program, TForm1& form, StatusMsg code) {
  // One pointer captured, so the call fits std::function without the heap:
  // a run shows a status before nearly every drive command.
  struct Step {
    Program& program;
    TForm1& form;
    StatusMsg code;
  } step{program, form, code};
  tk::RunOnWindowThread([s = &step] { s->form.RichEdit1.ShowNow(SetStatus(s->program, s->code)); });
}

std::string SessionEndReason(const Program& program) {
  return (program.run.Japanese() ? JapaneseCaptions() : EnglishCaptions()).sessionEnd;
}

void ChooseLanguage(Program& program, TForm1& form) {
  const bool japanese = program.os.system.SystemDefaultLangID() == platform::LANG_ID_JAPANESE;
  program.run.language.store(japanese ? LANGUAGE_JAPANESE : LANGUAGE_ENGLISH);
  const Captions c = japanese ? JapaneseCaptions() : EnglishCaptions();
  SetMenuAndButtonCaptions(form, c, c.cancel);
  if (japanese) {
    form.RadioButton1.SetEnabled(true);
    form.RadioButton1.SetChecked(true);  // runs RadioButton1Click
  } else {
    form.RadioButton2.SetEnabled(true);
    form.RadioButton2.SetChecked(true);  // runs RadioButton2Click
  }
  form.Label22.SetCaption(c.status);
}

void TForm1::RadioButton1Click() {
  program.run.language.store(LANGUAGE_JAPANESE);
  const Captions c = JapaneseCaptions();
  const bool armed = program.run.powerOffArmed.load() == POWER_OFF_ARMED;
  SetMenuAndButtonCaptions(*this, c, armed ? tk::Cp932(u8"電源オフ") : c.cancel);
  Label22.SetCaption(c.status);
  Detail1.SetCaption(tk::Cp932(u8"詳細 >>"));
  RadioGroup1.SetCaption(tk::Cp932(u8"言語"));
  RadioButton1.SetChecked(true);  // already checked: no second run
  RadioButton1.SetCaption(tk::Cp932(u8"日本語"));
  RadioButton2.SetCaption("English");
  ShowStatusNow(program, *this, program.status.StatusCode());
}

void TForm1::RadioButton2Click() {}
