// Files and folders by name, for code shared with Windows: std::filesystem
// is not used there, because its library code imports calls that Windows
// 98 and NT 4.0 lack (_wstat64, CreateHardLinkW, GetFileSizeEx...), and
// neither are the file streams (_fstat64).
// Linux: std::filesystem and the POSIX calls.
// Windows (platform/win32/win32_path_ops.cpp): the ANSI calls, paths in the
// system's code page (a backslash may be the second byte of a CP932
// character, and is never taken for a separator there). A file has no
// permission bits there and no symbolic links.
// Threads: any; nothing is shared.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class PathKind { Missing, Regular, Folder, SymbolicLink, Fifo, Socket, Device, Other };

// What is at `path`, the link itself rather than what it points to;
// Missing also when nothing can be told.
PathKind KindOf(const std::string& path);
// What `path` leads to, links followed; Missing also when nothing can be
// told (a dangling link, no right to look).
PathKind KindBehind(const std::string& path);
// An existing folder, links followed.
bool IsFolder(const std::string& path);
bool PathExists(const std::string& path);

// The permission bits (07777), links followed; none when unknown, and
// always none on Windows.
std::optional<uint32_t> PermissionsOf(const std::string& path);
// Whether the system keeps such bits at all (not Windows).
bool PermissionBitsExist();
// True when set, or when the system has no such bits (Windows).
bool SetPermissions(const std::string& path, uint32_t bits);

// Creates or empties the file and writes `data` into it; false with the
// reason in `error`.
bool WriteWholeFile(const std::string& path, std::string_view data, std::string& error);
// Gives `from` the name `to`, replacing a file there. Windows 95/98/Me have
// no call that replaces in one step: there the old file is deleted first.
bool RenameOver(const std::string& from, const std::string& to, std::string& error);
// Best effort, for clean-ups whose failure changes nothing.
bool RemoveFile(const std::string& path);

// Both names reach the same file (the same object, or the same full path
// for names not yet made).
bool SameFile(const std::string& a, const std::string& b);

// 16 hex digits for the name of a temporary file, unlikely to repeat in any
// process. Windows: not from std::random_device, whose library code needs a
// call that Windows 98 and NT 4.0 lack.
std::string TemporaryNameSuffix();

// The folder part of `path`; "." when it has none.
std::string FolderOf(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);
// `path` with "." and ".." worked out from its text alone.
std::string NormalPath(const std::string& path);

}  // namespace platform
