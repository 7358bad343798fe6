#include "app/entry/demo_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string_view>

#include "emulator/trace_reader.h"
#include "platform/path_ops.h"
#include "transport/command_trace.h"

namespace demo {

namespace {

using Setter = std::function<std::string(std::string_view value, DemoOptions& options)>;

bool AllDigits(std::string_view text, int base) {
  if (text.empty()) return false;
  for (const char c : text) {
    const bool digit = c >= '0' && c <= '9';
    const bool hex = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!digit && !(base == 16 && hex)) return false;
  }
  return true;
}

// Digits only, no sign or blanks, within [min, max].
template <typename T>
bool ParseWhole(std::string_view text, int base, T min, T max, T& out) {
  if (!AllDigits(text, base)) return false;
  T value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) return false;
  out = value;
  return true;
}

// The virtual library takes its settings as one ';'-separated text.
bool FitsModuleConfig(std::string_view text) { return text.find(';') == std::string_view::npos; }

std::string SetDrives(std::string_view value, DemoOptions& o) {
  if (ParseWhole(value, 10, 0, MAX_DRIVES, o.drives)) return {};
  return "--drives takes a whole number from 0 to " + std::to_string(MAX_DRIVES);
}

std::string SetRevision(std::string_view value, DemoOptions& o) {
  bool printable = value.size() == 4 && FitsModuleConfig(value);
  for (const char c : value) printable = printable && c >= 0x20 && c <= 0x7E;
  if (!printable) return "--revision takes exactly 4 printable ASCII characters other than ';', such as 1.0A";
  o.revision = std::string(value);
  return {};
}

std::string SetFamily(std::string_view value, DemoOptions& o) {
  if (value == "nt")
    o.family = Family::Nt;
  else if (value == "9x")
    o.family = Family::Win9x;
  else
    return "--family takes nt or 9x";
  return {};
}

std::string SetLanguage(std::string_view value, DemoOptions& o) {
  if (value == "en")
    o.language = Language::English;
  else if (value == "ja")
    o.language = Language::Japanese;
  else
    return "--language takes en or ja";
  return {};
}

std::string SetLatencyScale(std::string_view value, DemoOptions& o) {
  double scale = 0;
  const bool plain = !value.empty() && value.find_first_not_of("0123456789.") == std::string_view::npos;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), scale);
  if (!plain || ec != std::errc() || end != value.data() + value.size() || !std::isfinite(scale) ||
      scale > MAX_LATENCY_SCALE)
    return "--latency-scale takes a number from 0 to 100 (0: no latency)";
  o.latencyScale = scale;
  return {};
}

// KIND:N:SENSE
std::string SetFailure(std::string_view value, DemoOptions& o) {
  const std::string bad =
      "--fail takes KIND:N:SENSE, KIND one of flash-on, flash-off, upload, verify, erase, erase-unit, "
      "program, read, inquiry, N from 1, SENSE one or two hex digits";
  const std::size_t first = value.find(':');
  const std::size_t second = first == std::string_view::npos ? first : value.find(':', first + 1);
  if (second == std::string_view::npos) return bad;
  const auto kind = emulator::ParseCommandKind(value.substr(0, first));
  DemoFailure failure;
  const std::string_view sense = value.substr(second + 1);
  if (!kind ||
      !ParseWhole<uint32_t>(value.substr(first + 1, second - first - 1), 10, 1, UINT32_MAX, failure.nth) ||
      sense.size() > 2 || !ParseWhole<uint8_t>(sense, 16, 0, 0xFF, failure.senseByte2))
    return bad;
  failure.kind = *kind;
  o.failures.push_back(failure);
  return {};
}

std::string SetPath(std::string_view value, std::string& path, const char* option) {
  if (value.empty() || !FitsModuleConfig(value)) return std::string(option) + " takes a path without ';'";
  path = std::string(value);
  return {};
}

const std::map<std::string_view, Setter>& Setters() {
  static const std::map<std::string_view, Setter> setters = {
      {"--drives", SetDrives},
      {"--revision", SetRevision},
      {"--family", SetFamily},
      {"--language", SetLanguage},
      {"--latency-scale", SetLatencyScale},
      {"--fail", SetFailure},
      {"--command-log",
       [](std::string_view v, DemoOptions& o) { return SetPath(v, o.commandLog, "--command-log"); }},
      {"--dump-flash",
       [](std::string_view v, DemoOptions& o) { return SetPath(v, o.dumpDir, "--dump-flash"); }},
      {"--replay", [](std::string_view v, DemoOptions& o) { return SetPath(v, o.replay, "--replay"); }},
      {"--trace",
       [](std::string_view v, DemoOptions& o) {
         if (v.empty()) return std::string("--trace takes a path");
         o.trace = std::string(v);
         return std::string();
       }},
  };
  return setters;
}

}  // namespace

