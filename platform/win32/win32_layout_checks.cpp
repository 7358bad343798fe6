// The device layer hands the blocks of platform/device_layer.h to the system
// unchanged, so they must be the system's own layouts: checked here against
// the system's header on every Windows build, and against the published
// 32-bit sizes on the 32-bit one. Nothing here runs.
#include <cstddef>

// In this order: each needs the one before.
// clang-format off
#include "platform/win32/windows_api.h"
#include <winioctl.h>
#include <ntddscsi.h>
// clang-format on

namespace {

// Taken before the header's macros are put away: the platform names clash.
constexpr DWORD SYSTEM_GET_INQUIRY_DATA = IOCTL_SCSI_GET_INQUIRY_DATA;
constexpr DWORD SYSTEM_GET_CAPABILITIES = IOCTL_SCSI_GET_CAPABILITIES;
constexpr DWORD SYSTEM_PASS_THROUGH_DIRECT = IOCTL_SCSI_PASS_THROUGH_DIRECT;
constexpr DWORD SYSTEM_DATA_OUT = SCSI_IOCTL_DATA_OUT;
constexpr DWORD SYSTEM_DATA_IN = SCSI_IOCTL_DATA_IN;

}  // namespace

#undef IOCTL_SCSI_GET_INQUIRY_DATA
#undef IOCTL_SCSI_GET_CAPABILITIES
#undef IOCTL_SCSI_PASS_THROUGH_DIRECT
#undef SCSI_IOCTL_DATA_OUT
#undef SCSI_IOCTL_DATA_IN

#include "platform/adapter_bus_info.h"
#include "platform/device_layer.h"

namespace {

namespace p = platform;

static_assert(p::IOCTL_SCSI_GET_INQUIRY_DATA == SYSTEM_GET_INQUIRY_DATA);
static_assert(p::IOCTL_SCSI_GET_CAPABILITIES == SYSTEM_GET_CAPABILITIES);
static_assert(p::IOCTL_SCSI_PASS_THROUGH_DIRECT == SYSTEM_PASS_THROUGH_DIRECT);
static_assert(p::SCSI_IOCTL_DATA_OUT == SYSTEM_DATA_OUT);
static_assert(p::SCSI_IOCTL_DATA_IN == SYSTEM_DATA_IN);

#define ZX_SAME_FIELD(ours, theirs, field) static_assert(offsetof(ours, field) == offsetof(theirs, field))

ZX_SAME_FIELD(p::SCSI_PASS_THROUGH_DIRECT, ::SCSI_PASS_THROUGH_DIRECT, Length);
ZX_SAME_FIELD(p::SCSI_PASS_THROUGH_DIRECT, ::SCSI_PASS_THROUGH_DIRECT, ScsiStatus);
ZX_SAME_FIELD(p::SCSI_PASS_THROUGH_DIRECT, ::SCSI_PASS_THROUGH_DIRECT, CdbLength);
ZX_SAME_FIELD(p::SCSI_PASS_THROUGH_DIRECT, ::SCSI_PASS_THROUGH_DIRECT, SenseInfoLength);
ZX_SAME_FIELD(p::SCSI_PASS_THROUGH_DIRECT, ::SCSI_PASS_THROUGH_DIRECT, DataIn);
ZX_SAME_FIELD(p::SCSI_PASS_THROUGH_DIRECT, ::SCSI_PASS_THROUGH_DIRECT, DataTransferLength);
ZX_SAME_FIELD(p::SCSI_PASS_THROUGH_DIRECT, ::SCSI_PASS_THROUGH_DIRECT, TimeOutValue);
ZX_SAME_FIELD(p::SCSI_PASS_THROUGH_DIRECT, ::SCSI_PASS_THROUGH_DIRECT, DataBuffer);
ZX_SAME_FIELD(p::SCSI_PASS_THROUGH_DIRECT, ::SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset);
ZX_SAME_FIELD(p::SCSI_PASS_THROUGH_DIRECT, ::SCSI_PASS_THROUGH_DIRECT, Cdb);
static_assert(sizeof(p::SCSI_PASS_THROUGH_DIRECT) == sizeof(::SCSI_PASS_THROUGH_DIRECT));

ZX_SAME_FIELD(p::SCSI_INQUIRY_DATA, ::SCSI_INQUIRY_DATA, DeviceClaimed);
ZX_SAME_FIELD(p::SCSI_INQUIRY_DATA, ::SCSI_INQUIRY_DATA, InquiryDataLength);
ZX_SAME_FIELD(p::SCSI_INQUIRY_DATA, ::SCSI_INQUIRY_DATA, NextInquiryDataOffset);
ZX_SAME_FIELD(p::SCSI_INQUIRY_DATA, ::SCSI_INQUIRY_DATA, InquiryData);

ZX_SAME_FIELD(p::IO_SCSI_CAPABILITIES, ::IO_SCSI_CAPABILITIES, MaximumTransferLength);
ZX_SAME_FIELD(p::IO_SCSI_CAPABILITIES, ::IO_SCSI_CAPABILITIES, AlignmentMask);
ZX_SAME_FIELD(p::IO_SCSI_CAPABILITIES, ::IO_SCSI_CAPABILITIES, AdapterUsesPio);
static_assert(sizeof(p::IO_SCSI_CAPABILITIES) == sizeof(::IO_SCSI_CAPABILITIES));

static_assert(p::BUS_INFO_FIRST_INQUIRY_OFFSET ==
              offsetof(::SCSI_ADAPTER_BUS_INFO, BusData) + offsetof(::SCSI_BUS_DATA, InquiryDataOffset));
static_assert(p::BUS_INFO_ONE_BUS_SIZE == sizeof(::SCSI_ADAPTER_BUS_INFO));

#undef ZX_SAME_FIELD

// The 32-bit program: the published sizes, with this build's own pointers.
static_assert(sizeof(void*) != 4 || sizeof(p::SCSI_PASS_THROUGH_DIRECT) == 44);
static_assert(sizeof(void*) != 4 || offsetof(p::SptdBlock, SenseBuf) == 48);
static_assert(sizeof(void*) != 4 || sizeof(p::SptdBlock) == 80);
static_assert(sizeof(void*) != 4 || p::SPTD_SENSE_OFFSET == 48);

}  // namespace
