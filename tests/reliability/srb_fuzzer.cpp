#include "tests/reliability/srb_fuzzer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <type_traits>

namespace reliability {

namespace {

constexpr std::size_t GUARD_LEN = 32;
constexpr uint8_t GUARD_BYTE = 0xA5;
// Past the 64 KiB that most adapters let a pass-through move.
constexpr uint32_t BUFFER_LEN = 69632;
constexpr std::size_t TAIL_WATCH = 64;    // bytes after the data length that nobody may write
constexpr std::size_t SCRATCH_LEN = 128;  // room for every layout but the execute block
constexpr std::size_t SLOTS = 6;
constexpr uint32_t COMPLETION_WAIT_MS = 20000;
constexpr int MAX_FAILURES = 5;
constexpr uint64_t CHAOS_EVERY = 997;
constexpr uint8_t COMMON_CODES[] = {SC_HA_INQUIRY, SC_GET_DEV_TYPE, SC_RESET_DEV, SC_RESCAN_SCSI_BUS,
                                    SC_GETSET_TIMEOUTS};

struct ExecBlock {
  SRB_ExecSCSICmd srb;
  uint8_t guard[GUARD_LEN];
  std::atomic<uint32_t> posts{0};
};
static_assert(std::is_standard_layout_v<ExecBlock> && offsetof(ExecBlock, srb) == 0);

// The post routine of every posting request; runs on the completing thread.
void CountPost(void* srb) { static_cast<ExecBlock*>(srb)->posts.fetch_add(1); }

bool GuardIntact(const uint8_t* bytes, std::size_t n) {
  return std::all_of(bytes, bytes + n, [](uint8_t b) { return b == GUARD_BYTE; });
}

bool Posting(const SRB_ExecSCSICmd& srb) { return (srb.SRB_Flags & SRB_POSTING) != 0; }

enum class SlotState { Idle, Pending, Aborted, Lost };

}  // namespace

struct SrbFuzzer::ExecSlot {
  ExecBlock block;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(BUFFER_LEN + GUARD_LEN, GUARD_BYTE);
  EventHandle event = SystemEvents().CreateEvent();
  SlotState state = SlotState::Idle;
  SRB_ExecSCSICmd sent{};        // as handed over, bytewise
  SRB_ExecSCSICmd afterAbort{};  // as an abort left it
  uint32_t posts = 0;            // notifications seen by the fuzzer
  bool everQueued = false;

