// A file opened once for reading and then known only by its open handle.
//
// Why once: a file checked by its path and then opened again by that path
// may have been swapped in between (a FIFO, on which a read blocks forever).
// The open never waits (non-blocking on Linux, so a FIFO without a writer
// does not hold it up), and the kind of file is checked on the open handle:
// anything but a regular file leaves the object closed.
// Windows (platform/win32/win32_read_only_file.cpp): opened shared for
// reading, kept only when the system calls it a disk file.
// Threads: one object per thread; the handle is closed when the object goes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace platform {

class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::string& path);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool IsOpen() const { return handle_ != CLOSED; }
  // Length in bytes, measured on the open handle when it was opened.
  uint64_t Size() const { return size_; }
  // The permission bits (07777) on the open handle; unknown on Windows,
  // where a file has no such bits of its own.
  std::optional<uint32_t> Permissions() const { return permissions_; }
  // Fills `out` from `offset` on; false unless every byte was read.
  bool ReadAt(uint64_t offset, std::span<uint8_t> out);

 private:
  static constexpr std::intptr_t CLOSED = -1;
  std::intptr_t handle_ = CLOSED;
  uint64_t size_ = 0;
  std::optional<uint32_t> permissions_;
};

}  // namespace platform
