// Files by name through the ANSI calls that Windows 95/98/Me and NT 4.0
// share. MoveFileExA is looked up and called on the NT family only: the
// 95/98/Me family lacks it or has it as a stub.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <system_error>

#include "platform/path_ops.h"
#include "platform/win32/windows_api.h"

namespace platform {

namespace {

std::string SystemMessage(DWORD code) { return std::system_category().message(static_cast<int>(code)); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The offset of the last separator, skipping the second bytes of
// double-byte characters (which may be 0x5C); npos when there is none.
std::size_t LastSeparator(const std::string& path) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (::IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (IsSeparator(path[i])) last = i;
  }
  return last;
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

// The file's identity: volume and index, on an open handle.
bool Identity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE file = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == win32::WIN32_INVALID_HANDLE) return false;
  const bool known = ::GetFileInformationByHandle(file, &info) != FALSE;
  ::CloseHandle(file);
  return known;
}

std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 2];
  char* name = nullptr;
  const DWORD length = ::GetFullPathNameA(path.c_str(), sizeof buffer, buffer, &name);
  if (length == 0 || length >= sizeof buffer) return {};
  return std::string(buffer, length);
}

}  // namespace

PathKind KindOf(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::SymbolicLink;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Folder;
  return PathKind::Regular;
}

// The system follows a link's target when the file is opened; a link to a
// folder carries the folder's mark itself.
PathKind KindBehind(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::Regular;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool PermissionBitsExist() { return false; }

std::optional<uint32_t> PermissionsOf(const std::string&) { return std::nullopt; }

bool SetPermissions(const std::string&, uint32_t) { return true; }

bool WriteWholeFile(const std::string& path, std::string_view data, std::string& error) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == win32::WIN32_INVALID_HANDLE) {
    error = SystemMessage(::GetLastError());
    return false;
  }
  bool written = true;
  for (std::size_t done = 0; written && done < data.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 20));
    DWORD wrote = 0;
    written = ::WriteFile(file, data.data() + done, chunk, &wrote, nullptr) != FALSE && wrote == chunk;
    if (!written) error = SystemMessage(::GetLastError());
    done += wrote;
  }
  if (!::CloseHandle(file) && written) {
    error = SystemMessage(::GetLastError());
    return false;
  }
  return written;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& error) {
  using MoveFileExFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  // Windows 95 exports MoveFileExA as a stub that fails, with an error code
  // of its own choosing: on that family (the version's high bit) it is not
  // called at all.
  const bool ninetyFiveFamily = (::GetVersion() & 0x80000000u) != 0;
  const auto moveFileEx =
      ninetyFiveFamily ? nullptr
                       : reinterpret_cast<MoveFileExFn>(reinterpret_cast<void*>(
                             ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "MoveFileExA")));
  if (moveFileEx != nullptr &&
      moveFileEx(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  const DWORD code = moveFileEx != nullptr ? ::GetLastError() : ERROR_CALL_NOT_IMPLEMENTED;
  if (code != ERROR_CALL_NOT_IMPLEMENTED) {
    error = SystemMessage(code);
    return false;
  }
  // 95/98/Me: no replacing rename. Until the move, the new contents are
  // whole under the old name `from`.
  if (!::DeleteFileA(to.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
    error = SystemMessage(::GetLastError());
    return false;
  }
  if (!::MoveFileA(from.c_str(), to.c_str())) {
    error = SystemMessage(::GetLastError());
    return false;
  }
  return true;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != FALSE; }

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION infoA{}, infoB{};
  if (Identity(a, infoA) && Identity(b, infoB))
    return infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber && infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
           infoA.nFileIndexLow == infoB.nFileIndexLow;
  const std::string fullA = FullPath(a), fullB = FullPath(b);
  return !fullA.empty() && !fullB.empty() && ::lstrcmpiA(fullA.c_str(), fullB.c_str()) == 0;
}

// The process, the moment and a count of calls, mixed (splitmix64) so that
// neighbouring inputs give unrelated digits.
std::string TemporaryNameSuffix() {
  static std::atomic<uint32_t> calls{0};
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  uint64_t x = (uint64_t{::GetCurrentProcessId()} << 32) ^ static_cast<uint64_t>(counter.QuadPart) ^
               (uint64_t{::GetTickCount()} << 16) ^ (uint64_t{calls.fetch_add(1)} << 48);
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(x));
  return hex;
}

std::string FolderOf(const std::string& path) {
  const std::size_t separator = LastSeparator(path);
  if (separator == std::string::npos) {
    if (path.size() >= 2 && path[1] == ':' && !::IsDBCSLeadByte(static_cast<BYTE>(path[0])))
      return path.substr(0, 2);
    return ".";
  }
  // The root keeps its separator ("C:\", "\").
  if (separator == 0 || (separator == 2 && path[1] == ':')) return path.substr(0, separator + 1);
  return path.substr(0, separator);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const std::size_t separator = LastSeparator(folder);
  const bool ends = separator != std::string::npos && separator + 1 == folder.size();
  const bool drive = folder.size() == 2 && folder[1] == ':';
  return folder + (ends || drive ? "" : "\\") + name;
}

// GetFullPathNameA works on the text alone, as the Linux side does; a
// path it cannot take stays as it was.
std::string NormalPath(const std::string& path) {
  const std::string full = FullPath(path);
  return full.empty() ? path : full;
}

}  // namespace platform
