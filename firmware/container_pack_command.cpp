#include "firmware/container_pack_command.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "firmware/container_format.h"
#include "firmware/container_packer.h"
#include "firmware/staged_output.h"

namespace {

constexpr const char* USAGE =
    "usage: zx-pack pack --exe FILE --output FILE (--part1 FILE --part2 FILE [--version V]\n"
    "                    | --container FILE | --synthetic V)\n"
    "       zx-pack inspect FILE\n"
    "       zx-pack synth --version V [--part1 FILE --part2 FILE] [--container FILE]\n"
    "       zx-pack help | --help | -h | --version\n"
    "       zx-pack COMMAND --help (or -h): that command's own help\n"
    "V is a version such as 1.0B; its second character must be 0.\n"
    "The output of pack and synth is written whole or not at all; it must not be\n"
    "any of the input files, and an existing output must be a regular file.\n"
    "Exit status: 0 done (inspect: the utility would accept the file and its\n"
    "checksums agree); 1 refused or failed, nothing written (inspect: unreadable,\n"
    "rejected or checksum mismatch); 2 malformed command line; 3 done, but\n"
    "standard output could not be written (a full disk, a closed pipe). Every\n"
    "refusal is one line on standard error.\n";

constexpr const char* PACK_HELP =
    "usage: zx-pack pack --exe FILE --output FILE (--part1 FILE --part2 FILE [--version V]\n"
    "                    | --container FILE | --synthetic V)\n"
    "Writes --output: the bytes of --exe followed by a firmware container made\n"
    "from two part images (part one 503,806 bytes, part two 131,070 bytes;\n"
    "--version replaces the version characters of both), taken whole from a raw\n"
    "container file, or made up as demonstration firmware (--synthetic, never for\n"
    "a real drive). A container the utility would reject is refused, and so is\n"
    "an executable that already ends in one. The output is written whole or not\n"
    "at all; a new one gets the executable's permissions, a replaced one keeps\n"
    "its own.\n";

constexpr const char* INSPECT_HELP =
    "usage: zx-pack inspect FILE\n"
    "Shows the carried version, both stored and recomputed checksums, both tags,\n"
    "and whether the utility would accept the file, on standard output. Exit\n"
    "status 0 when it would and both checksums agree with their data; otherwise\n"
    "1, with one line on standard error saying why.\n";

constexpr const char* SYNTH_HELP =
    "usage: zx-pack synth --version V [--part1 FILE --part2 FILE] [--container FILE]\n"
    "Writes demonstration part images (--part1, --part2) and/or a raw container\n"
    "(--container) carrying version V; never for a real drive. All of them are\n"
    "written, or none: each is checked and written beside its name before any\n"
    "is renamed into place, and a failure leaves every existing one as it was.\n";

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

using Options = std::map<std::string, std::string>;

int Refuse(std::ostream& err, const std::string& message) {
  err << "zx-pack: " << message << "\n";
  return PACK_REFUSED;
}

int Usage(std::ostream& err, const std::string& message) {
  err << "zx-pack: " << message << " (see zx-pack --help)\n";
  return PACK_USAGE;
}

int Refuse(std::ostream& err, const PackError& error) {
  return error.usage ? Usage(err, error.message) : Refuse(err, error.message);
}

struct NamedFile {
  const char* option;
  std::string path;
};

// The first two of `files` that are the same file, as a refusal line.
std::optional<std::string> SameFileAmong(const std::vector<NamedFile>& files) {
  for (std::size_t i = 0; i < files.size(); ++i)
    for (std::size_t j = i + 1; j < files.size(); ++j)
      if (SameFile(files[i].path, files[j].path))
        return std::string(files[j].option) + " '" + files[j].path + "' is the same file as " + files[i].option +
               " '" + files[i].path + "'; they must be different files";
  return std::nullopt;
}

// Those of `names` that were given, in that order.
std::vector<NamedFile> Given(const std::map<std::string, std::string>& o, std::vector<const char*> names) {
  std::vector<NamedFile> files;
  for (const char* name : names)
    if (const auto it = o.find(name); it != o.end()) files.push_back({name, it->second});
  return files;
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

// Writes `bytes` as the output `path`: staged only, renamed by the caller.
std::optional<PackError> StageBytes(StagedOutput& output, const std::string& path,
                                    const std::vector<uint8_t>& bytes) {
  return output.Stage(path, [&](std::ostream& out) {
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
  });
}

// The container from two part images, with the images' own version
// characters unless `--version` replaces them in both parts.
std::optional<PackError> ContainerFromParts(const Options& o, std::vector<uint8_t>& container) {
  const auto p1 = Get(o, "--part1"), p2 = Get(o, "--part2");
  if (!p1 || !p2) return PackError{"pack needs both --part1 and --part2", true};
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
  if (sources != 1) return PackError{"pack needs exactly one of: --part1/--part2, --container, --synthetic", true};
  if (o.contains("--version") && !o.contains("--part1")) {
    return PackError{"--version applies only to --part1/--part2", true};
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
  if (auto e = ParseOptions(args, allowed, o)) return Usage(err, *e);
  const auto exe = Get(o, "--exe"), output = Get(o, "--output");
  if (!exe || !output) return Usage(err, "pack needs --exe and --output");
  // The output replaces a file: never one of the inputs, which would be lost.
  if (auto same = SameFileAmong(Given(o, {"--output", "--exe", "--part1", "--part2", "--container"})))
    return Refuse(err, *same);
  std::vector<uint8_t> container;
  if (auto e = ChooseContainer(o, container)) return Refuse(err, *e);
  if (auto e = AppendContainer(*exe, container, *output)) return Refuse(err, *e);
  const auto fields = ParseContainer(container);
  out << "wrote " << *output << " carrying version " << PrintableVersion(fields->part1Version) << "\n";
  return PACK_OK;
}

int Synth(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  if (auto e = ParseOptions(args, {"--version", "--part1", "--part2", "--container"}, o))
    return Usage(err, *e);
  const auto v = Get(o, "--version");
  if (!v) return Usage(err, "synth needs --version");
  VersionChars version{};
  if (auto e = ParseVersion(*v, version)) return Refuse(err, *e);
  const auto p1 = Get(o, "--part1"), p2 = Get(o, "--part2"), raw = Get(o, "--container");
  if (p1.has_value() != p2.has_value()) return Usage(err, "synth needs both --part1 and --part2, or neither");
  if (!p1 && !raw) return Usage(err, "synth needs --part1/--part2 or --container to write to");
  if (auto same = SameFileAmong(Given(o, {"--part1", "--part2", "--container"}))) return Refuse(err, *same);
  // All outputs or none: every one is checked, then written beside its
  // name, before any is renamed; a failure takes only the staged files with
  // it, and every existing output keeps its old contents.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> outputs;
  if (p1) {
    outputs.emplace_back(*p1, SyntheticPartData(1, version));
    outputs.emplace_back(*p2, SyntheticPartData(2, version));
  }
  if (raw) outputs.emplace_back(*raw, SyntheticContainer(version));
  for (const auto& [path, bytes] : outputs)
    if (auto e = StagedOutput::Check(path)) return Refuse(err, *e);
  std::vector<StagedOutput> staged(outputs.size());
  for (std::size_t i = 0; i < outputs.size(); ++i)
    if (auto e = StageBytes(staged[i], outputs[i].first, outputs[i].second)) return Refuse(err, *e);
  for (StagedOutput& output : staged)
    if (auto e = output.Commit()) return Refuse(err, *e);
  out << "wrote synthetic firmware version " << PrintableVersion(version) << "\n";
  return PACK_OK;
}

// The one line that says why an inspected file is no good; empty when it is.
std::string InspectionRefusal(const std::string& path, const Inspection& inspection) {
  std::string why;
  switch (inspection.verdict) {
    case Verdict::TooShort:
      why = "is shorter than a container";
      break;
    case Verdict::WrongTag:
      why = "carries a part one tag other than \"R580\"";
      break;
    case Verdict::WrongVersion:
      why = "carries a version whose second character is not '0'";
      break;
    case Verdict::Accepted:
      break;
  }
  if (inspection.fields && !inspection.checksumsAgree)
    why += std::string(why.empty() ? "" : ", and ") + "has a stored checksum that disagrees with its data";
  if (why.empty()) return {};
  const bool rejected = inspection.verdict != Verdict::Accepted;
  return "'" + path + "' " + why + (rejected ? "; the utility would reject it" : "; the drive would refuse it");
}

int Inspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) return Usage(err, "inspect needs exactly one file");
  Inspection inspection;
  if (auto e = InspectFile(args[1], inspection)) return Refuse(err, *e);
  PrintInspection(args[1], inspection, out);
  const std::string refusal = InspectionRefusal(args[1], inspection);
  return refusal.empty() ? PACK_OK : Refuse(err, refusal);
}

const char* CommandHelp(const std::string& command) {
  if (command == "pack") return PACK_HELP;
  if (command == "synth") return SYNTH_HELP;
  if (command == "inspect") return INSPECT_HELP;
  return nullptr;
}

}  // namespace

int RunPackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return Usage(err, "no command given");
  const std::string& command = args[0];
  if (command == "help" || IsHelp(command)) {
    out << USAGE;
    return PACK_OK;
  }
  // A command's help wins over the rest of its line, which may be half written.
  if (const char* help = CommandHelp(command); help && std::any_of(args.begin() + 1, args.end(), IsHelp)) {
    out << help;
    return PACK_OK;
  }
  if (command == "pack") return Pack(args, out, err);
  if (command == "synth") return Synth(args, out, err);
  if (command == "inspect") return Inspect(args, out, err);
  return Usage(err, "unknown command '" + command + "'");
}

const char* PackUsage() { return USAGE; }
