#include "platform/path_ops.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

namespace {

PathKind KindFrom(const fs::file_status& status, const std::error_code& ec) {
  if (ec) return PathKind::Missing;
  switch (status.type()) {
    case fs::file_type::regular:
      return PathKind::Regular;
    case fs::file_type::directory:
      return PathKind::Folder;
    case fs::file_type::symlink:
      return PathKind::SymbolicLink;
    case fs::file_type::fifo:
      return PathKind::Fifo;
    case fs::file_type::socket:
      return PathKind::Socket;
    case fs::file_type::block:
    case fs::file_type::character:
      return PathKind::Device;
    case fs::file_type::not_found:
    case fs::file_type::none:
      return PathKind::Missing;
    default:
      return PathKind::Other;
  }
}

}  // namespace

PathKind KindOf(const std::string& path) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  return KindFrom(status, ec);
}

PathKind KindBehind(const std::string& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  return KindFrom(status, ec);
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

bool PathExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

bool PermissionBitsExist() { return true; }

std::optional<uint32_t> PermissionsOf(const std::string& path) {
  std::error_code ec;
  const fs::perms perms = fs::status(path, ec).permissions();
  if (ec || perms == fs::perms::unknown) return std::nullopt;
  return static_cast<uint32_t>(perms & fs::perms::mask);
}

bool SetPermissions(const std::string& path, uint32_t bits) {
  std::error_code ec;
  fs::permissions(path, static_cast<fs::perms>(bits) & fs::perms::mask, ec);
  return !ec;
}

bool WriteWholeFile(const std::string& path, std::string_view data, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
  if (!written) error = std::strerror(errno);
  if (std::fclose(file) != 0 && written) {
    error = std::strerror(errno);
    return false;
  }
  return written;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& error) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (ec) error = ec.message();
  return !ec;
}

bool RemoveFile(const std::string& path) {
  std::error_code ec;
  return fs::remove(path, ec);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec) && !ec) return true;
  std::error_code ecA, ecB;
  const fs::path resolvedA = fs::weakly_canonical(fs::absolute(a, ecA), ecA);
  const fs::path resolvedB = fs::weakly_canonical(fs::absolute(b, ecB), ecB);
  return !ecA && !ecB && resolvedA == resolvedB;
}

std::string TemporaryNameSuffix() {
  std::random_device random;
  const uint64_t suffix = (uint64_t{random()} << 32) | random();
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(suffix));
  return hex;
}

std::string FolderOf(const std::string& path) {
  const fs::path folder = fs::path(path).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  return (fs::path(folder) / name).string();
}

std::string NormalPath(const std::string& path) { return fs::path(path).lexically_normal().string(); }

}  // namespace platform
