#include "cli/console_dialogs.h"

#include <string>

#include "cli/exit_status.h"
#include "drive/command_channel.h"
#include "platform/exit_process.h"
#include "transport/command_trace.h"

namespace {

// The boxes' CP932 texts the core shows, in UTF-8; any other text keeps its
// ASCII and shows '?' for the rest.
std::string Readable(std::string_view cp932) {
  if (cp932 == CREATE_EVENT_FAILED_TEXT) return "CreateEvent \xE5\xA4\xB1\xE6\x95\x97";  // 失敗
  std::string text;
  for (const char c : cp932) text.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
  return text;
}

}  // namespace

void ConsoleDialogs::ShowMessage(std::string_view cp932) {
  if (CommandTrace* trace = InstalledCommandTrace()) trace->Box(cp932);
  console_.Err(Readable(cp932));
}

void ConsoleDialogs::ShowFatalError(std::string_view text, std::string_view caption) {
  const std::string line = std::string(caption) + ": " + std::string(text);
  if (CommandTrace* trace = InstalledCommandTrace()) trace->Box(line);
  console_.Err(line);
  platform::ExitProcess(CLI_EXIT_FAILED);
}
