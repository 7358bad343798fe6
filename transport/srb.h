// ASPI for Win32 request blocks, codes and entry points, shared by the drive
// commands, the system ASPI library and the pass-through simulator.
//
// Layouts follow the published 32-bit interface field for field. On a 64-bit
// build the address and handle fields (SRB_BufPointer, SRB_PostProc,
// SRB_ToAbort) are pointer-wide and everything behind them moves; the blocks
// never cross a process boundary, so only field order and meaning must hold.
// The 32-bit layout is checked below through the same templates.
//
// Offsets on this 64-bit build (natural alignment):
//   SRB_ExecSCSICmd (96 bytes): SRB_Target 8, SRB_Lun 9, SRB_BufLen 12,
//     SRB_BufPointer 16, SRB_SenseLen 24, SRB_CDBLen 25, SRB_HaStat 26,
//     SRB_TargStat 27, SRB_PostProc 32, SRB_Rsvd2 40, SRB_Rsvd3 44,
//     CDBByte 60, SenseArea 76.
//   SRB_Abort (16 bytes): SRB_ToAbort 8.
//   SRB_BusDeviceReset (88 bytes): SRB_HaStat 22, SRB_TargStat 23,
//     SRB_PostProc 24, CDBByte 52.
//   SRB_HAInquiry 60, SRB_GDEVBlock 12, SRB_GetSetTimeouts 16: as on 32 bits.
//
// Threads: plain records; whoever owns a block writes it. The entry-point
// pointers are atomics: start-up installs them, the flash thread reads them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Command codes (SRB_Cmd).
inline constexpr uint8_t SC_HA_INQUIRY = 0x00;
inline constexpr uint8_t SC_GET_DEV_TYPE = 0x01;
inline constexpr uint8_t SC_EXEC_SCSI_CMD = 0x02;
inline constexpr uint8_t SC_ABORT_SRB = 0x03;
inline constexpr uint8_t SC_RESET_DEV = 0x04;
inline constexpr uint8_t SC_RESCAN_SCSI_BUS = 0x07;
inline constexpr uint8_t SC_GETSET_TIMEOUTS = 0x08;

// Status codes (SRB_Status and the support-information status byte).
inline constexpr uint8_t SS_PENDING = 0x00;
inline constexpr uint8_t SS_COMP = 0x01;
inline constexpr uint8_t SS_ABORTED = 0x02;
inline constexpr uint8_t SS_ERR = 0x04;
inline constexpr uint8_t SS_INVALID_HA = 0x81;
inline constexpr uint8_t SS_NO_DEVICE = 0x82;
inline constexpr uint8_t SS_INVALID_SRB = 0xE0;
inline constexpr uint8_t SS_FAILED_INIT = 0xE4;

// Request flags (SRB_Flags).
inline constexpr uint8_t SRB_POSTING = 0x01;
inline constexpr uint8_t SRB_ENABLE_RESIDUAL_COUNT = 0x04;
inline constexpr uint8_t SRB_DIR_IN = 0x08;
inline constexpr uint8_t SRB_DIR_OUT = 0x10;
inline constexpr uint8_t SRB_EVENT_NOTIFY = 0x40;

// Host adapter and target status.
inline constexpr uint8_t HASTAT_OK = 0x00;
inline constexpr uint8_t HASTAT_TIMEOUT = 0x09;
inline constexpr uint8_t STATUS_GOOD = 0x00;
inline constexpr uint8_t STATUS_CHKCOND = 0x02;
inline constexpr uint8_t STATUS_BUSY = 0x08;

inline constexpr std::size_t SENSE_AREA_LEN = 20;

template <typename Addr>
struct SRB_HeaderT {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
};

template <typename Addr>
struct SRB_ExecSCSICmdT {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint16_t SRB_Rsvd1;
  uint32_t SRB_BufLen;
  Addr SRB_BufPointer;
  uint8_t SRB_SenseLen;
  uint8_t SRB_CDBLen;
  uint8_t SRB_HaStat;
  uint8_t SRB_TargStat;
  Addr SRB_PostProc;
  uint32_t SRB_Rsvd2;
  uint8_t SRB_Rsvd3[16];
  uint8_t CDBByte[16];
  uint8_t SenseArea[SENSE_AREA_LEN];
};

struct SRB_HAInquiry {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t HA_Count;
  uint8_t HA_SCSI_ID;
  uint8_t HA_ManagerId[16];
  uint8_t HA_Identifier[16];
  uint8_t HA_Unique[16];
  uint16_t HA_Rsvd1;
};

struct SRB_GDEVBlock {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint8_t SRB_DeviceType;
  uint8_t SRB_Rsvd1;
};

