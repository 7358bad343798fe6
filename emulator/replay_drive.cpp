#include "emulator/replay_drive.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "emulator/command_kind.h"
#include "emulator/sha256.h"
#include "platform/thread.h"
#include "platform/standard_streams.h"

namespace emulator {

namespace {

// The request-block statuses as the trace records them; the emulator sits
// beside the transport, not above it, so it keeps its own copy of the four.
constexpr uint64_t SS_INVALID_HA = 0x81;  // back-end answers: no such adapter
constexpr uint64_t SS_NO_DEVICE = 0x82;   // back-end answers: no such device
constexpr uint64_t SS_COMP = 0x01;
constexpr uint64_t SS_ERR = 0x04;

std::string SentDigest(const ScsiCommand& command) {
  if (command.direction != DataDirection::Out || command.data == nullptr) return {};
  return ToHex(Sha256Of(command.data, command.dataLen));
}

std::string Describe(uint64_t adapter, const std::string& cdb, const std::string& dir, uint64_t len,
                     const std::string& digest) {
  std::string text =
      "ha=" + std::to_string(adapter) + " cdb=" + cdb + " dir=" + dir + " len=" + std::to_string(len);
  if (!digest.empty()) text += " sha256=" + digest;
  return text;
}

bool ReachedDrive(const TraceRecord& record) {
  const auto status = record.Number("status");
  return status != SS_INVALID_HA && status != SS_NO_DEVICE;
}

}  // namespace

std::unique_ptr<ReplayScript> ReplayScript::Load(const std::string& path, std::string& error) {
  std::string text;
  if (!ReadTraceText(path, text, error)) return nullptr;
  return Parse(text, path, error);
}

std::unique_ptr<ReplayScript> ReplayScript::Parse(const std::string& text, const std::string& name,
                                                  std::string& error) {
  std::vector<TraceRecord> records = ParseTrace(text, name, error);
  if (records.empty()) return nullptr;
  return std::unique_ptr<ReplayScript>(new ReplayScript(std::move(records)));
}

ReplayScript::ReplayScript(std::vector<TraceRecord> records) : records_(std::move(records)) {
  std::size_t number = 0;
  for (const TraceRecord& record : records_) {
    if (record.Event() != "command") continue;
    ++number;
    if (ReachedDrive(record)) expected_.push_back({&record, number});
  }
}

std::string ReplayScript::Mismatch(const TraceRecord& expected, uint32_t adapter,
                                   const ScsiCommand& command) const {
  const std::string cdb = platform::HexOf(command.cdb, command.cdbLen);
  const std::string digest = SentDigest(command);
  const bool same = expected.Number("ha") == adapter && expected.Text("cdb") == cdb &&
                    expected.Text("dir") == DirectionName(command.direction) &&
                    expected.Number("len") == command.dataLen && expected.Text("sent_sha256") == digest;
  if (same) return {};
  return "expected " +
         Describe(expected.Number("ha").value_or(0), expected.Text("cdb"), expected.Text("dir"),
                  expected.Number("len").value_or(0), expected.Text("sent_sha256")) +
         ", got " + Describe(adapter, cdb, DirectionName(command.direction), command.dataLen, digest);
}

// Under the lock.
bool ReplayScript::AnswerIdentity(uint32_t adapter, const ScsiCommand& command, const TraceRecord* next,
                                  ScsiReply& reply) const {
  if (command.cdbLen == 0 || command.cdb[0] != OP_INQUIRY || command.direction != DataDirection::In)
    return false;
  if (next != nullptr && Mismatch(*next, adapter, command).empty()) return false;
  for (const Expected& step : expected_) {
    const TraceRecord& record = *step.record;
    if (record.Number("ha") != adapter || record.Number("status") != SS_COMP) continue;
    const auto identity = FromHex(record.Text("received"));
    if (!identity || record.Text("cdb").rfind("12", 0) != 0) continue;
    const std::size_t n = std::min<std::size_t>(identity->size(), command.dataLen);
    std::memcpy(command.data, identity->data(), n);
    reply.status = SCSI_GOOD;
    reply.transferred = static_cast<uint32_t>(n);
    return true;
  }
  return false;
}

void ReplayScript::Fail(std::string line) {
  failure_ = std::move(line);
  platform::SayLine("%s", failure_.c_str());
}

bool ReplayScript::Answer(uint32_t adapter, const ScsiCommand& command, ScsiReply& reply) {
  uint64_t delayMs = 0;
  bool reached = false;
  {
    platform::LockGuard guard(lock_);
    ++commandsSeen_;
    if (!failure_.empty()) return false;
    if (next_ >= expected_.size()) {
      if (AnswerIdentity(adapter, command, nullptr, reply)) return true;
      Fail("replay: command " + std::to_string(commandsSeen_) +
           " at a drive is not in the trace (it ends after " + std::to_string(expected_.size()) + "): got " +
           Describe(adapter, platform::HexOf(command.cdb, command.cdbLen), DirectionName(command.direction),
                    command.dataLen, SentDigest(command)));
      return false;
    }
    const Expected& step = expected_[next_];
    const TraceRecord& record = *step.record;
    if (AnswerIdentity(adapter, command, &record, reply)) return true;
    if (const std::string mismatch = Mismatch(record, adapter, command); !mismatch.empty()) {
      Fail("replay: command " + std::to_string(step.number) + " (trace line " + std::to_string(record.line) +
           ") differs: " + mismatch);
      return false;
    }
    ++next_;
    const uint64_t status = record.Number("status").value_or(0);
    const uint64_t target = record.Number("target_status").value_or(0);
    if (status == SS_COMP) {
      reached = true;
      reply.status = SCSI_GOOD;
      const auto data = FromHex(record.Text("received"));
      if (command.direction == DataDirection::In && command.data != nullptr && data) {
        const std::size_t n = std::min<std::size_t>(data->size(), command.dataLen);
        std::memcpy(command.data, data->data(), n);
        reply.transferred = static_cast<uint32_t>(n);
      } else {
        reply.transferred = command.dataLen;
      }
    } else if (status == SS_ERR && target == SCSI_CHECK_CONDITION) {
      reached = true;
      reply.status = SCSI_CHECK_CONDITION;
      const auto sense = FromHex(record.Text("sense")).value_or(std::vector<uint8_t>{});
      reply.senseLen = static_cast<uint8_t>(std::min(sense.size(), reply.sense.size()));
      std::copy_n(sense.begin(), reply.senseLen, reply.sense.begin());
    }
    if (recordedDelays_) delayMs = record.Number("ms").value_or(0);
  }
  if (delayMs > 0) platform::SleepMs(static_cast<uint32_t>(delayMs));
  return reached;
}

std::string ReplayScript::Failure() const {
  platform::LockGuard guard(lock_);
  return failure_;
}

std::size_t ReplayScript::Remaining() const {
  platform::LockGuard guard(lock_);
  return expected_.size() - next_;
}

}  // namespace emulator