  ~ExecSlot() { SystemEvents().CloseHandle(event); }
};

void FuzzTally::Add(const FuzzTally& o) {
  blocks += o.blocks;
  executesQueued += o.executesQueued;
  executesRefused += o.executesRefused;
  completedGood += o.completedGood;
  completedError += o.completedError;
  completedAborted += o.completedAborted;
  abortsOfQueued += o.abortsOfQueued;
  abortsRefused += o.abortsRefused;
  abortsAfterCompletion += o.abortsAfterCompletion;
  adapterRequests += o.adapterRequests;
  invalidCodes += o.invalidCodes;
  invalidAdapters += o.invalidAdapters;
}

std::string FuzzTally::Summary() const {
  return std::to_string(blocks) + " blocks: " + std::to_string(executesQueued) + " executes queued (" +
         std::to_string(completedGood) + " SS_COMP, " + std::to_string(completedError) + " SS_ERR, " +
         std::to_string(completedAborted) + " SS_ABORTED), " + std::to_string(executesRefused) +
         " refused at once, " + std::to_string(abortsOfQueued) + " aborts of queued requests, " +
         std::to_string(abortsRefused) + " aborts refused, " + std::to_string(abortsAfterCompletion) +
         " aborts just after a completion, " + std::to_string(adapterRequests) + " adapter requests, " +
         std::to_string(invalidCodes) + " invalid codes, " + std::to_string(invalidAdapters) +
         " invalid adapters";
}

SrbFuzzer::SrbFuzzer(SendASPI32CommandFn send, std::vector<FuzzAdapter> adapters, FuzzSettings settings)
    : send_(send), adapters_(std::move(adapters)), settings_(std::move(settings)), random_(settings_.seed) {
  for (std::size_t i = 0; i < SLOTS; ++i) slots_.push_back(std::make_unique<ExecSlot>());
}

SrbFuzzer::~SrbFuzzer() {
  // A request that never completed may still be written by the simulator:
  // its memory is given up rather than freed under it.
  for (auto& slot : slots_)
    if (slot->state == SlotState::Lost) static_cast<void>(slot.release());
}

void SrbFuzzer::Run(uint64_t blocks) {
  for (uint64_t i = 0; i < blocks && failures_ < MAX_FAILURES; ++i) {
    Step();
    if (settings_.chaos && i % CHAOS_EVERY == CHAOS_EVERY - 1) settings_.chaos(random_);
  }
  for (auto& slot : slots_) Settle(*slot);
}

void SrbFuzzer::Step() {
  ++tally_.blocks;
  const uint32_t roll = std::uniform_int_distribution<uint32_t>(0, 9999)(random_);
  if (roll < settings_.queuedAbortsPer10000) {
    if (ExecSlot* pending = PendingSlot()) {
      AbortQueued(*pending, static_cast<uint8_t>(std::uniform_int_distribution<std::size_t>(
                                0, adapters_.size() - 1)(random_)));
      return;
    }
  }
  if (roll < 4500)
    Execute(*slots_[std::uniform_int_distribution<std::size_t>(0, SLOTS - 1)(random_)]);
  else if (roll < 5500)
    Abort();
  else
    AdapterRequest();
}

void SrbFuzzer::Execute(ExecSlot& slot) {
  Settle(slot);
  if (slot.state == SlotState::Lost) return;
  FillExecute(slot);
  std::memcpy(&slot.sent, &slot.block.srb, sizeof slot.sent);
  const auto immediate = ExecuteAnswer(slot.sent, static_cast<int>(adapters_.size()));
  const uint32_t returned = send_(&slot.block.srb);
  if (!immediate) {
    if (returned != SS_PENDING)
      return Fail("a sound execute block was not queued: " + std::to_string(returned));
    slot.state = SlotState::Pending;
    slot.everQueued = true;
    ++tally_.executesQueued;
    return;
  }
  ++(immediate->status == SS_INVALID_HA ? tally_.invalidAdapters : tally_.executesRefused);
  const auto* before = reinterpret_cast<const uint8_t*>(&slot.sent);
  const auto* after = reinterpret_cast<const uint8_t*>(&slot.block.srb);
  if (returned != immediate->returned || slot.block.srb.SRB_Status != immediate->status)
    return Fail("execute block answered " + std::to_string(returned) + "/" +
                std::to_string(slot.block.srb.SRB_Status) + ", expected " +
                std::to_string(immediate->returned) + "/" + std::to_string(immediate->status));
  if (auto changed = UnexpectedChanges(before, after, sizeof slot.sent, *immediate); !changed.empty())
    Fail("refused execute block: " + changed);
  if (!GuardIntact(slot.block.guard, GUARD_LEN)) Fail("bytes after a refused execute block written");
}

void SrbFuzzer::Settle(ExecSlot& slot) {
  if (slot.state == SlotState::Lost) return;
  if (slot.state == SlotState::Pending) {
    if (!AwaitCompletion(slot, COMPLETION_WAIT_MS)) {
      slot.state = SlotState::Lost;
      return Fail("an accepted request never completed");
    }
    CheckCompletion(slot);
  } else if (slot.state == SlotState::Aborted &&
             std::memcmp(&slot.block.srb, &slot.afterAbort, sizeof slot.afterAbort) != 0) {
    Fail("an aborted block was written after its abort returned");
  }
  if (slot.block.posts.load() != slot.posts) Fail("a post routine was called once too often");
  if (SystemEvents().WaitForSingleObject(slot.event, 0) == WaitResult::Signalled)
    Fail("an event was signalled once too often");
  slot.posts = slot.block.posts.load();
  slot.state = SlotState::Idle;
}

bool SrbFuzzer::AwaitCompletion(ExecSlot& slot, uint32_t ms) {
  if (!Posting(slot.sent)) return SystemEvents().WaitForSingleObject(slot.event, ms) == WaitResult::Signalled;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (slot.block.posts.load() == slot.posts) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  ++slot.posts;
  return true;
}

void SrbFuzzer::CheckCompletion(ExecSlot& slot) {
  SRB_ExecSCSICmd done;
  std::memcpy(&done, &slot.block.srb, sizeof done);
  if (auto fault = CompletionFaults(slot.sent, done); !fault.empty()) Fail("completion: " + fault);
  if (!GuardIntact(slot.block.guard, GUARD_LEN)) Fail("bytes after a completed execute block written");
  const std::size_t length = slot.sent.SRB_BufLen;
  if (!GuardIntact(&slot.buffer[length], std::min<std::size_t>(TAIL_WATCH, BUFFER_LEN - length)) ||
      !GuardIntact(&slot.buffer[BUFFER_LEN], GUARD_LEN))
    Fail("data written past the request's data length");
  if (done.SRB_Status == SS_COMP) ++tally_.completedGood;
  if (done.SRB_Status == SS_ERR) ++tally_.completedError;
  if (done.SRB_Status == SS_ABORTED) ++tally_.completedAborted;
  slot.state = SlotState::Idle;
}

void SrbFuzzer::FillExecute(ExecSlot& slot) {
  SRB_ExecSCSICmd& srb = slot.block.srb;
  auto* bytes = reinterpret_cast<uint8_t*>(&srb);
  for (std::size_t i = 0; i < sizeof srb; ++i) bytes[i] = Byte();
  srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
  srb.SRB_HaId = AdapterNumber();
  srb.SRB_Target = Chance(92) ? 0 : Byte();
  srb.SRB_Lun = Chance(92) ? 0 : Byte();
  uint8_t flags = Byte();
  if (Chance(92))
    flags = static_cast<uint8_t>((flags & ~(SRB_POSTING | SRB_EVENT_NOTIFY)) |
                                 (Chance(50) ? SRB_POSTING : SRB_EVENT_NOTIFY));
  srb.SRB_Flags = flags;
  const uint32_t size = std::uniform_int_distribution<uint32_t>(0, 99)(random_);
  srb.SRB_BufLen = size < 25   ? 0
                   : size < 65 ? std::uniform_int_distribution<uint32_t>(1, 4096)(random_)
                               : std::uniform_int_distribution<uint32_t>(4097, BUFFER_LEN)(random_);
  srb.SRB_BufPointer = (srb.SRB_BufLen == 0 ? Chance(50) : Chance(2)) ? nullptr : slot.buffer.data();
  srb.SRB_SenseLen = Byte();
  srb.SRB_CDBLen =
      Chance(85) ? static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 16)(random_)) : Byte();
  if (Chance(40)) FillPlausibleCdb(slot);
  srb.SRB_PostProc = Posting(srb) ? reinterpret_cast<void*>(&CountPost) : reinterpret_cast<void*>(slot.event);
  std::fill_n(slot.block.guard, GUARD_LEN, GUARD_BYTE);
  const std::size_t length = srb.SRB_BufLen;
  std::fill_n(&slot.buffer[length], std::min<std::size_t>(TAIL_WATCH, BUFFER_LEN - length), GUARD_BYTE);
}

