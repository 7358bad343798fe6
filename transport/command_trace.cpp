#include "transport/command_trace.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "platform/sha256.h"
#include "platform/system_info.h"
#include "platform/thread.h"
#include "platform/standard_streams.h"

namespace {

constexpr uint8_t OPCODE_INQUIRY = 0x12;
constexpr uint8_t OPCODE_VENDOR_READ = 0xCC;  // flash mode, checksum, drive-memory read
// Of data sent, and of data received other than identity and drive memory:
// this many leading bytes beside the digest.
constexpr std::size_t HEAD_BYTES = 64;

std::atomic<CommandTrace*> installed{nullptr};


// A JSON string of printable ASCII; any other byte becomes '?'. Texts with
// other bytes are also given whole in hexadecimal.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(byte >= 0x20 && byte < 0x7F ? c : '?');
  }
  return out + "\"";
}

std::string Field(const char* name, std::string_view quoted) {
  return std::string(",\"") + name + "\":" + std::string(quoted);
}

std::string Field(const char* name, uint64_t number) { return Field(name, std::to_string(number)); }

const char* Direction(uint8_t flags) {
  if (flags & SRB_DIR_IN) return "in";
  if (flags & SRB_DIR_OUT) return "out";
  return "none";
}

// Identity and drive memory are what a developer needs to rebuild the drive.
bool KeepsWholeReply(const SRB_ExecSCSICmd& block) {
  return block.CDBByte[0] == OPCODE_INQUIRY || block.CDBByte[0] == OPCODE_VENDOR_READ;
}

std::string DigestAndHead(const char* name, const uint8_t* data, uint32_t length) {
  const std::string prefix(name);
  return Field((prefix + "_sha256").c_str(), Quoted(platform::ToHex(platform::Sha256Of(data, length)))) +
         Field((prefix + "_head").c_str(), Quoted(platform::HexOf(data, std::min<std::size_t>(length, HEAD_BYTES))));
}

}  // namespace

std::unique_ptr<CommandTrace> CommandTrace::Open(const std::string& path, std::string program,
                                                 std::string version, std::string& error) {
  auto file = std::make_unique<platform::LineFile>();
  if (!file->Open(path, error)) return nullptr;
  return Into(std::move(file), path, std::move(program), std::move(version), {});
}

std::unique_ptr<CommandTrace> CommandTrace::Into(std::unique_ptr<platform::LineSink> sink, const std::string& path,
                                                 std::string program, std::string version,
                                                 platform::QueuedLineFile::Limits limits) {
  return std::unique_ptr<CommandTrace>(
      new CommandTrace(std::move(sink), path, std::move(program), std::move(version), limits));
}

namespace {

// Called from the writer thread too, possibly after the trace has gone:
// it keeps its own copies of the names.
std::function<void(const std::string&)> TellStop(std::string program, std::string path) {
  return [program = std::move(program), path = std::move(path)](const std::string& reason) {
    platform::SayLine("%s: the trace %s could not be written (%s); the run goes on without it", program.c_str(),
                      path.c_str(), reason.c_str());
  };
}

}  // namespace

CommandTrace::CommandTrace(std::unique_ptr<platform::LineSink> sink, std::string path, std::string program,
                           std::string version, platform::QueuedLineFile::Limits limits)
    : file_(std::move(sink), TellStop(program, path), limits),
      path_(std::move(path)),
      program_(std::move(program)),
      version_(std::move(version)),
      startMs_(platform::TickMs()) {}

CommandTrace::~CommandTrace() {
  // A program that ended during start-up still leaves its commands behind.
  Header(TraceHeader{});
}

