#include "cli/cli_options.h"

namespace {

// Takes the value of an option at `i` ("--opt VALUE" or "--opt=VALUE").
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               std::string& value, std::string& error) {
  const std::string& arg = args[i];
  if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0) {
    value = arg.substr(name.size() + 1);
  } else if (i + 1 < args.size()) {
    value = args[++i];
  } else {
    error = name + " needs a value";
    return false;
  }
  if (!value.empty()) return true;
  error = name + " needs a value";
  return false;
}

bool Named(const std::string& arg, const std::string& name) {
  return arg == name || arg.compare(0, name.size() + 1, name + "=") == 0;
}

// One option; false with `error` set when it is not one or is malformed.
bool TakeOption(const std::vector<std::string>& args, std::size_t& i, CliOptions& o, std::string& error) {
  const std::string& arg = args[i];
  std::string value;
  if (arg == "--yes" || arg == "-y") return o.yes = true;
  if (arg == "--force") return o.force = true;
  if (arg == "--json") return o.json = true;
  if (arg == "--help" || arg == "-h") return o.help = true;
  if (arg == "--version") return o.version = true;
  if (Named(arg, "--drive")) return TakeValue(args, i, "--drive", o.drive, error);
  if (Named(arg, "--language")) {
    if (!TakeValue(args, i, "--language", value, error)) return false;
    if (value != "en" && value != "ja") {
      error = "--language takes en or ja, not '" + value + "'";
      return false;
    }
    o.japanese = value == "ja";
    return true;
  }
  error = "unknown option '" + arg + "' (see --help)";
  return false;
}

}  // namespace

CliParse ParseCliOptions(const std::vector<std::string>& args) {
  CliParse parse;
  CliOptions& o = parse.options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.empty() && arg[0] == '-') {
      if (!TakeOption(args, i, o, parse.error)) return parse;
    } else if (o.verb == CliVerb::None && (arg == "list" || arg == "flash")) {
      o.verb = arg == "list" ? CliVerb::List : CliVerb::Flash;
    } else {
      parse.error = o.verb == CliVerb::None ? "unknown command '" + arg + "' (list or flash)"
                                            : "unexpected argument '" + arg + "'";
      return parse;
    }
  }
  if (o.help || o.version) return parse;
  if (o.verb == CliVerb::None)
    parse.error = "a command is needed: list or flash (see --help)";
  else if (o.verb == CliVerb::List && (o.yes || o.force || !o.drive.empty()))
    parse.error = "--drive, --yes and --force belong to flash";
  return parse;
}

std::string CliUsage(const char* program) {
  const std::string p = program;
  return "Usage: " + p + " list [--json] [--language en|ja]\n" + "       " + p +
         " flash [--drive WHICH] [--yes] [--force] [--json] [--language en|ja]\n" + "       " + p +
         " --help | --version\n"
         "\n"
         "list         every RT-5800B found, its firmware revision and whether it can be flashed\n"
         "flash        writes the carried firmware into one drive, as the window's Flash button does\n"
         "--drive W    the drive: its number in the list, HA:TARGET (0:0), or its node or letter;\n"
         "             needed when more than one drive is found\n"
         "--yes        no confirmation (needed when standard input is not a terminal)\n"
         "--force      flash also a drive whose firmware is the same as the carried one or newer\n"
         "--json       one JSON object (UTF-8) on standard output, nothing else there\n"
         "--language   the texts' language (default: the system's)\n"
         "\n"
         "Exit status: 0 done; 1 the run failed or could not start; 2 bad usage; 3 nothing to\n"
         "flash (no drive, already current, refused by the version check, or declined);\n"
         "after Ctrl+C or another request to end during a run, the run is finished first and\n"
         "the status is 128 + the signal's number after a success, 64 + it after a failure.\n";
}
