#include "tests/reliability/hostile_device.h"

#include <algorithm>
#include <cstring>

#include "emulator/command_kind.h"
#include "emulator/inquiry_data.h"
#include "emulator/sense_data.h"

namespace reliability {

namespace {

constexpr std::size_t IDENTITY_FROM = 8;
constexpr std::size_t IDENTITY_TO = 35;  // byte 35 is never compared
constexpr char FAMILY_TAG[] = "R580";

std::vector<uint8_t> RandomBytes(std::mt19937& random, std::size_t size) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(byte(random));
  return bytes;
}

HostileAnswer DrawFailureOr(std::mt19937& random, double goodShare, std::vector<uint8_t> bytes) {
  HostileAnswer answer;
  const double roll = std::uniform_real_distribution<double>(0, 1)(random);
  if (roll < goodShare) {
    answer.bytes = std::move(bytes);
  } else if (roll < goodShare + (1 - goodShare) * 0.7) {
    answer.status = emulator::SCSI_CHECK_CONDITION;
    answer.senseByte2 = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(random));
  } else {
    answer.status = emulator::SCSI_BUSY;
  }
  return answer;
}

bool Answer(const HostileAnswer& answer, const emulator::ScsiCommand& command, emulator::ScsiReply& reply) {
  reply = emulator::ScsiReply{};
  if (answer.status == emulator::SCSI_CHECK_CONDITION) {
    emulator::SetCheckCondition(reply, answer.senseByte2, 0x44, 0x00);
    return true;
  }
  reply.status = answer.status;
  if (answer.status != emulator::SCSI_GOOD || command.data == nullptr) return true;
  const std::size_t n = std::min<std::size_t>(answer.bytes.size(), command.dataLen);
  if (n > 0) std::memcpy(command.data, answer.bytes.data(), n);
  reply.transferred = static_cast<uint32_t>(n);
  return true;
}

}  // namespace

std::vector<uint8_t> ServedIdentity() {
  const auto data = emulator::BuildInquiryData({});
  return {data.begin(), data.end()};
}

HostileAnswers DrawHostileAnswers(std::mt19937& random) {
  HostileAnswers a;
  std::bernoulli_distribution half(0.5);
  // A quarter of the replies are short, down to nothing.
  const std::size_t inquiryLength = std::bernoulli_distribution(0.25)(random)
                                        ? std::uniform_int_distribution<std::size_t>(0, 35)(random)
                                        : 36;
  std::vector<uint8_t> inquiry = RandomBytes(random, inquiryLength);
  a.identityPlanted = half(random);
  if (a.identityPlanted) {
    const auto served = ServedIdentity();
    for (std::size_t i = IDENTITY_FROM; i < IDENTITY_TO && i < inquiry.size(); ++i) inquiry[i] = served[i];
  }
  a.inquiry = DrawFailureOr(random, 0.85, std::move(inquiry));

  std::vector<uint8_t> family =
      RandomBytes(random, std::uniform_int_distribution<std::size_t>(0, 48)(random));
  a.tagPlanted = half(random);
  if (a.tagPlanted) std::copy_n(FAMILY_TAG, std::min<std::size_t>(4, family.size()), family.begin());
  a.family = DrawFailureOr(random, 0.7, std::move(family));
  return a;
}

bool HostileDevice::Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) {
  switch (emulator::ClassifyCommand(command.cdb, command.cdbLen)) {
    case emulator::CommandKind::Inquiry:
      return Answer(answers_.inquiry, command, reply);
    case emulator::CommandKind::Read:
      return Answer(answers_.family, command, reply);
    default:
      reply = emulator::ScsiReply{};
      emulator::SetRefusal(reply, emulator::Refusal::InvalidOpcode);
      return true;
  }
}

}  // namespace reliability
