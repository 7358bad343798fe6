#include "app/traced_dialogs.h"

#include <string>

#include "transport/command_trace.h"

void TracedDialogs::ShowMessage(std::string_view cp932) {
  if (CommandTrace* trace = InstalledCommandTrace()) trace->Box(cp932);
  inner_.ShowMessage(cp932);
}

void TracedDialogs::ShowFatalError(std::string_view text, std::string_view caption) {
  if (CommandTrace* trace = InstalledCommandTrace())
    trace->Box(std::string(caption) + ": " + std::string(text));
  inner_.ShowFatalError(text, caption);
}
