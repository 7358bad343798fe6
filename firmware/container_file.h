// A file opened for reading as bytes and read at positions counted back from
// its end, which is how a container appended to a file is addressed. Reads
// never leave the file: a read that would reach before its first byte fails
// instead of touching anything.
// Threads: one object per thread; the file is closed when the object goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/read_only_file.h"

class ContainerFile {
 public:
  // Opens `path` once; anything that is not a readable regular file (a
  // missing path, an empty path, a directory, a device, a FIFO) leaves the
  // object closed. Every read goes to the file opened here, whatever the
  // path names afterwards.
  explicit ContainerFile(const std::string& path);
  ContainerFile(const ContainerFile&) = delete;
  ContainerFile& operator=(const ContainerFile&) = delete;

  bool IsOpen() const { return file_.IsOpen(); }
  // Length in bytes, as measured when the file was opened.
  std::size_t Size() const { return size_; }
  // The file's permission bits as of the open, where the system has them.
  std::optional<uint32_t> Permissions() const { return file_.Permissions(); }
  // Fills `out` from the byte `fromEnd` bytes before the end onwards. False
  // when the range does not lie wholly inside the file or the read fails.
  bool ReadFromEnd(std::size_t fromEnd, std::span<uint8_t> out);

 private:
  platform::ReadOnlyFile file_;
  std::size_t size_ = 0;
};
