// Windows: CreateFileA never waits for a pipe's other end when it fails, and
// GetFileType tells a disk file from a pipe or a character device on the
// open handle. Positions are set with SetFilePointer's two halves, which
// every Windows has (GetFileSizeEx and SetFilePointerEx came with 2000).
#include <algorithm>

#include "platform/read_only_file.h"
#include "platform/win32/windows_api.h"

namespace platform {

namespace {

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

ReadOnlyFile::ReadOnlyFile(const std::string& path) {
  if (path.empty()) return;
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == win32::WIN32_INVALID_HANDLE) return;
  DWORD high = 0;
  const DWORD low = ::GetFileSize(file, &high);
  const bool sized = low != INVALID_FILE_SIZE || ::GetLastError() == NO_ERROR;
  if (::GetFileType(file) != FILE_TYPE_DISK || !sized) {
    ::CloseHandle(file);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  size_ = uint64_t{high} << 32 | low;
}

ReadOnlyFile::~ReadOnlyFile() {
  if (IsOpen()) ::CloseHandle(AsHandle(handle_));
}

bool ReadOnlyFile::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  if (!IsOpen()) return false;
  LONG high = static_cast<LONG>(offset >> 32);
  ::SetLastError(NO_ERROR);
  const DWORD low =
      ::SetFilePointer(AsHandle(handle_), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return false;
  std::size_t done = 0;
  while (done < out.size()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 20));
    DWORD got = 0;
    if (!::ReadFile(AsHandle(handle_), out.data() + done, want, &got, nullptr) || got == 0) return false;
    done += got;
  }
  return true;
}

}  // namespace platform
