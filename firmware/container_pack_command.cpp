#include "firmware/container_pack_command.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>

#include "firmware/container_format.h"
#include "firmware/container_packer.h"

namespace {

constexpr const char* USAGE =
    "usage: zx-pack pack --exe FILE --output FILE (--part1 FILE --part2 FILE [--version V] | --container "
    "FILE "
    "| --synthetic V)\n"
    "       zx-pack inspect FILE\n"
    "       zx-pack synth --version V [--part1 FILE --part2 FILE] [--container FILE]\n"
    "V is a version such as 1.0B; its second character must be 0.\n";

using Options = std::map<std::string, std::string>;

int Refuse(std::ostream& err, const std::string& message) {
  err << "zx-pack: " << message << "\n";
  return PACK_REFUSED;
}

// "--name value" pairs, each name at most once and only from `allowed`.
std::optional<std::string> ParseOptions(const std::vector<std::string>& args,
                                        const std::set<std::string>& allowed, Options& options) {
  for (std::size_t i = 1; i < args.size(); i += 2) {
    const std::string& name = args[i];
    if (!allowed.contains(name)) return "unknown option '" + name + "' for " + args[0];
    if (i + 1 >= args.size()) return "option " + name + " needs a value";
    if (!options.emplace(name, args[i + 1]).second) return "option " + name + " given twice";
  }
  return std::nullopt;
}

std::optional<std::string> Get(const Options& options, const std::string& name) {
  const auto it = options.find(name);
  if (it == options.end()) return std::nullopt;
  return it->second;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::ostream& err) {
  const auto error = WriteFileAtomically(path, [&](std::ostream& out) {
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
  });
  if (error) Refuse(err, error->message);
  return !error;
}

// The container from two part images, with the images' own version
// characters unless `--version` replaces them in both parts.
std::optional<PackError> ContainerFromParts(const Options& o, std::vector<uint8_t>& container) {
  const auto p1 = Get(o, "--part1"), p2 = Get(o, "--part2");
  if (!p1 || !p2) return PackError{"pack needs both --part1 and --part2"};
  std::vector<uint8_t> part1, part2;
  if (auto e = ReadPartImage(*p1, 1, part1)) return e;
  if (auto e = ReadPartImage(*p2, 2, part2)) return e;
  if (const auto v = Get(o, "--version")) {
    VersionChars version{};
    if (auto e = ParseVersion(*v, version)) return e;
    SetVersionChars(part1, version);
    SetVersionChars(part2, version);
  }
  container = BuildContainer(part1, part2);
  return ValidateContainer(container);
}

std::optional<PackError> ChooseContainer(const Options& o, std::vector<uint8_t>& container) {
  const int sources = int{o.contains("--part1") || o.contains("--part2")} + int{o.contains("--container")} +
                      int{o.contains("--synthetic")};
  if (sources != 1) return PackError{"pack needs exactly one of: --part1/--part2, --container, --synthetic"};
  if (o.contains("--version") && !o.contains("--part1")) {
    return PackError{"--version applies only to --part1/--part2"};
  }
  if (const auto raw = Get(o, "--container")) return ReadRawContainer(*raw, container);
  if (const auto v = Get(o, "--synthetic")) {
    VersionChars version{};
    if (auto e = ParseVersion(*v, version)) return e;
    container = SyntheticContainer(version);
    return std::nullopt;
  }
  return ContainerFromParts(o, container);
}

int Pack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  const std::set<std::string> allowed = {"--exe",       "--output",    "--part1",  "--part2",
                                         "--container", "--synthetic", "--version"};
  if (auto e = ParseOptions(args, allowed, o)) return Refuse(err, *e);
  const auto exe = Get(o, "--exe"), output = Get(o, "--output");
  if (!exe || !output) return Refuse(err, "pack needs --exe and --output");
  std::vector<uint8_t> container;
  if (auto e = ChooseContainer(o, container)) return Refuse(err, e->message);
  if (auto e = AppendContainer(*exe, container, *output)) return Refuse(err, e->message);
  const auto fields = ParseContainer(container);
  out << "wrote " << *output << " carrying version " << CarriedVersion(fields->part1Version) << "\n";
  return PACK_OK;
}

int Synth(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  if (auto e = ParseOptions(args, {"--version", "--part1", "--part2", "--container"}, o))
    return Refuse(err, *e);
  const auto v = Get(o, "--version");
  if (!v) return Refuse(err, "synth needs --version");
  VersionChars version{};
  if (auto e = ParseVersion(*v, version)) return Refuse(err, e->message);
  const auto p1 = Get(o, "--part1"), p2 = Get(o, "--part2"), raw = Get(o, "--container");
  if (p1.has_value() != p2.has_value())
    return Refuse(err, "synth needs both --part1 and --part2, or neither");
  if (!p1 && !raw) return Refuse(err, "synth needs --part1/--part2 or --container to write to");
  if ((p1 && *p1 == *p2) || (raw && p1 && (*raw == *p1 || *raw == *p2))) {
    return Refuse(err, "every output of synth must be a different file");
  }
  // All outputs or none: a refused synth leaves none of what it wrote behind.
  std::vector<std::string> written;
  const auto write = [&](const std::string& path, const std::vector<uint8_t>& bytes) {
    if (!WriteBytes(path, bytes, err)) return false;
    written.push_back(path);
    return true;
  };
  const bool ok = (!p1 || (write(*p1, SyntheticPartData(1, version)) && write(*p2, SyntheticPartData(2, version)))) &&
                  (!raw || write(*raw, SyntheticContainer(version)));
  if (!ok) {
    std::error_code ignored;  // best effort: the refusal line has been written already
    for (const std::string& path : written) std::filesystem::remove(path, ignored);
    return PACK_REFUSED;
  }
  out << "wrote synthetic firmware version " << CarriedVersion(version) << "\n";
  return PACK_OK;
}

int Inspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) return Refuse(err, "inspect needs exactly one file");
  Inspection inspection;
  if (auto e = InspectFile(args[1], inspection)) return Refuse(err, e->message);
  PrintInspection(args[1], inspection, out);
  const bool good = inspection.verdict == Verdict::Accepted && inspection.checksumsAgree;
  return good ? PACK_OK : PACK_INSPECT_BAD;
}

}  // namespace

int RunPackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return Refuse(err, "no command given; try 'zx-pack help'");
  const std::string& command = args[0];
  if (command == "pack") return Pack(args, out, err);
  if (command == "synth") return Synth(args, out, err);
  if (command == "inspect") return Inspect(args, out, err);
  if (command == "help" || command == "--help") {
    out << USAGE;
    return PACK_OK;
  }
  return Refuse(err, "unknown command '" + command + "'; try 'zx-pack help'");
}
