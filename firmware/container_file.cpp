#include "firmware/container_file.h"

#include <limits>

ContainerFile::ContainerFile(const std::string& path) : file_(path) {
  // A file too large to address here is none to read a container from.
  if (file_.Size() <= std::numeric_limits<std::size_t>::max()) size_ = static_cast<std::size_t>(file_.Size());
}

bool ContainerFile::ReadFromEnd(std::size_t fromEnd, std::span<uint8_t> out) {
  if (!IsOpen() || fromEnd > size_ || out.size() > fromEnd) return false;
  return file_.ReadAt(size_ - fromEnd, out);
}
