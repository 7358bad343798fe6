// The packer's command line, run in-process: the zx-pack tool's main only
// forwards to it (after answering --version itself), and tests call it
// directly.
//
//   pack    --exe FILE --output FILE  (--part1 FILE --part2 FILE [--version V]
//                                      | --container FILE | --synthetic V)
//   inspect FILE
//   synth   --version V  [--part1 FILE --part2 FILE] [--container FILE]
//   help | --help | -h          (the usage below)
//   COMMAND ... --help | -h     (that command's own help; wins over the rest)
//
// Exit codes, the same for every command:
//   0  done (inspect: the utility would accept the file and both stored
//      checksums agree with their data);
//   1  refused or failed, one line on `err`; no output file was written or
//      replaced (inspect: the file cannot be read, or the utility would
//      reject it, or a stored checksum disagrees; what it found is still
//      shown on `out`);
//   2  the command line itself is malformed (unknown command or option,
//      missing or repeated option, options that do not go together, a
//      value of the wrong shape), one line on `err`.
// Nothing but help, the inspection and the line saying what was written go
// to `out`; every refusal goes to `err`. Whether `out` could be written is
// the caller's to check (the tool exits 3 when it could not).
// Threads: any.
#pragma once

#include <ostream>
#include <string>
#include <vector>

inline constexpr int PACK_OK = 0;
inline constexpr int PACK_REFUSED = 1;
inline constexpr int PACK_USAGE = 2;

// `args` excludes the program name.
int RunPackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The usage text that help prints, exit codes included.
const char* PackUsage();
