// Windows pushes a file's data out with FlushFileBuffers, which needs a
// handle with write access. A folder has no data of its own to push there:
// the file system keeps a rename in its own journal, so SyncFolderOf only
// checks that the folder exists.
#include <system_error>

#include "platform/file_sync.h"
#include "platform/path_ops.h"
#include "platform/win32/windows_api.h"

namespace platform {

namespace {

std::string SystemMessage(DWORD code) { return std::system_category().message(static_cast<int>(code)); }

}  // namespace

bool SyncFileData(const std::string& path, std::string& error) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == win32::WIN32_INVALID_HANDLE) {
    error = SystemMessage(::GetLastError());
    return false;
  }
  const bool flushed = ::FlushFileBuffers(file) != FALSE;
  if (!flushed) error = SystemMessage(::GetLastError());
  ::CloseHandle(file);
  return flushed;
}

bool SyncFolderOf(const std::string& path, std::string& error) {
  const std::string folder = FolderOf(path);
  if (IsFolder(folder)) return true;
  error = "not a folder: " + folder;
  return false;
}

}  // namespace platform
