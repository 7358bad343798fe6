// A text file written line by line, each line handed to the system as soon
// as it is complete, so a crash of the program keeps every line written
// before it. Built on the C library's streams, the same on every system.
//
// Open() creates or empties the file; a path that cannot be opened, or that
// names anything but a regular file (a device, a FIFO, a folder), leaves the
// object closed with the reason. After the first failed write every
// later write fails at once: a file that lost a line must not go on as if
// it had not.
// Threads: one thread at a time (the owner serialises).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// Where lines go, one at a time.
class LineSink {
 public:
  virtual ~LineSink() = default;
  // Writes `line` and a line end; false, with the reason in `error`, when
  // any of it did not reach the system.
  virtual bool WriteLine(std::string_view line, std::string& error) = 0;
};

class LineFile final : public LineSink {
 public:
  LineFile() = default;
  ~LineFile();
  LineFile(const LineFile&) = delete;
  LineFile& operator=(const LineFile&) = delete;

  // False, with the reason in `error`, when the file cannot be created.
  bool Open(const std::string& path, std::string& error);
  bool IsOpen() const { return file_ != nullptr; }
  // Writes `line` and a line end and flushes them.
  bool WriteLine(std::string_view line, std::string& error) override;
  void Close();

 private:
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace platform
