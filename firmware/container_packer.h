// File-level work of the container packer: reading part images and raw
// containers, appending a container to an executable, writing outputs
// without ever leaving a half-written file, and looking inside any file that
// ends in a container. Pure standard C++, no UI: the packer tool and the
// tests use it in-process.
// Threads: any; the functions share no state (two calls must not write the
// same output path at once).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/container_file.h"
#include "firmware/container_format.h"

// What went wrong, in one line meant for the person running the packer.
// `usage` marks a command line that is malformed in itself, as opposed to
// one that names files or values the packer must refuse.
struct PackError {
  std::string message;
  bool usage = false;
};

// The version characters as text (c1 '.' c2 c3), each byte that is not
// printable ASCII, and the backslash, as \xNN.
std::string PrintableVersion(const VersionChars& version);

// True when both paths name the same file: the same device and inode (hard
// links, symbolic links, other spellings), or, for paths that do not exist
// yet, the same path once made absolute with every link resolved.
bool SameFile(const std::string& a, const std::string& b);

// "1.0B" (c1 '.' c2 c3) or "10B" (c1 c2 c3). Refuses other shapes and any
// version the program would reject (c2 not '0').
std::optional<PackError> ParseVersion(std::string_view text, VersionChars& out);

// Reads a part's data image, which must be exactly the part's data size.
std::optional<PackError> ReadPartImage(const std::string& path, int part, std::vector<uint8_t>& out);
// Reads a whole raw container file (exactly CONTAINER_SIZE bytes) and
// refuses one the program would reject, one whose part two tag is not
// "R580", or one whose stored checksums disagree with its data.
std::optional<PackError> ReadRawContainer(const std::string& path, std::vector<uint8_t>& out);
// Refuses a container the program would reject or that is malformed, as
// ReadRawContainer does, for containers built in memory.
std::optional<PackError> ValidateContainer(const std::vector<uint8_t>& container);

// Writes `path` through a temporary file in the same folder that is renamed
// into place only when everything was written and is on the storage device;
// on any failure, and when a signal ends the process (Linux, once the
// program has called platform::InstallRemovalOnSignal), the temporary file
// is removed and `path` is left as it was. `write` returns false when its own input failed. Refuses an existing
// `path` that is not a regular file (a device, FIFO, socket, folder or
// symbolic link is never replaced). A replaced file keeps its permissions;
// a new one gets `perms` (the bits 07777) when given.
std::optional<PackError> WriteFileAtomically(const std::string& path,
                                             const std::function<bool(std::ostream&)>& write,
                                             std::optional<uint32_t> perms = std::nullopt);

// Writes `output` = the bytes of `executable` followed by `container`, with
// the executable's permissions (an existing output keeps its own). Refuses
// an output that is the same file as the executable and an executable that
// already ends in a container.
std::optional<PackError> AppendContainer(const std::string& executable, const std::vector<uint8_t>& container,
                                         const std::string& output);
// The same for an executable opened already: its bytes, size and permissions
// all come from that one open file, whatever `executableName` names by now
// (a FIFO put in its place would block a second open); the name serves the
// refusal lines and the check that the output is another file.
std::optional<PackError> AppendContainer(ContainerFile& executable, const std::string& executableName,
                                         const std::vector<uint8_t>& container, const std::string& output);

// What a file ending in a container carries.
struct Inspection {
  std::size_t fileSize = 0;
  std::optional<ContainerFields> fields;  // empty when the file is shorter than a container
  RecomputedChecksums recomputed;
  Verdict verdict = Verdict::TooShort;
  bool checksumsAgree = false;
};
std::optional<PackError> InspectFile(const std::string& path, Inspection& out);
// The inspection as lines of text, with a clear warning for every stored
// checksum that disagrees with its data.
void PrintInspection(const std::string& path, const Inspection& inspection, std::ostream& out);