void CommandTrace::Header(const TraceHeader& header) {
  std::string line = std::string("{\"format\":\"") + TRACE_FORMAT +
                     "\",\"version\":" + std::to_string(TRACE_VERSION) + ",\"event\":\"header\"";
  line += Field("program", Quoted(program_));
  line += Field("program_version", Quoted(version_));
  line += Field("firmware", Quoted(header.firmwareVersion));
  line += Field("platform_id", header.platformId);
  const char* family = header.platformId == platform::VER_PLATFORM_WIN32_NT        ? "nt"
                       : header.platformId == platform::VER_PLATFORM_WIN32_WINDOWS ? "9x"
                                                                                   : "";
  line += Field("family", Quoted(family));
  line += Field("backend", Quoted(header.backEnd));
  line += Field("adapters", static_cast<uint64_t>(header.adapters));
  line += Field("language", Quoted(header.language)) + "}";
  platform::LockGuard guard(lock_);
  if (headerWritten_) return;
  headerWritten_ = true;
  std::vector<std::string> early;
  early.swap(early_);
  Emit(std::move(line));
  for (std::string& held : early) Emit(std::move(held));
}

std::string CommandTrace::Prefix(const char* event) const {
  return std::string("{\"event\":\"") + event + "\",\"t\":" + std::to_string(platform::TickMs() - startMs_);
}

void CommandTrace::Command(const SRB_ExecSCSICmd& block, uint32_t startMs, uint32_t tookMs, bool waitRanOut) {
  const auto* buffer = static_cast<const uint8_t*>(block.SRB_BufPointer);
  const bool in = (block.SRB_Flags & SRB_DIR_IN) != 0;
  const bool out = (block.SRB_Flags & SRB_DIR_OUT) != 0;
  std::string line = std::string("{\"event\":\"command\",\"t\":") + std::to_string(startMs - startMs_);
  line += Field("ha", block.SRB_HaId) + Field("target", block.SRB_Target) + Field("lun", block.SRB_Lun);
  line += Field("cdb", Quoted(platform::HexOf(block.CDBByte, std::min<std::size_t>(block.SRB_CDBLen, 16))));
  line += Field("dir", Quoted(Direction(block.SRB_Flags))) + Field("len", block.SRB_BufLen);
  if (out && buffer != nullptr) line += DigestAndHead("sent", buffer, block.SRB_BufLen);
  line += Field("status", block.SRB_Status) + Field("ha_status", block.SRB_HaStat) +
          Field("target_status", block.SRB_TargStat);
  if (block.SRB_Status != SS_COMP)
    line += Field("sense",
                  Quoted(platform::HexOf(block.SenseArea, std::min<std::size_t>(block.SRB_SenseLen, SENSE_AREA_LEN))));
  if (in && buffer != nullptr && block.SRB_Status == SS_COMP)
    line += KeepsWholeReply(block) ? Field("received", Quoted(platform::HexOf(buffer, block.SRB_BufLen)))
                                   : DigestAndHead("received", buffer, block.SRB_BufLen);
  if (waitRanOut) line += Field("wait_ran_out", "true");
  line += Field("ms", tookMs) + "}";
  platform::LockGuard guard(lock_);
  Emit(std::move(line));
}

void CommandTrace::Status(uint8_t code, std::string_view englishText) {
  std::string line = Prefix("status") + Field("code", code) + Field("text", Quoted(englishText)) + "}";
  platform::LockGuard guard(lock_);
  Emit(std::move(line));
}

void CommandTrace::Box(std::string_view cp932) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(cp932.data());
  std::string line =
      Prefix("box") + Field("text", Quoted(cp932)) + Field("cp932", Quoted(platform::HexOf(bytes, cp932.size()))) + "}";
  platform::LockGuard guard(lock_);
  Emit(std::move(line));
}

bool CommandTrace::Stopped() const { return file_.Stopped(); }

// Under the lock, which keeps the lines in the order of their events.
void CommandTrace::Emit(std::string line) {
  if (!headerWritten_) {
    if (!file_.Stopped()) early_.push_back(std::move(line));
    return;
  }
  file_.Add(std::move(line));
}

void InstallCommandTrace(CommandTrace* trace) { installed.store(trace); }

CommandTrace* InstalledCommandTrace() { return installed.load(); }
