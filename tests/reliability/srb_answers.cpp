#include "tests/reliability/srb_answers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace reliability {

namespace {

constexpr uint32_t NOT_QUEUED = 0;  // what an execute block refused for its flags returns
constexpr uint8_t ADAPTER_SCSI_ID = 7;
constexpr uint32_t MAX_REPORTED_TRANSFER = 65536;
constexpr std::size_t MAX_CDB = 16;

template <typename T>
T View(const uint8_t* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

#define FIELD(T, f) \
  std::pair<std::size_t, std::size_t> { offsetof(T, f), offsetof(T, f) + sizeof(T::f) }

ImmediateAnswer Answer(uint8_t status, uint32_t returned) { return {status, returned, {}}; }

std::string Hex(const uint8_t* bytes, std::size_t n) {
  std::string text;
  char b[4];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02x", bytes[i]);
    text += b;
  }
  return text;
}

std::string CheckHaInquiry(const uint8_t* after, const std::vector<FuzzAdapter>& adapters) {
  const auto inquiry = View<SRB_HAInquiry>(after);
  const FuzzAdapter& adapter = adapters.at(inquiry.SRB_HaId);
  uint8_t identifier[16] = {};
  std::snprintf(reinterpret_cast<char*>(identifier), sizeof identifier, "ASPISim HA #%d", inquiry.SRB_HaId);
  uint8_t unique[16] = {};
  const uint32_t maxTransfer = std::min(adapter.maxTransfer, MAX_REPORTED_TRANSFER);
  unique[0] = static_cast<uint8_t>(adapter.alignment);
  unique[1] = static_cast<uint8_t>(adapter.alignment >> 8);
  unique[3] = 1;
  for (int i = 0; i < 4; ++i) unique[4 + i] = static_cast<uint8_t>(maxTransfer >> (8 * i));
  if (inquiry.HA_Count != adapters.size()) return "HA_Count " + std::to_string(inquiry.HA_Count);
  if (inquiry.HA_SCSI_ID != ADAPTER_SCSI_ID) return "HA_SCSI_ID " + std::to_string(inquiry.HA_SCSI_ID);
  if (std::memcmp(inquiry.HA_ManagerId, "ASPISim for SPTI", 16) != 0)
    return "HA_ManagerId " + Hex(inquiry.HA_ManagerId, 16);
  if (std::memcmp(inquiry.HA_Identifier, identifier, 16) != 0)
    return "HA_Identifier " + Hex(inquiry.HA_Identifier, 16);
  if (std::memcmp(inquiry.HA_Unique, unique, 16) != 0) return "HA_Unique " + Hex(inquiry.HA_Unique, 16);
  return {};
}

ImmediateAnswer DeviceTypeAnswer(const uint8_t* sent) {
  const auto block = View<SRB_GDEVBlock>(sent);
  if (block.SRB_Target != 0 || block.SRB_Lun != 0) return Answer(SS_NO_DEVICE, SS_NO_DEVICE);
  ImmediateAnswer a = Answer(SS_COMP, 1);
  a.changes.push_back(FIELD(SRB_GDEVBlock, SRB_DeviceType));
  return a;
}

ImmediateAnswer TimeoutAnswer(const uint8_t* sent, uint32_t& timeoutSeconds) {
  const auto block = View<SRB_GetSetTimeouts>(sent);
  ImmediateAnswer a = Answer(SS_COMP, 1);
  if (block.SRB_Flags == SRB_DIR_OUT)
    timeoutSeconds = block.SRB_Timeout / 2;
  else
    a.changes.push_back(FIELD(SRB_GetSetTimeouts, SRB_Timeout));
  return a;
}

}  // namespace

std::optional<ImmediateAnswer> ExecuteAnswer(const SRB_ExecSCSICmd& sent, int adapterCount) {
  if (sent.SRB_HaId >= adapterCount) return Answer(SS_INVALID_HA, SS_INVALID_HA);
  if (sent.SRB_Target != 0 || sent.SRB_Lun != 0) return Answer(SS_NO_DEVICE, SS_NO_DEVICE);
  const bool posting = (sent.SRB_Flags & SRB_POSTING) != 0;
  const bool event = (sent.SRB_Flags & SRB_EVENT_NOTIFY) != 0;
  if (posting == event) return Answer(SS_INVALID_SRB, NOT_QUEUED);
  // Longer than its 16-byte field: refused rather than cut.
  if (sent.SRB_CDBLen > MAX_CDB) return Answer(SS_INVALID_SRB, SS_INVALID_SRB);
  return std::nullopt;
}

