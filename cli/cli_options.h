// The command line of zorvex-flash-cli: a verb (`list` or `flash`) and its
// options. The demo adds its drive options in front (cli/entry).
// Threads: any (pure functions).
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class CliVerb { None, List, Flash };

struct CliOptions {
  CliVerb verb = CliVerb::None;
  std::string drive;   // --drive: a number from `list`, HA:TARGET, or the node or letter; empty: the only one
  bool yes = false;    // no confirmation
  bool force = false;  // also when the drive's firmware is the same or newer
  bool json = false;
  std::optional<bool> japanese;  // unset: the system's language
  bool help = false;
  bool version = false;
};

struct CliParse {
  CliOptions options;
  std::string error;  // one line; empty when accepted
};

CliParse ParseCliOptions(const std::vector<std::string>& args);

std::string CliUsage(const char* program);
