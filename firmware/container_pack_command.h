// The packer's command line, run in-process: the zx-pack tool's main only
// forwards to it, and tests call it directly.
//
//   pack    --exe FILE --output FILE  (--part1 FILE --part2 FILE [--version V]
//                                      | --container FILE | --synthetic V)
//   inspect FILE
//   synth   --version V  [--part1 FILE --part2 FILE] [--container FILE]
//   help
//
// Exit codes: 0 done; 1 refused (one line on `err`); for inspect, 2 when the
// file is readable but the program would reject its container or a stored
// checksum disagrees with its data.
// Threads: any.
#pragma once

#include <ostream>
#include <string>
#include <vector>

inline constexpr int PACK_OK = 0;
inline constexpr int PACK_REFUSED = 1;
inline constexpr int PACK_INSPECT_BAD = 2;

// `args` excludes the program name.
int RunPackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