template <typename Addr>
struct SRB_AbortT {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  Addr SRB_ToAbort;
};

template <typename Addr>
struct SRB_BusDeviceResetT {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint8_t SRB_Rsvd1[12];
  uint8_t SRB_HaStat;
  uint8_t SRB_TargStat;
  Addr SRB_PostProc;
  uint32_t SRB_Rsvd2;
  uint8_t SRB_Rsvd3[16];
  uint8_t CDBByte[16];
};

struct SRB_GetSetTimeouts {
  uint8_t SRB_Cmd;
  uint8_t SRB_Status;
  uint8_t SRB_HaId;
  uint8_t SRB_Flags;
  uint32_t SRB_Hdr_Rsvd;
  uint8_t SRB_Target;
  uint8_t SRB_Lun;
  uint16_t SRB_Rsvd1;
  uint32_t SRB_Timeout;
};

using SRB_Header = SRB_HeaderT<void*>;
using SRB_ExecSCSICmd = SRB_ExecSCSICmdT<void*>;
using SRB_Abort = SRB_AbortT<void*>;
using SRB_BusDeviceReset = SRB_BusDeviceResetT<void*>;

// The published 32-bit layouts.
static_assert(sizeof(SRB_ExecSCSICmdT<uint32_t>) == 84);
static_assert(offsetof(SRB_ExecSCSICmdT<uint32_t>, SRB_BufPointer) == 16);
static_assert(offsetof(SRB_ExecSCSICmdT<uint32_t>, SRB_PostProc) == 24);
static_assert(offsetof(SRB_ExecSCSICmdT<uint32_t>, CDBByte) == 48);
static_assert(offsetof(SRB_ExecSCSICmdT<uint32_t>, SenseArea) == 64);
static_assert(sizeof(SRB_AbortT<uint32_t>) == 12);
static_assert(offsetof(SRB_BusDeviceResetT<uint32_t>, SRB_HaStat) == 22);
static_assert(offsetof(SRB_BusDeviceResetT<uint32_t>, SRB_PostProc) == 24);
static_assert(offsetof(SRB_BusDeviceResetT<uint32_t>, CDBByte) == 48);
static_assert(sizeof(SRB_HAInquiry) == 60);
static_assert(offsetof(SRB_HAInquiry, HA_Unique) == 42);
static_assert(sizeof(SRB_GDEVBlock) == 12);
static_assert(offsetof(SRB_GetSetTimeouts, SRB_Timeout) == 12);

// The 32-bit program's own blocks are the published ones.
static_assert(sizeof(void*) != 4 || sizeof(SRB_ExecSCSICmd) == 84);
static_assert(sizeof(void*) != 4 || offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16);
static_assert(sizeof(void*) != 4 || offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 24);
static_assert(sizeof(void*) != 4 || offsetof(SRB_ExecSCSICmd, CDBByte) == 48);
static_assert(sizeof(void*) != 4 || offsetof(SRB_ExecSCSICmd, SenseArea) == 64);
static_assert(sizeof(void*) != 4 || sizeof(SRB_Abort) == 12);
static_assert(sizeof(void*) != 4 || offsetof(SRB_BusDeviceReset, SRB_PostProc) == 24);
static_assert(sizeof(void*) != 4 || offsetof(SRB_BusDeviceReset, CDBByte) == 48);

// This build's layouts, as documented above.
static_assert(sizeof(void*) != 8 || sizeof(SRB_ExecSCSICmd) == 96);
static_assert(sizeof(void*) != 8 || offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 32);
static_assert(sizeof(void*) != 8 || offsetof(SRB_ExecSCSICmd, CDBByte) == 60);
static_assert(sizeof(void*) != 8 || offsetof(SRB_ExecSCSICmd, SenseArea) == 76);
static_assert(sizeof(void*) != 8 || sizeof(SRB_Abort) == 16);

// The support-information word: adapter count in bits 0-7, status in 8-15.
constexpr uint8_t SupportInfoAdapterCount(uint32_t word) { return word & 0xFF; }
constexpr uint8_t SupportInfoStatus(uint32_t word) { return (word >> 8) & 0xFF; }

using GetASPI32SupportInfoFn = uint32_t (*)();
using SendASPI32CommandFn = uint32_t (*)(void* srb);
using PostProcFn = void (*)(void* srb);

// The program's two entry points, empty at start. Installed once by start-up
// and emptied by unloading the library; read by any thread.
struct AspiEntryPoints {
  std::atomic<GetASPI32SupportInfoFn> GetASPI32SupportInfo{nullptr};
  std::atomic<SendASPI32CommandFn> SendASPI32Command{nullptr};
};