namespace {

using Random = std::mt19937;

uint8_t RandomByte(Random& random) {
  return static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(random));
}

void PutBigEndian(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
}

// A memory read, for the family reply or anywhere, no longer than the data length.
void PlausibleRead(SRB_ExecSCSICmd& srb, Random& random) {
  const bool family = std::bernoulli_distribution(0.5)(random);
  const uint32_t address =
      family ? 0x4500 : uint32_t{RandomByte(random)} << 16 | uint32_t{RandomByte(random)} << 8;
  srb.CDBByte[0] = 0xCC;
  PutBigEndian(&srb.CDBByte[2], address, 4);
  PutBigEndian(&srb.CDBByte[7], std::min<uint32_t>(srb.SRB_BufLen, RandomByte(random) * 16u), 2);
}

// An upload of 1 to 16 blocks, with the data length it needs.
void PlausibleUpload(SRB_ExecSCSICmd& srb, uint8_t unit, uint8_t* buffer, Random& random) {
  const uint8_t count = static_cast<uint8_t>(std::uniform_int_distribution<int>(1, 16)(random));
  srb.CDBByte[0] = 0xCB;
  srb.CDBByte[1] = static_cast<uint8_t>(unit * 16 + 1);
  srb.CDBByte[3] = unit == 0 ? static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 7)(random)) : 0x24;
  srb.CDBByte[4] = static_cast<uint8_t>(RandomByte(random) & 0xF0);
  srb.CDBByte[8] = count;
  srb.SRB_BufLen = count * 4096u;
  srb.SRB_BufPointer = buffer;
}

