#include "cli/cli_views.h"

#include "cli/run_progress.h"
#include "firmware/status_texts.h"
#include "transport/command_trace.h"

namespace {

// "Flashing..." is shown twice before the first command: at the start and
// once the image is read.
constexpr int kShowsBeforeCommands = 2;

void TraceStatus(StatusMsg code) {
  CommandTrace* trace = InstalledCommandTrace();
  if (trace == nullptr) return;
  const std::string english = StatusLine(code, false);
  trace->Status(static_cast<uint8_t>(code), english);
}

}  // namespace

std::string StatusLine(StatusMsg code, bool japanese) {
  const StatusTextRow* row = FindStatusTextRow(static_cast<uint8_t>(code));
  if (row == nullptr) return {};
  const std::u8string_view text = japanese ? row->japanese : row->english;
  std::string line(reinterpret_cast<const char*>(text.data()), text.size());
  for (char& c : line)
    if (c == '\n') c = ' ';
  return line;
}

void StartupView::ShowStatus(StatusMsg code) {
  status = code;
  TraceStatus(code);
}

void RunView::ShowStatus(StatusMsg code) {
  TraceStatus(code);
  int steps = -1;
  bool changed = false;
  {
    platform::LockGuard guard(lock_);
    if (code == StatusMsg::Flashing) steps = ++flashingShown_ - kShowsBeforeCommands;
    changed = messages_.empty() || messages_.back().first != code;
    if (changed) messages_.emplace_back(code, StatusLine(code, japanese_));
  }
  if (quiet_) return;
  if (code == StatusMsg::Completed) console_.Bar("[" + std::string(30, '#') + "] 100%");
  if (changed) console_.Out(StatusLine(code, japanese_));
  if (steps >= 0) ShowProgress(steps);
}

void RunView::ShowProgress(int steps) {
  const RunPoint point = RunPointAfter(steps);
  const std::string text = "stage " + std::to_string(point.stage) + "/2  " + point.command + "  " +
                           std::to_string(point.percent) + "%";
  if (console_.OutIsTerminal()) {
    const int filled = point.percent * 30 / 100;
    console_.Bar("[" + std::string(static_cast<std::size_t>(filled), '#') +
                 std::string(static_cast<std::size_t>(30 - filled), '.') + "] " + text);
    return;
  }
  // Without a terminal a line at each tenth of the run, for logs.
  if (point.percent / 10 == lastTenth_) return;
  lastTenth_ = point.percent / 10;
  console_.Out("progress: " + text);
}

void RunView::ShowOwnPath(const std::string& path) {
  console_.Err("could not read the firmware carried in " + path + "; nothing was sent to the drive");
}

std::vector<std::pair<StatusMsg, std::string>> RunView::Messages() const {
  platform::LockGuard guard(lock_);
  return messages_;
}

int RunView::Steps() const {
  platform::LockGuard guard(lock_);
  return flashingShown_ < kShowsBeforeCommands ? 0 : flashingShown_ - kShowsBeforeCommands;
}
