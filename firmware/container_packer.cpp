#include "firmware/container_packer.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "firmware/container_file.h"
#include "firmware/staged_output.h"
#include "platform/path_ops.h"

namespace {

PackError Error(std::string message) { return PackError{std::move(message)}; }

std::string Hex(const ChecksumBytes& sum) {
  char text[5];
  std::snprintf(text, sizeof text, "%02x%02x", sum[0], sum[1]);
  return text;
}

// Tag and version bytes shown as text; anything unprintable as \xNN.
template <std::size_t N>
std::string Printable(const std::array<uint8_t, N>& bytes) {
  std::string text;
  for (uint8_t b : bytes) {
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      text += static_cast<char>(b);
    } else {
      char esc[5];
      std::snprintf(esc, sizeof esc, "\\x%02x", b);
      text += esc;
    }
  }
  return text;
}

// Reads a file that must be exactly `size` bytes long.
std::optional<PackError> ReadExact(const std::string& path, std::size_t size, const std::string& what,
                                   std::vector<uint8_t>& out) {
  ContainerFile file(path);
  if (!file.IsOpen()) return Error("cannot read " + what + " '" + path + "': missing or not a regular file");
  if (file.Size() != size) {
    return Error(what + " '" + path + "' is " + std::to_string(file.Size()) + " bytes; it must be exactly " +
                 std::to_string(size));
  }
  out.assign(size, 0);
  if (!file.ReadFromEnd(size, out)) return Error("cannot read " + what + " '" + path + "': read failed");
  return std::nullopt;
}

// Copies the whole of `in`, as long as it was when opened.
bool CopyWhole(ContainerFile& in, std::ostream& out) {
  std::vector<uint8_t> chunk(std::size_t{1} << 16);
  for (std::size_t left = in.Size(); left > 0;) {
    const std::size_t n = std::min(left, chunk.size());
    if (!in.ReadFromEnd(left, std::span(chunk.data(), n))) return false;
    if (!out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(n))) return false;
    left -= n;
  }
  return true;
}

}  // namespace

std::string PrintableVersion(const VersionChars& v) {
  return Printable(std::array<uint8_t, 4>{v[0], '.', v[1], v[2]});
}

bool SameFile(const std::string& a, const std::string& b) { return platform::SameFile(a, b); }

std::optional<PackError> ParseVersion(std::string_view text, VersionChars& out) {
  if (text.size() == 4 && text[1] == '.') {
    out = {static_cast<uint8_t>(text[0]), static_cast<uint8_t>(text[2]), static_cast<uint8_t>(text[3])};
  } else if (text.size() == 3) {
    out = {static_cast<uint8_t>(text[0]), static_cast<uint8_t>(text[1]), static_cast<uint8_t>(text[2])};
  } else {
    return PackError{"version '" + std::string(text) + "' must look like 1.0B (or 10B)", true};
  }
  if (!VersionAccepted(out)) {
    return Error("version '" + std::string(text) + "' would be rejected: its second character must be '0'");
  }
  return std::nullopt;
}

std::optional<PackError> ReadPartImage(const std::string& path, int part, std::vector<uint8_t>& out) {
  const std::size_t size = part == 1 ? PART1_DATA_SIZE : PART2_DATA_SIZE;
  return ReadExact(path, size, part == 1 ? "part one image" : "part two image", out);
}

std::optional<PackError> ValidateContainer(const std::vector<uint8_t>& container) {
  const auto fields = ParseContainer(container);
  if (container.size() != CONTAINER_SIZE || !fields) {
    return Error("a container must be exactly " + std::to_string(CONTAINER_SIZE) + " bytes");
  }
  switch (Judge(*fields)) {
    case Verdict::WrongTag:
      return Error("part one tag '" + Printable(fields->part1Tag) +
                   "' is not \"R580\"; the utility would reject it");
    case Verdict::WrongVersion:
      return Error("carried version '" + PrintableVersion(fields->part1Version) +
                   "' would be rejected: its second character must be '0'");
    case Verdict::TooShort:
    case Verdict::Accepted:
      break;
  }
  if (!TagAccepted(fields->part2Tag)) {
    return Error("part two tag '" + Printable(fields->part2Tag) + "' is not \"R580\"");
  }
  const RecomputedChecksums sums = RecomputeChecksums(container);
  if (sums.part1 != fields->part1Checksum || sums.part2 != fields->part2Checksum) {
    return Error("stored checksums " + Hex(fields->part1Checksum) + "/" + Hex(fields->part2Checksum) +
                 " disagree with the data (" + Hex(sums.part1) + "/" + Hex(sums.part2) + ")");
  }
  return std::nullopt;
}

std::optional<PackError> ReadRawContainer(const std::string& path, std::vector<uint8_t>& out) {
  if (auto error = ReadExact(path, CONTAINER_SIZE, "container", out)) return error;
  if (auto error = ValidateContainer(out)) return Error("container '" + path + "': " + error->message);
  return std::nullopt;
}