// An erase, program or whole-unit erase with one mask bit.
void PlausibleSector(SRB_ExecSCSICmd& srb, uint8_t unit, Random& random) {
  static constexpr uint8_t MODES[] = {2, 4, 8};
  srb.CDBByte[0] = 0xCB;
  srb.CDBByte[1] = static_cast<uint8_t>(unit * 16 + MODES[std::uniform_int_distribution<int>(0, 2)(random)]);
  PutBigEndian(&srb.CDBByte[7], 1u << std::uniform_int_distribution<int>(0, 15)(random), 2);
}

}  // namespace

// Commands the served drive understands, with random units, addresses,
// codes and masks, and a data phase that fits them.
void SrbFuzzer::FillPlausibleCdb(ExecSlot& slot) {
  SRB_ExecSCSICmd& srb = slot.block.srb;
  uint8_t* cdb = srb.CDBByte;
  std::memset(cdb, 0, sizeof srb.CDBByte);
  const uint8_t unit = Chance(50) ? 0 : 1;
  uint8_t direction = 0;
  srb.SRB_CDBLen = 12;
  switch (std::uniform_int_distribution<int>(0, 5)(random_)) {
    case 0:  // INQUIRY
      srb.SRB_CDBLen = 6;
      cdb[0] = 0x12;
      cdb[4] = Byte();
      direction = SRB_DIR_IN;
      break;
    case 1:
      PlausibleRead(srb, random_);
      direction = SRB_DIR_IN;
      break;
    case 2:  // flash mode on or off, mostly with the right code
      cdb[0] = 0xCC;
      cdb[1] = static_cast<uint8_t>(unit * 16 + 1);
      cdb[2] = Chance(50) ? 1 : 0;
      std::memcpy(&cdb[4], Chance(80) ? "W274" : "W275", 4);
      break;
    case 3:
      PlausibleUpload(srb, unit, slot.buffer.data(), random_);
      direction = SRB_DIR_OUT;
      break;
    case 4:  // checksum check
      cdb[0] = 0xCC;
      cdb[1] = static_cast<uint8_t>(unit * 16 + 4);
      cdb[2] = Byte();
      cdb[3] = Byte();
      break;
    default:
      PlausibleSector(srb, unit, random_);
      break;
  }
  srb.SRB_Flags = static_cast<uint8_t>((srb.SRB_Flags & ~(SRB_DIR_IN | SRB_DIR_OUT)) | direction);
}

