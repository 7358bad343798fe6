// An output of the packer written whole beside its final name and renamed
// into place only when asked: a command with several outputs stages every
// one before it renames any, so a failure leaves each existing output with
// its old contents. A staged file that is never committed is removed, also
// when a signal ends the process (Linux, once the program has called
// platform::InstallRemovalOnSignal).
// Threads: one object per thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "firmware/container_packer.h"
#include "platform/removal_on_signal.h"

class StagedOutput {
 public:
  // Refuses a `path` that exists and is not a regular file (a device, FIFO,
  // socket, folder or symbolic link is never replaced), or whose
  // permissions cannot be read. Touches nothing.
  static std::optional<PackError> Check(const std::string& path);

  StagedOutput() = default;
  ~StagedOutput();
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;

  // Checks `path`, then writes what `write` gives (false: its own input
  // failed) into a temporary file in the same folder, with the permissions
  // of the file it will replace, else `perms` when given, and pushes it to
  // the storage device. Once per object.
  std::optional<PackError> Stage(const std::string& path, const std::function<bool(std::ostream&)>& write,
                                 std::optional<uint32_t> perms = std::nullopt);
  // Renames the staged file over `path` (checked again first) and makes
  // the folder entry durable.
  std::optional<PackError> Commit();

 private:
  std::string path_;
  std::string temp_;  // empty until staged; again after the rename
  std::unique_ptr<platform::RemovedOnSignal> onSignal_;
};
