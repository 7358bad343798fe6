#include "transport/aspi_library.h"

#include "app/program.h"
#include "platform/exit_process.h"

namespace {

template <typename Fn>
Fn EntryPoint(Program& program, const char* name) {
  return reinterpret_cast<Fn>(program.os.libraries.GetProcAddress(program.aspiLibrary, name));
}

}  // namespace

void LoadAspiLibrary(Program& program) {
  program.aspiLibrary = program.os.libraries.LoadLibrary(ASPI_LIBRARY_NAME);
  if (program.aspiLibrary == nullptr) AspiFatal(program, "wnaspi32.dll not found");

  const auto info = EntryPoint<GetASPI32SupportInfoFn>(program, "GetASPI32SupportInfo");
  program.aspi.GetASPI32SupportInfo.store(info);
  if (info == nullptr) AspiFatal(program, "GetASPI32SupportInfo not found");

  const auto send = EntryPoint<SendASPI32CommandFn>(program, "SendASPI32Command");
  program.aspi.SendASPI32Command.store(send);
  if (send == nullptr) AspiFatal(program, "SendASPI32Command not found");
}

void UnloadAspiLibrary(Program& program) {
  if (program.aspiLibrary == nullptr) return;
  // Entry points first: from here on a new request is refused, never sent
  // into code that is about to be unmapped.
  program.aspi.SendASPI32Command.store(nullptr);
  program.aspi.GetASPI32SupportInfo.store(nullptr);
  program.os.libraries.FreeLibrary(program.aspiLibrary);
  program.aspiLibrary = nullptr;
}

void AspiFatal(Program& program, std::string_view text) {
  program.os.dialogs.Beep();
  program.os.dialogs.ShowFatalError(text, ASPI_FATAL_CAPTION);
  platform::ExitProcess(0);
}