void SrbFuzzer::Abort() {
  alignas(16) uint8_t area[SCRATCH_LEN + GUARD_LEN];
  for (std::size_t i = 0; i < SCRATCH_LEN; ++i) area[i] = Byte();
  std::fill_n(area + SCRATCH_LEN, GUARD_LEN, GUARD_BYTE);
  SRB_Abort abort;
  std::memcpy(&abort, area, sizeof abort);
  abort.SRB_Cmd = SC_ABORT_SRB;
  abort.SRB_HaId = AdapterNumber();
  // A block that is not queued: an execute block never sent, completed or
  // aborted; a block that is no execute block at all; or none.
  ExecSlot& slot = *slots_[std::uniform_int_distribution<std::size_t>(0, SLOTS - 1)(random_)];
  const int pick = std::uniform_int_distribution<int>(0, 2)(random_);
  const bool notQueued = slot.state == SlotState::Idle || slot.state == SlotState::Aborted;
  abort.SRB_ToAbort = pick == 0 && notQueued ? static_cast<void*>(&slot.block.srb)
                      : pick == 1            ? static_cast<void*>(area)
                                             : nullptr;
  std::memcpy(area, &abort, sizeof abort);
  uint8_t before[sizeof area];
  std::memcpy(before, area, sizeof area);

  const uint32_t returned = send_(area);
  const uint8_t status = area[offsetof(SRB_Header, SRB_Status)];
  if (auto changed = UnexpectedChanges(before, area, sizeof area, ImmediateAnswer{}); !changed.empty())
    Fail("abort block: " + changed);
  if (abort.SRB_HaId >= adapters_.size()) {
    ++tally_.invalidAdapters;
    if (returned != SS_INVALID_HA || status != SS_INVALID_HA)
      Fail("abort with a bad adapter number accepted");
    return;
  }
  // A request the fuzzer has seen complete leaves the queue only after its
  // notification; an abort in between finds it, waits until the worker has
  // let go of it, and may say so. The block must stay untouched from then on.
  const bool finished = abort.SRB_ToAbort == &slot.block.srb && slot.everQueued;
  if (finished && returned == SS_COMP && status == SS_COMP) {
    ++tally_.abortsAfterCompletion;
    std::memcpy(&slot.afterAbort, &slot.block.srb, sizeof slot.afterAbort);
    slot.state = SlotState::Aborted;
    return;
  }
  ++tally_.abortsRefused;
  if (returned != SS_INVALID_SRB || status != SS_INVALID_SRB)
    Fail("abort of a block that is not queued answered " + std::to_string(returned));
}

void SrbFuzzer::AbortQueued(ExecSlot& slot, uint8_t haId) {
  SRB_Abort abort{};
  abort.SRB_Cmd = SC_ABORT_SRB;
  abort.SRB_HaId = haId;
  abort.SRB_ToAbort = &slot.block.srb;
  const uint32_t returned = send_(&abort);
  if (returned == SS_INVALID_SRB && abort.SRB_Status == SS_INVALID_SRB) {
    // It left the queue before the abort looked: its notification was made first.
    ++tally_.abortsRefused;
    if (!AwaitCompletion(slot, 0)) return Fail("a request gone from the queue was never notified");
    return CheckCompletion(slot);
  }
  if (returned != SS_COMP || abort.SRB_Status != SS_COMP)
    return Fail("abort of a queued request answered " + std::to_string(returned));
  ++tally_.abortsOfQueued;
  std::memcpy(&slot.afterAbort, &slot.block.srb, sizeof slot.afterAbort);
  // Either still pending, never to be notified, or completed (and notified)
  // while the abort stopped the worker; from now on nobody writes it.
  if (slot.afterAbort.SRB_Status != SS_PENDING) {
    if (!AwaitCompletion(slot, 0)) Fail("a request completed during its abort was never notified");
    CheckCompletion(slot);
  }
  slot.state = SlotState::Aborted;
}

