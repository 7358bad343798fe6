// zx-trace: reads a command trace (docs/trace-format.md) a user sent with a
// bug report.
//   zx-trace summary FILE   drive identity, versions, how far the run got,
//                           the first failing command and its sense decoded
//   zx-trace check FILE     validates the trace line by line
// Exit status: 0 done (check: valid), 1 unreadable or invalid (one line on
// stderr), 2 a malformed command line, 3 done but stdout could not be written.
#include <cstdio>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/trace_reader.h"
#include "platform/standard_streams.h"
#include "platform/removal_on_signal.h"
#include "tools/output_status.h"

namespace {

using emulator::TraceRecord;

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr uint64_t SS_COMP = 0x01;
constexpr uint64_t SS_INVALID_HA = 0x81;
constexpr uint64_t SS_NO_DEVICE = 0x82;

const char* Usage() {
  return "Usage: zx-trace summary FILE | zx-trace check FILE | zx-trace --version | zx-trace --help\n"
         "  summary  the drive, the versions, how far the run got and the first failing command\n"
         "  check    whether FILE is a well-formed zorvex trace (exit status 0) or not (1)\n";
}

std::vector<uint8_t> Bytes(const TraceRecord& r, const char* key) {
  return emulator::FromHex(r.Text(key)).value_or(std::vector<uint8_t>{});
}

// What a command of the flash procedure does, from its CDB.
std::string Step(const TraceRecord& r) {
  const std::vector<uint8_t> cdb = Bytes(r, "cdb");
  if (cdb.empty()) return "?";
  if (cdb[0] == 0x12) return "INQUIRY";
  if (cdb.size() < 3 || (cdb[0] != 0xCB && cdb[0] != 0xCC)) return "command " + r.Text("cdb");
  const std::string unit = " unit " + std::to_string(cdb[1] >> 4);
  const int mode = cdb[1] & 0x0F;
  if (cdb[0] == 0xCC) {
    if (mode == 0) return "drive-memory read";
    if (mode == 1) return std::string(cdb[2] ? "flash mode on" : "flash mode off") + unit;
    if (mode == 4) return "checksum check" + unit;
  } else {
    if (mode == 1) return "upload" + unit;
    if (mode == 2) return "program" + unit;
    if (mode == 4) return "erase" + unit;
    if (mode == 8) return "whole-unit erase" + unit;
  }
  return "vendor command " + r.Text("cdb");
}

const char* SenseKeyName(int key) {
  static const char* const names[16] = {
      "NO SENSE",       "RECOVERED ERROR", "NOT READY",      "MEDIUM ERROR",
      "HARDWARE ERROR", "ILLEGAL REQUEST", "UNIT ATTENTION", "DATA PROTECT",
      "BLANK CHECK",    "VENDOR SPECIFIC", "COPY ABORTED",   "ABORTED COMMAND",
      "EQUAL",          "VOLUME OVERFLOW", "MISCOMPARE",     "RESERVED"};
  return names[key & 0x0F];
}

std::string AscName(int asc, int ascq) {
  if (asc == 0x29) return "power on, reset or bus device reset occurred";
  if (asc == 0x20) return "invalid command operation code";
  if (asc == 0x24) return "invalid field in CDB";
  if (asc == 0x21) return "address out of range";
  if (asc == 0x2C) return "command sequence error";
  if (asc == 0x1D) return ascq == 0 ? "miscompare during verify" : "vendor miscompare";
  if (asc == 0x44) return "internal target failure";
  if (asc == 0x0C) return "write error";
  if (asc == 0x3A) return "medium not present";
  return "not known here";
}

std::string Sense(const TraceRecord& r) {
  const std::vector<uint8_t> s = Bytes(r, "sense");
  if (s.size() < 14) return "no sense data";
  char text[160];
  std::snprintf(text, sizeof text, "sense key %X (%s), ASC/ASCQ %02X/%02X (%s), byte 2 = %02X", s[2] & 0x0F,
                SenseKeyName(s[2]), s[12], s[13], AscName(s[12], s[13]).c_str(), s[2]);
  return text;
}

// `text` as printable ASCII: a trace is anyone's file, and what it carries
// must not reach the terminal as control sequences. Every other byte, and
// the backslash, as \xNN; line feeds stay (no field of a trace holds one,
// as its lines end at them).
std::string Escaped(const std::string& text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 0x20 && byte < 0x7F && c != '\\') || c == '\n') {
      shown.push_back(c);
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      shown += escape;
    }
  }
  return shown;
}

bool Failed(const TraceRecord& r) {
  const auto status = r.Number("status");
  return status != SS_COMP && status != SS_NO_DEVICE && status != SS_INVALID_HA;
}

