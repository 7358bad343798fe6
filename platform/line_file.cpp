#include "platform/line_file.h"

#include <cerrno>
#include <cstring>

#include "platform/path_ops.h"

namespace platform {

namespace {

std::string Reason(int error) { return error != 0 ? std::strerror(error) : "write failed"; }

}  // namespace

LineFile::~LineFile() { Close(); }

bool LineFile::Open(const std::string& path, std::string& error) {
  Close();
  failed_ = false;
  // Only a regular file, or a new one: a device named by mistake (a disk,
  // a SCSI generic node) must never receive the lines, and a FIFO without a
  // reader would hold the program at its start.
  const PathKind kind = KindBehind(path);
  if (kind != PathKind::Missing && kind != PathKind::Regular) {
    error = "it is there and is not a regular file";
    return false;
  }
  errno = 0;
  // Binary: the same bytes on every system, one "\n" per line.
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    error = Reason(errno);
    return false;
  }
  return true;
}

bool LineFile::WriteLine(std::string_view line, std::string& error) {
  if (file_ == nullptr || failed_) {
    error = "not open";
    return false;
  }
  errno = 0;
  const bool written = std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
                       std::fputc('\n', file_) != EOF && std::fflush(file_) == 0;
  if (!written) {
    failed_ = true;
    error = Reason(errno);
  }
  return written;
}

void LineFile::Close() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
}

}  // namespace platform