void SrbFuzzer::AdapterRequest() {
  alignas(16) uint8_t area[SCRATCH_LEN + GUARD_LEN];
  for (std::size_t i = 0; i < SCRATCH_LEN; ++i) area[i] = Byte();
  std::fill_n(area + SCRATCH_LEN, GUARD_LEN, GUARD_BYTE);
  const uint8_t code = CommandCode();
  area[offsetof(SRB_Header, SRB_Cmd)] = code;
  area[offsetof(SRB_Header, SRB_HaId)] = AdapterNumber();
  if (code == SC_GET_DEV_TYPE) {
    area[offsetof(SRB_GDEVBlock, SRB_Target)] = Chance(85) ? 0 : Byte();
    area[offsetof(SRB_GDEVBlock, SRB_Lun)] = Chance(85) ? 0 : Byte();
  }
  if (code == SC_GETSET_TIMEOUTS && Chance(50)) area[offsetof(SRB_Header, SRB_Flags)] = SRB_DIR_OUT;
  uint8_t before[sizeof area];
  std::memcpy(before, area, sizeof area);
  uint32_t timeout = timeoutSeconds_;
  const ImmediateAnswer expected = OtherAnswer(before, adapters_, timeout);

  const uint32_t returned = send_(area);
  if (expected.status == SS_INVALID_HA)
    ++tally_.invalidAdapters;
  else
    ++(expected.status == SS_INVALID_SRB ? tally_.invalidCodes : tally_.adapterRequests);
  if (returned != expected.returned || area[offsetof(SRB_Header, SRB_Status)] != expected.status)
    return Fail("command " + std::to_string(code) + " answered " + std::to_string(returned) + "/" +
                std::to_string(area[offsetof(SRB_Header, SRB_Status)]));
  if (auto changed = UnexpectedChanges(before, area, sizeof area, expected); !changed.empty())
    Fail("command " + std::to_string(code) + ": " + changed);
  if (auto wrong = WrongValues(area, adapters_, timeout); !wrong.empty())
    Fail("command " + std::to_string(code) + ": " + wrong);
  timeoutSeconds_ = timeout;
}

SrbFuzzer::ExecSlot* SrbFuzzer::PendingSlot() {
  const std::size_t start = std::uniform_int_distribution<std::size_t>(0, SLOTS - 1)(random_);
  for (std::size_t i = 0; i < SLOTS; ++i) {
    ExecSlot& slot = *slots_[(start + i) % SLOTS];
    if (slot.state == SlotState::Pending) return &slot;
  }
  return nullptr;
}

uint8_t SrbFuzzer::AdapterNumber() {
  if (Chance(88))
    return static_cast<uint8_t>(std::uniform_int_distribution<std::size_t>(0, adapters_.size() - 1)(random_));
  return Byte();
}

// Mostly the adapter requests the simulator answers, otherwise any code;
// executes and aborts have their own blocks.
uint8_t SrbFuzzer::CommandCode() {
  uint8_t code = Chance(60) ? COMMON_CODES[std::uniform_int_distribution<int>(0, 4)(random_)] : Byte();
  if (code == SC_EXEC_SCSI_CMD) code = 0x05;
  if (code == SC_ABORT_SRB) code = 0x06;
  if (code == SC_GETSET_TIMEOUTS && !settings_.ownsTimeout) code = SC_RESCAN_SCSI_BUS;
  return code;
}

uint8_t SrbFuzzer::Byte() {
  return static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(random_));
}

bool SrbFuzzer::Chance(uint32_t percent) {
  return std::uniform_int_distribution<uint32_t>(0, 99)(random_) < percent;
}

void SrbFuzzer::Fail(const std::string& what) {
  ++failures_;
  ADD_FAILURE() << "block " << tally_.blocks << " (seed " << settings_.seed << "): " << what;
}

}  // namespace reliability