ImmediateAnswer OtherAnswer(const uint8_t* sent, const std::vector<FuzzAdapter>& adapters,
                            uint32_t& timeoutSeconds) {
  const auto header = View<SRB_Header>(sent);
  if (header.SRB_HaId >= adapters.size()) return Answer(SS_INVALID_HA, SS_INVALID_HA);
  switch (header.SRB_Cmd) {
    case SC_HA_INQUIRY: {
      ImmediateAnswer a = Answer(SS_COMP, 1);
      a.changes = {FIELD(SRB_HAInquiry, HA_Count), FIELD(SRB_HAInquiry, HA_SCSI_ID),
                   FIELD(SRB_HAInquiry, HA_ManagerId), FIELD(SRB_HAInquiry, HA_Identifier),
                   FIELD(SRB_HAInquiry, HA_Unique)};
      return a;
    }
    case SC_GET_DEV_TYPE:
      return DeviceTypeAnswer(sent);
    case SC_RESET_DEV: {
      ImmediateAnswer a = Answer(SS_COMP, 0);
      a.changes = {FIELD(SRB_BusDeviceReset, SRB_HaStat), FIELD(SRB_BusDeviceReset, SRB_TargStat)};
      return a;
    }
    case SC_RESCAN_SCSI_BUS:
      return Answer(header.SRB_Status, 1);
    case SC_GETSET_TIMEOUTS:
      return TimeoutAnswer(sent, timeoutSeconds);
    default:
      return Answer(SS_INVALID_SRB, 1);
  }
}

std::string UnexpectedChanges(const uint8_t* before, const uint8_t* after, std::size_t size,
                              const ImmediateAnswer& answer) {
  for (std::size_t i = 0; i < size; ++i) {
    if (before[i] == after[i] || i == offsetof(SRB_Header, SRB_Status)) continue;
    const bool allowed = std::any_of(answer.changes.begin(), answer.changes.end(),
                                     [i](const auto& range) { return i >= range.first && i < range.second; });
    if (!allowed) return "byte " + std::to_string(i) + " changed";
  }
  return {};
}

std::string WrongValues(const uint8_t* after, const std::vector<FuzzAdapter>& adapters,
                        uint32_t timeoutSeconds) {
  const auto header = View<SRB_Header>(after);
  if (header.SRB_Status != SS_COMP) return {};
  switch (header.SRB_Cmd) {
    case SC_HA_INQUIRY:
      return CheckHaInquiry(after, adapters);
    case SC_GET_DEV_TYPE: {
      const auto block = View<SRB_GDEVBlock>(after);
      const uint8_t expected = adapters.at(block.SRB_HaId).deviceType;
      if (block.SRB_DeviceType != expected) return "device type " + std::to_string(block.SRB_DeviceType);
      return {};
    }
    case SC_RESET_DEV: {
      const auto block = View<SRB_BusDeviceReset>(after);
      if (block.SRB_HaStat != 0 || block.SRB_TargStat != 0) return "reset left a status";
      return {};
    }
    case SC_GETSET_TIMEOUTS: {
      const auto block = View<SRB_GetSetTimeouts>(after);
      if (block.SRB_Flags != SRB_DIR_OUT && block.SRB_Timeout != timeoutSeconds * 2)
        return "time-out read as " + std::to_string(block.SRB_Timeout);
      return {};
    }
    default:
      return {};
  }
}

std::string CompletionFaults(const SRB_ExecSCSICmd& sent, const SRB_ExecSCSICmd& done) {
  const std::size_t senseBytes = std::min<std::size_t>(sent.SRB_SenseLen, SENSE_AREA_LEN);
  switch (done.SRB_Status) {
    case SS_COMP:
      if (done.SRB_HaStat != HASTAT_OK || done.SRB_TargStat != STATUS_GOOD) return "SS_COMP with a status";
      break;
    case SS_ERR:
      if (done.SRB_HaStat != HASTAT_OK || done.SRB_TargStat != STATUS_CHKCOND) return "SS_ERR statuses";
      break;
    case SS_ABORTED:
      if (done.SRB_HaStat != HASTAT_TIMEOUT || done.SRB_TargStat != STATUS_BUSY) return "SS_ABORTED statuses";
      if (std::any_of(done.SenseArea, done.SenseArea + senseBytes, [](uint8_t b) { return b != 0; }))
        return "sense after a failed pass-through";
      break;
    default:
      return "completed with status " + std::to_string(done.SRB_Status);
  }
  const bool residual = (sent.SRB_Flags & SRB_ENABLE_RESIDUAL_COUNT) != 0 && done.SRB_Status != SS_ABORTED;
  if (done.SRB_BufLen != (residual ? 0 : sent.SRB_BufLen))
    return "SRB_BufLen " + std::to_string(done.SRB_BufLen);
  // Everything else as handed over, the sense area beyond what was asked for included.
  // Copied bytewise: the padding between fields must stay as handed over too.
  SRB_ExecSCSICmd normalised;
  std::memcpy(&normalised, &done, sizeof normalised);
  normalised.SRB_Status = sent.SRB_Status;
  normalised.SRB_HaStat = sent.SRB_HaStat;
  normalised.SRB_TargStat = sent.SRB_TargStat;
  normalised.SRB_BufLen = sent.SRB_BufLen;
  std::memcpy(normalised.SenseArea, sent.SenseArea, senseBytes);
  if (std::memcmp(&normalised, &sent, sizeof sent) != 0) return "a field the request does not answer changed";
  return {};
}

}  // namespace reliability
