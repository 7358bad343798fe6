#include "firmware/staged_output.h"

#include <sstream>

#include "platform/file_sync.h"
#include "platform/path_ops.h"

namespace {

PackError Error(std::string message) { return PackError{std::move(message)}; }

// An existing path that is anything but a regular file (symbolic links
// included: renaming over one would replace the link, not its target).
std::optional<PackError> RefuseNonRegular(const std::string& path) {
  const char* what = "not a regular file";
  switch (platform::KindOf(path)) {
    case platform::PathKind::Missing:
    case platform::PathKind::Regular:
      return std::nullopt;
    case platform::PathKind::Folder:
      what = "a directory";
      break;
    case platform::PathKind::SymbolicLink:
      what = "a symbolic link";
      break;
    case platform::PathKind::Fifo:
      what = "a FIFO";
      break;
    case platform::PathKind::Socket:
      what = "a socket";
      break;
    case platform::PathKind::Device:
      what = "a device";
      break;
    case platform::PathKind::Other:
      break;
  }
  return Error("cannot write '" + path + "': it is " + what + ", not a regular file; it is left as it is");
}

std::string TempNameNear(const std::string& target) {
  // Not derived from the target's name, so a target whose name already has
  // the longest length a folder allows still gets its temporary beside it.
  return platform::JoinPath(platform::FolderOf(target), ".zx-pack-" + platform::TemporaryNameSuffix());
}

}  // namespace

std::optional<PackError> StagedOutput::Check(const std::string& path) {
  if (auto refusal = RefuseNonRegular(path)) return refusal;
  if (platform::KindOf(path) == platform::PathKind::Regular && !platform::PermissionsOf(path) &&
      platform::PermissionBitsExist())
    return Error("cannot write '" + path + "': cannot read its permissions");
  return std::nullopt;
}

StagedOutput::~StagedOutput() {
  if (!temp_.empty()) platform::RemoveFile(temp_);
}

std::optional<PackError> StagedOutput::Stage(const std::string& path,
                                             const std::function<bool(std::ostream&)>& write,
                                             std::optional<uint32_t> perms) {
  path_ = path;
  if (auto refusal = Check(path)) return refusal;
  if (platform::KindOf(path) == platform::PathKind::Regular) perms = platform::PermissionsOf(path);
  // Gathered in memory, then written in one go: the file streams are not
  // used, whose library code needs calls newer than Windows 98 has.
  std::ostringstream contents(std::ios::binary | std::ios::out);
  if (!write(contents)) return Error("cannot write '" + path + "': copying its contents failed");
  temp_ = TempNameNear(path);
  onSignal_ = std::make_unique<platform::RemovedOnSignal>(temp_);
  std::string writeError;
  if (!platform::WriteWholeFile(temp_, contents.view(), writeError)) {
    if (!platform::PathExists(temp_))
      return Error("cannot write '" + path + "': cannot create a file in its folder");
    return Error("cannot write '" + path + "': writing failed");
  }
  if (perms && !platform::SetPermissions(temp_, *perms))
    return Error("cannot write '" + path + "': cannot set its permissions");
  // Data first, then the name: a crash never leaves a renamed but empty file.
  std::string syncError;
  if (!platform::SyncFileData(temp_, syncError)) return Error("cannot write '" + path + "': " + syncError);
  return std::nullopt;
}

std::optional<PackError> StagedOutput::Commit() {
  // Checked again just before the rename, which would replace whatever is there.
  if (auto refusal = RefuseNonRegular(path_)) return refusal;
  std::string error;
  if (!platform::RenameOver(temp_, path_, error)) return Error("cannot write '" + path_ + "': " + error);
  temp_.clear();
  onSignal_.reset();
  if (!platform::SyncFolderOf(path_, error))
    return Error("wrote '" + path_ + "' but could not make its folder entry durable: " + error);
  return std::nullopt;
}