DemoParse ParseDemoOptions(const std::vector<std::string>& args) {
  DemoParse parse;
  for (std::size_t i = 0; i < args.size() && parse.error.empty(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      parse.options.help = true;
      continue;
    }
    if (arg == "--auto-flash") {
      parse.options.autoFlash = true;
      continue;
    }
    if (arg == "--version") {
      parse.options.version = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string_view name = arg.substr(0, eq);
    const auto setter = Setters().find(name);
    if (setter == Setters().end()) {
      parse.error = "unknown option " + std::string(arg) + " (see --help)";
    } else if (eq != std::string_view::npos) {
      parse.error = setter->second(arg.substr(eq + 1), parse.options);
    } else if (i + 1 >= args.size()) {
      parse.error = std::string(name) + " needs a value";
    } else {
      parse.error = setter->second(args[++i], parse.options);
    }
  }
  return parse;
}

namespace {

// The file this run's trace goes to: --trace, else the variable's; empty: none.
std::string TraceOutput(const DemoOptions& options) {
  if (!options.trace.empty()) return options.trace;
  const char* named = std::getenv(TRACE_VARIABLE);
  return named == nullptr ? std::string() : std::string(named);
}

// Reads the trace to replay into `files`; empty, or the refusal.
std::string ReadReplay(const DemoOptions& options, const std::string& trace, DemoFiles& files) {
  if (!trace.empty() && platform::SameFile(options.replay, trace))
    return "--replay: " + options.replay + " is where this run's trace goes too (--trace or " +
           TRACE_VARIABLE + "), which would empty it; give the trace another file";
  auto text = std::make_shared<std::string>();
  std::string error;
  if (!emulator::ReadTraceText(options.replay, *text, error) ||
      emulator::ParseTrace(*text, options.replay, error).empty())
    return "--replay: " + error;
  files.replayText = std::move(text);
  return {};
}

// Touches nothing: a FIFO is only opened, without waiting, and held.
std::string CheckCommandLog(const DemoOptions& options, const std::string& trace, DemoFiles& files) {
  const std::string& log = options.commandLog;
  if (!trace.empty() && platform::SameFile(log, trace))
    return "--command-log: " + log + " is where this run's trace goes too; give the log another file";
  if (!options.replay.empty() && platform::SameFile(log, options.replay))
    return "--command-log: " + log + " is the trace to replay; give the log another file";
  const platform::PathKind behind = platform::KindBehind(log);
  if (behind == platform::PathKind::Fifo) {
    files.commandLogHold = std::make_unique<platform::FifoHold>(log);
    if (!files.commandLogHold->HasReader())
      return "--command-log: " + log + " is a FIFO that nobody reads; start its reader first";
  } else if (platform::KindOf(log) == platform::PathKind::SymbolicLink &&
             behind != platform::PathKind::Device) {
    return "--command-log: " + log +
           " is a symbolic link, whose target the log would empty; name the file itself";
  }
  return {};
}

}  // namespace

DemoFiles PrepareDemoFiles(const DemoOptions& options) {
  // Every check that touches nothing comes first, so that a refusal leaves
  // an existing command log as it was.
  DemoFiles files;
  const std::string trace = TraceOutput(options);
  if (!options.dumpDir.empty() && !platform::IsFolder(options.dumpDir))
    files.error = "--dump-flash: " + options.dumpDir + " is not an existing folder";
  if (files.error.empty() && !options.replay.empty()) files.error = ReadReplay(options, trace, files);
  if (files.error.empty() && !options.commandLog.empty())
    files.error = CheckCommandLog(options, trace, files);
  if (files.error.empty() && !options.commandLog.empty()) {
    // Appending: made when absent, never emptied here. The drives empty it
    // as they start, once nothing can refuse the command line any more.
    std::FILE* log = std::fopen(options.commandLog.c_str(), "ab");
    if (log == nullptr)
      files.error = "--command-log: cannot create " + options.commandLog;
    else
      std::fclose(log);
  }
  return files;
}

std::string DemoUsage() {
  return "Usage: zorvex-flash-demo [options]\n"
         "The Zorvex flash utility in front of virtual RT-5800B drives, with demonstration firmware 1.0B.\n"
         "  --drives N             virtual drives on consecutive drive letters from D: (0-10, default 1)\n"
         "  --revision R           the drives' firmware revision, 4 characters (default 1.0A)\n"
         "  --family nt|9x         pass-through back-end (nt) or the loadable ASPI library (9x)\n"
         "                         (default: the system's own family; nt on Linux)\n"
         "  --language en|ja       the system default language reported (default: from the locale)\n"
         "  --latency-scale X      drive latencies times X (default 1, a run takes about 22 s; 0: none)\n"
         "  --fail KIND:N:SENSE    the N-th KIND command fails with sense byte 2 = SENSE (hex);\n"
         "                         KIND: flash-on flash-off upload verify erase erase-unit program read\n"
         "                         inquiry; may be given more than once; applies to every drive\n"
         "  --command-log FILE     one line per command any virtual drive receives (not either trace,\n"
         "                         a FIFO nobody reads or a symbolic link to a file)\n"
         "  --dump-flash DIR       at exit, DIR/unit0.bin and DIR/unit1.bin of the drive on adapter 0\n"
         "                         (both whole or neither)\n"
         "  --trace FILE           the command trace, as ZORVEX_FLASH_TRACE=FILE (docs/trace-format.md)\n"
         "  --replay FILE          the drives answer as the drives of the command trace FILE did, taking\n"
         "                         the recorded time (none with --latency-scale 0); read once, so a\n"
         "                         pipe will do; never the file this run's trace goes to\n"
         "  --auto-flash           press Flash once the window is up, then Power Off (or Exit) when the\n"
         "                         run has ended, and OK on every message box met on the way;\n"
         "                         exit status 1 unless the run succeeded\n"
         "  --version              the version\n"
         "  --help                 this text\n"
         "Power Off only prints a line: the demo never shuts the machine down.\n"
         "Exit status: 0 done; 1 the run did not succeed (--auto-flash), the command log or the\n"
         "flash dump could not be written, or a replay went astray; 2 a bad option or value.\n";
}

}  // namespace demo
