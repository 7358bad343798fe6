#include "transport/aspi_library.h"

#include "platform/exit_process.h"

namespace {

template <typename Fn>
Fn EntryPoint(AspiLibrary& library, const char* name) {
  return reinterpret_cast<Fn>(library.loader.GetProcAddress(library.handle, name));
}

}  // namespace

void LoadAspiLibrary(AspiLibrary& library) {
  library.handle = library.loader.LoadLibrary(ASPI_LIBRARY_NAME);
  if (library.handle == nullptr) AspiFatal(library, "wnaspi32.dll not found");

  const auto info = EntryPoint<GetASPI32SupportInfoFn>(library, "GetASPI32SupportInfo");
  library.aspi.GetASPI32SupportInfo.store(info);
  if (info == nullptr) AspiFatal(library, "GetASPI32SupportInfo not found");

  const auto send = EntryPoint<SendASPI32CommandFn>(library, "SendASPI32Command");
  library.aspi.SendASPI32Command.store(send);
  if (send == nullptr) AspiFatal(library, "SendASPI32Command not found");
}

void UnloadAspiLibrary(AspiLibrary& library) {
  if (library.handle == nullptr) return;
  // Entry points first: from here on a new request is refused, never sent
  // into code that is about to be unmapped.
  library.aspi.SendASPI32Command.store(nullptr);
  library.aspi.GetASPI32SupportInfo.store(nullptr);
  library.loader.FreeLibrary(library.handle);
  library.handle = nullptr;
}

void AspiFatal(AspiLibrary& library, std::string_view text) {
  library.dialogs.Beep();
  library.dialogs.ShowFatalError(text, ASPI_FATAL_CAPTION);
  platform::ExitProcess(0);
}
