#include "tests/drive/discovery_rig.h"

#include <algorithm>
#include <cstring>

#include "emulator/command_kind.h"
#include "emulator/inquiry_data.h"

namespace discovery_tests {

std::string Line(uint8_t adapter, uint8_t target, std::string_view identity) {
  std::string line = "[HA:0/ID:0]";
  line[4] = static_cast<char>(0x30 + adapter);
  line[9] = static_cast<char>(0x30 + target);
  return line + std::string(identity);
}

InquiryBytes DefaultInquiry() { return emulator::BuildInquiryData({}); }

InquiryOverride::InquiryOverride(emulator::ScsiDevice& inner, const InquiryBytes& reply, uint32_t transferred)
    : inner_(inner), reply_(reply), transferred_(transferred) {}

bool InquiryOverride::Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) {
  if (emulator::ClassifyCommand(command.cdb, command.cdbLen) != emulator::CommandKind::Inquiry)
    return inner_.Execute(command, reply);
  reply = emulator::ScsiReply{};
  const uint32_t count = std::min({transferred_, command.dataLen, uint32_t{INQUIRY_REPLY_LEN}});
  std::memcpy(command.data, reply_.data(), count);
  reply.transferred = count;
  return true;
}

DiscoveryRig::DiscoveryRig(int32_t adapterCount) {
  fakes::TestAspi::InstallInto(test->aspi);
  selection.hostAdapterCount.store(adapterCount);
}

DiscoveryRig::~DiscoveryRig() {
  for (auto& injector : injectors_) injector.Interrupt();
}

emulator::VirtualDrive& DiscoveryRig::AddDrive(uint8_t adapter, uint8_t target,
                                               emulator::VirtualDriveOptions options) {
  emulator::VirtualDrive& drive = drives_.emplace_back(std::move(options));
  aspi.Attach(adapter, target, drive);
  return drive;
}

void DiscoveryRig::AddInquiry(uint8_t adapter, uint8_t target, const InquiryBytes& reply,
                              uint32_t transferred) {
  InquiryOverride& device = overrides_.emplace_back(drives_.emplace_back(), reply, transferred);
  aspi.Attach(adapter, target, device);
}

emulator::FaultInjector& DiscoveryRig::AddFaulty(uint8_t adapter, uint8_t target) {
  emulator::FaultInjector& injector = injectors_.emplace_back(drives_.emplace_back());
  aspi.Attach(adapter, target, injector);
  return injector;
}

std::vector<uint8_t> DiscoveryRig::OpcodesSentTo(uint8_t adapter, uint8_t target) const {
  std::vector<uint8_t> opcodes;
  for (const SRB_ExecSCSICmd& block : aspi.Submitted())
    if (block.SRB_HaId == adapter && block.SRB_Target == target) opcodes.push_back(block.CDBByte[0]);
  return opcodes;
}

}  // namespace discovery_tests
