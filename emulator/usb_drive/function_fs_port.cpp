#include "emulator/usb_drive/function_fs_port.h"

#include <endian.h>
#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace emulator {

namespace {

constexpr uint8_t CLASS_MASS_STORAGE = 0x08;
constexpr uint8_t SUBCLASS_SCSI = 0x06;
constexpr uint8_t PROTOCOL_BULK_ONLY = 0x50;
constexpr uint8_t REQUEST_MASS_STORAGE_RESET = 0xFF;
constexpr uint8_t REQUEST_GET_MAX_LUN = 0xFE;
// How often a reset is told again to a command loop that has not yet taken it
// in (it may have been between its check and its next transfer).
constexpr int RESET_REPEAT_MS = 20;

struct __attribute__((packed)) Interface {
  usb_interface_descriptor intf;
  usb_endpoint_descriptor_no_audio in;
  usb_endpoint_descriptor_no_audio out;
};

struct __attribute__((packed)) Descriptors {
  usb_functionfs_descs_head_v2 header;
  __le32 fsCount;
  __le32 hsCount;
  Interface fs;
  Interface hs;
};

struct __attribute__((packed)) Strings {
  usb_functionfs_strings_head header;
  __le16 language;
  char name[sizeof "Zorvex RT-5800B"];
};

Interface MakeInterface(uint16_t maxPacket) {
  Interface i{};
  i.intf = {USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE, 0, 0, 2, CLASS_MASS_STORAGE, SUBCLASS_SCSI,
            PROTOCOL_BULK_ONLY, 1};
  i.in = {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, 1 | USB_DIR_IN, USB_ENDPOINT_XFER_BULK, htole16(maxPacket), 0};
  i.out = {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, 2 | USB_DIR_OUT, USB_ENDPOINT_XFER_BULK, htole16(maxPacket), 0};
  return i;
}

bool WriteAll(int fd, const void* bytes, std::size_t length) {
  return ::write(fd, bytes, length) == static_cast<ssize_t>(length);
}

std::string Failed(const std::string& what) { return what + ": " + std::strerror(errno); }

// Only there to break a blocking endpoint transfer (no SA_RESTART).
void Wake(int) {}

}  // namespace

FunctionFsPort::~FunctionFsPort() {
  serving_ = false;
  if (control_.joinable()) {
    ::pthread_kill(control_.native_handle(), SIGUSR1);  // breaks its read of endpoint 0
    control_.join();
  }
  if (ep0_ >= 0) ::close(ep0_);
  if (in_ >= 0) ::close(in_);
  if (out_ >= 0) ::close(out_);
}

