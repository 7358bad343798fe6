#include "firmware/container_file.h"

#include <filesystem>
#include <system_error>

ContainerFile::ContainerFile(const std::string& path) {
  if (path.empty()) return;
  std::error_code ec;
  // A directory opens as a stream on some systems and then fails every read;
  // it is no file to read a container from.
  if (!std::filesystem::is_regular_file(path, ec) || ec) return;
  stream_.open(path, std::ios::binary | std::ios::in);
  if (!stream_.is_open()) return;
  stream_.seekg(0, std::ios::end);
  const std::streamoff end = stream_.tellg();
  if (!stream_ || end < 0) return;
  size_ = static_cast<std::size_t>(end);
  open_ = true;
}

bool ContainerFile::ReadFromEnd(std::size_t fromEnd, std::span<uint8_t> out) {
  if (!open_ || fromEnd > size_ || out.size() > fromEnd) return false;
  stream_.clear();
  stream_.seekg(static_cast<std::streamoff>(size_ - fromEnd), std::ios::beg);
  if (!stream_) return false;
  stream_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return stream_.gcount() == static_cast<std::streamsize>(out.size());
}