std::optional<PackError> WriteFileAtomically(const std::string& path,
                                             const std::function<bool(std::ostream&)>& write,
                                             std::optional<uint32_t> perms) {
  StagedOutput output;
  if (auto error = output.Stage(path, write, perms)) return error;
  return output.Commit();
}

std::optional<PackError> AppendContainer(const std::string& executable, const std::vector<uint8_t>& container,
                                         const std::string& output) {
  ContainerFile exe(executable);
  return AppendContainer(exe, executable, container, output);
}

std::optional<PackError> AppendContainer(ContainerFile& exe, const std::string& executable,
                                         const std::vector<uint8_t>& container, const std::string& output) {
  if (auto error = ValidateContainer(container)) return error;
  if (SameFile(executable, output)) {
    return Error("output '" + output + "' is the same file as the executable; choose another output path");
  }
  if (!exe.IsOpen())
    return Error("cannot read executable '" + executable + "': missing or not a regular file");
  if (exe.Size() >= CONTAINER_SIZE) {
    std::vector<uint8_t> tail(CONTAINER_SIZE);
    if (!exe.ReadFromEnd(CONTAINER_SIZE, tail)) return Error("cannot read executable '" + executable + "'");
    const auto fields = ParseContainer(tail);
    if (TagAccepted(fields->part1Tag) && TagAccepted(fields->part2Tag)) {
      return Error("executable '" + executable + "' already ends in a firmware container; pack the bare one");
    }
  }
  const auto write = [&](std::ostream& out) {
    if (!CopyWhole(exe, out)) return false;
    out.write(reinterpret_cast<const char*>(container.data()),
              static_cast<std::streamsize>(container.size()));
    return static_cast<bool>(out);
  };
  std::optional<uint32_t> perms = exe.Permissions();
  if (!perms) perms = platform::PermissionsOf(executable);
  if (!perms && platform::PermissionBitsExist())
    return Error("cannot read the permissions of executable '" + executable + "'");
  return WriteFileAtomically(output, write, perms);
}

std::optional<PackError> InspectFile(const std::string& path, Inspection& out) {
  ContainerFile file(path);
  if (!file.IsOpen()) return Error("cannot read '" + path + "': missing or not a regular file");
  out = Inspection{};
  out.fileSize = file.Size();
  if (out.fileSize < CONTAINER_SIZE) return std::nullopt;
  std::vector<uint8_t> tail(CONTAINER_SIZE);
  if (!file.ReadFromEnd(CONTAINER_SIZE, tail)) return Error("cannot read '" + path + "': read failed");
  out.fields = ParseContainer(tail);
  out.recomputed = RecomputeChecksums(tail);
  out.verdict = Judge(*out.fields);
  out.checksumsAgree =
      out.recomputed.part1 == out.fields->part1Checksum && out.recomputed.part2 == out.fields->part2Checksum;
  return std::nullopt;
}

namespace {

void PrintChecksum(const char* part, const ChecksumBytes& stored, const ChecksumBytes& recomputed,
                   std::ostream& out) {
  out << part << " checksum: stored " << Hex(stored) << ", recomputed " << Hex(recomputed) << "\n";
  if (stored != recomputed) {
    out << "WARNING: " << part << " checksum mismatch: stored " << Hex(stored) << " but the data sums to "
        << Hex(recomputed) << "; the drive would refuse this part\n";
  }
}

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::Accepted:
      return "accepted";
    case Verdict::TooShort:
      return "rejected (Incorrect file): shorter than a container";
    case Verdict::WrongTag:
      return "rejected (Incorrect file): part one tag is not \"R580\"";
    case Verdict::WrongVersion:
      return "rejected (Incorrect file): second version character is not '0'";
  }
  return "rejected";
}

}  // namespace

void PrintInspection(const std::string& path, const Inspection& inspection, std::ostream& out) {
  out << "file: " << path << " (" << inspection.fileSize << " bytes)\n";
  if (inspection.fields) {
    const ContainerFields& f = *inspection.fields;
    out << "carried version: " << PrintableVersion(f.part1Version) << "\n";
    out << "part two version: " << PrintableVersion(f.part2Version) << " (not examined by the utility)\n";
    PrintChecksum("part one", f.part1Checksum, inspection.recomputed.part1, out);
    PrintChecksum("part two", f.part2Checksum, inspection.recomputed.part2, out);
    out << "part one tag: " << Printable(f.part1Tag) << "\n";
    out << "part two tag: " << Printable(f.part2Tag) << (TagAccepted(f.part2Tag) ? "" : " (not \"R580\")")
        << "\n";
  }
  out << "utility would say: " << VerdictText(inspection.verdict) << "\n";
}