std::string FunctionFsPort::Open(const std::string& folder) {
  ep0_ = ::open((folder + "/ep0").c_str(), O_RDWR | O_CLOEXEC);
  if (ep0_ < 0) return Failed(folder + "/ep0");
  Descriptors d{};
  d.header.magic = htole32(FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
  d.header.length = htole32(sizeof d);
  d.header.flags = htole32(FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
  d.fsCount = d.hsCount = htole32(3);
  d.fs = MakeInterface(64);
  d.hs = MakeInterface(512);
  Strings s{};
  s.header = {htole32(FUNCTIONFS_STRINGS_MAGIC), htole32(sizeof s), htole32(1), htole32(1)};
  s.language = htole16(0x0409);
  std::memcpy(s.name, "Zorvex RT-5800B", sizeof s.name);
  if (!WriteAll(ep0_, &d, sizeof d)) return Failed("the descriptors");
  if (!WriteAll(ep0_, &s, sizeof s)) return Failed("the strings");
  in_ = ::open((folder + "/ep1").c_str(), O_RDWR | O_CLOEXEC);
  out_ = ::open((folder + "/ep2").c_str(), O_RDWR | O_CLOEXEC);
  if (in_ < 0 || out_ < 0) return Failed("the bulk endpoints");
  struct sigaction wake {};
  wake.sa_handler = Wake;
  sigemptyset(&wake.sa_mask);
  ::sigaction(SIGUSR1, &wake, nullptr);
  commandThread_ = ::pthread_self();
  serving_ = true;
  control_ = std::thread([this] { ServeControl(); });
  return {};
}

bool FunctionFsPort::HandleSetup(const void* request) {
  usb_ctrlrequest setup;
  std::memcpy(&setup, request, sizeof setup);
  const bool in = (setup.bRequestType & USB_DIR_IN) != 0;
  const bool forClass = (setup.bRequestType & USB_TYPE_MASK) == USB_TYPE_CLASS;
  if (forClass && !in && setup.bRequest == REQUEST_MASS_STORAGE_RESET) {
    (void)::read(ep0_, nullptr, 0);  // the status stage
    return true;
  }
  if (forClass && in && setup.bRequest == REQUEST_GET_MAX_LUN) {
    const uint8_t maxLun = 0;
    (void)::write(ep0_, &maxLun, 1);
    return false;
  }
  // Anything else is stalled: a transfer against the request's direction.
  if (in)
    (void)::read(ep0_, nullptr, 0);
  else
    (void)::write(ep0_, nullptr, 0);
  return false;
}

void FunctionFsPort::ServeControl() {
  usb_functionfs_event events[4];
  while (serving_) {
    if (taken_.load() < resets_.load()) {
      ::pthread_kill(static_cast<pthread_t>(commandThread_), SIGUSR1);
      pollfd control{ep0_, POLLIN, 0};
      if (::poll(&control, 1, RESET_REPEAT_MS) == 0) continue;
    }
    const ssize_t n = ::read(ep0_, events, sizeof events);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bool reset = false;
    for (ssize_t i = 0; i < n / static_cast<ssize_t>(sizeof events[0]); ++i) {
      if (events[i].type == FUNCTIONFS_SETUP) reset |= HandleSetup(&events[i].u.setup);
      if (events[i].type == FUNCTIONFS_DISABLE) reset = true;
    }
    if (!reset) continue;
    ++resets_;
    std::fprintf(stderr, "zorvex-usb-drive: reset\n");
    onReset_();
  }
}

bool FunctionFsPort::Move(int fd, uint8_t* bytes, std::size_t length, bool write, uint64_t since) {
  std::size_t done = 0;
  while (done < length) {
    if (resets_.load() != since) return false;
    const ssize_t n = write ? ::write(fd, bytes + done, length - done) : ::read(fd, bytes + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void FunctionFsPort::Serve(BulkOnlyDrive& drive) {
  std::vector<uint8_t> data;
  while (serving_) {
    const uint64_t since = resets_.load();
    taken_ = since;
    uint8_t wrapper[CBW_LENGTH];
    const ssize_t n = ::read(out_, wrapper, sizeof wrapper);
    if (n < 0 && (errno == EBADF || errno == ENODEV)) return;
    if (n < 0) continue;  // a reset, or the function disabled: wait for the next command
    const auto block = ParseCommandBlock(wrapper, static_cast<std::size_t>(n));
    if (!block) {
      std::fprintf(stderr, "zorvex-usb-drive: a transfer of %zd bytes that is no command block, ignored\n", n);
      continue;
    }
    data.assign(block->dataIn ? 0 : block->dataLength, 0);
    if (!block->dataIn && block->dataLength > 0 && !Move(out_, data.data(), data.size(), false, since)) continue;
    const CommandAnswer answer = drive.Perform(*block, data);
    // A reset while the drive worked: the host has given the command up.
    if (block->dataIn && block->dataLength > 0 && !Move(in_, data.data(), block->dataLength, true, since)) continue;
    auto status = FormatCommandStatus(block->tag, answer.residue, answer.status);
    (void)Move(in_, status.data(), status.size(), true, since);
  }
}

}  // namespace emulator