// Written whole at the end, through Escaped: every text in it comes from
// the trace.
int Summary(const std::vector<TraceRecord>& records) {
  std::ostringstream out;
  const TraceRecord& h = records.front();
  out << "program:     " << h.Text("program") << " " << h.Text("program_version") << ", carrying firmware "
      << (h.Text("firmware").empty() ? "(none)" : h.Text("firmware")) << "\n"
      << "system:      platform " << h.Text("platform_id") << " (" << h.Text("family") << "), back-end "
      << h.Text("backend") << ", " << h.Text("adapters") << " host adapter(s), language "
      << h.Text("language") << "\n";
  std::size_t commands = 0, failures = 0;
  const TraceRecord* firstFailure = nullptr;
  std::string lastStep, lastStatus;
  std::set<std::string> drives;
  for (const TraceRecord& r : records) {
    if (r.Event() == "status") lastStatus = r.Text("code") + " \"" + r.Text("text") + "\"";
    if (r.Event() == "box") out << "box:         \"" << r.Text("text") << "\"\n";
    if (r.Event() != "command") continue;
    ++commands;
    const std::vector<uint8_t> received = Bytes(r, "received");
    if (Step(r) == "INQUIRY" && received.size() >= 36 &&
        drives.insert(r.Text("ha") + ":" + r.Text("target")).second)
      out << "drive:       adapter " << r.Text("ha") << " target " << r.Text("target") << ": \""
          << std::string(received.begin() + 8, received.begin() + 32) << "\" revision \""
          << std::string(received.begin() + 32, received.begin() + 36) << "\"\n";
    if (!Failed(r)) {
      if (Step(r) != "INQUIRY") lastStep = Step(r);
      continue;
    }
    ++failures;
    if (firstFailure == nullptr) firstFailure = &r;
  }
  if (drives.empty()) out << "drive:       none answered INQUIRY\n";
  out << "commands:    " << commands << " sent, " << failures << " not completed\n"
      << "got as far:  " << (lastStep.empty() ? "no drive command completed" : lastStep) << "\n"
      << "last status: " << (lastStatus.empty() ? "(none)" : lastStatus) << "\n";
  if (firstFailure != nullptr)
    out << "first failure: line " << firstFailure->line << ", " << Step(*firstFailure) << " (cdb "
        << firstFailure->Text("cdb") << "): request status " << firstFailure->Text("status")
        << ", host status " << firstFailure->Text("ha_status") << ", target status "
        << firstFailure->Text("target_status") << "; " << Sense(*firstFailure) << "\n";
  std::cout << Escaped(out.str());
  return 0;
}

// Empty, or what is wrong with one line.
std::string Problem(const TraceRecord& r) {
  const std::string event = r.Event();
  if (r.line > 1 && event == "header") return "a second header";
  if (event == "header") return {};
  if (event == "status") return r.Number("code") ? "" : "a status without a code";
  if (event == "box") return r.Has("text") ? "" : "a box without a text";
  if (event != "command") return "an unknown event \"" + event + "\"";
  for (const char* key : {"t", "ha", "target", "lun", "len", "status", "ha_status", "target_status", "ms"})
    if (!r.Number(key)) return std::string("a command without a number \"") + key + "\"";
  const std::string dir = r.Text("dir");
  if (dir != "in" && dir != "out" && dir != "none") return "a command with the direction \"" + dir + "\"";
  const auto cdb = emulator::FromHex(r.Text("cdb"));
  if (!cdb || cdb->empty() || cdb->size() > 16) return "a command without a CDB of 1 to 16 bytes";
  for (const char* key : {"sense", "received", "sent_head", "received_head"})
    if (r.Has(key) && !emulator::FromHex(r.Text(key)))
      return std::string("\"") + key + "\" is not hexadecimal";
  if (dir == "out" && r.Text("sent_sha256").size() != 64) return "data sent without its SHA-256";
  if (r.Has("received") && Bytes(r, "received").size() != *r.Number("len"))
    return "the data received is not as long as the command says";
  return {};
}

int Check(const std::string& path, const std::vector<TraceRecord>& records) {
  std::size_t commands = 0;
  for (const TraceRecord& r : records) {
    if (const std::string problem = Problem(r); !problem.empty()) {
      std::cerr << "zx-trace: " << Escaped(path + " line " + std::to_string(r.line) + ": " + problem) << "\n";
      return kFailed;
    }
    if (r.Event() == "command") ++commands;
  }
  std::cout << path << ": a valid zorvex trace, version " << records.front().Text("version") << ", "
            << commands << " commands in " << records.size() << " lines\n";
  return 0;
}

// The answer to the command line, written to stdout and stderr.
int Answer(const std::vector<std::string>& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << Usage();
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::cout << "zx-trace " << ZX_VERSION << "\n";
    return 0;
  }
  if (args.size() != 2 || (args[0] != "summary" && args[0] != "check")) {
    std::cerr << "zx-trace: give summary FILE or check FILE (see --help)\n";
    return kUsage;
  }
  std::string error;
  const std::vector<TraceRecord> records = emulator::ReadTrace(args[1], error);
  if (records.empty()) {
    std::cerr << "zx-trace: " << Escaped(error) << "\n";
    return kFailed;
  }
  return args[0] == "summary" ? Summary(records) : Check(args[1], records);
}

}  // namespace

int main(int argc, char** argv) {
  platform::ClaimStandardStreams();
  platform::IgnoreClosedPipes();
  return StatusAfterOutput(std::cout, std::cerr, "zx-trace",
                           Answer(std::vector<std::string>(argv + 1, argv + argc)));
}
