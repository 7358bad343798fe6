// zorvex-usb-drive: the virtual RT-5800B as a USB mass-storage device, for
// testing the program against a real kernel's SCSI stack (usb-storage, the
// SCSI midlayer, sg and sr) in a virtual machine: it serves the bulk-only
// transport on an already mounted FunctionFS instance, in front of the same
// drive row as the demo (tap -> fault injector -> virtual drive), whose
// command log has the demo's format. Never part of the product.
//   zorvex-usb-drive --ffs DIR [--command-log FILE] [--ready FILE] [--fail KIND:N:SENSE]...
//                    [--hang KIND:N]... [--latency KIND:MS]... [--data-out FILE]
// --ready FILE is created once the function is serving, so that the UDC is
// bound only then (the host sends INQUIRY as soon as it sees the device).
// --fail makes the N-th command of KIND fail with CHECK CONDITION and that
// sense byte 2 (hex), as the demo's option does; --hang makes it never
// complete (until a reset takes it back: it never reaches the drive then);
// --latency makes every command of KIND take that long; --data-out FILE
// receives the data of every command that sent data to the drive, in order.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "emulator/command_kind.h"
#include "emulator/drive_row.h"
#include "emulator/bulk_only.h"
#include "emulator/usb_drive/function_fs_port.h"

namespace {

// Appends the data of every command that sends data to the drive to a
// file, in arrival order (for the yardstick loop, which sends the same).
class DataOutRecorder final : public emulator::ScsiDevice {
 public:
  DataOutRecorder(emulator::ScsiDevice& inner, std::FILE* file) : inner_(inner), file_(file) {}
  bool Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) override {
    if (command.direction == emulator::DataDirection::Out && command.data != nullptr &&
        (std::fwrite(command.data, 1, command.dataLen, file_) != command.dataLen || std::fflush(file_) != 0))
      std::fprintf(stderr, "zorvex-usb-drive: the data-out file could not be written\n");
    return inner_.Execute(command, reply);
  }

 private:
  emulator::ScsiDevice& inner_;
  std::FILE* const file_;
};

// "KIND:N:X" (X in hex) or, with `hex` false, "KIND:N" (X is 0).
bool ParseKindNumber(const std::string& text, bool hex, emulator::CommandKind& kind, unsigned& n, unsigned& x) {
  char name[32] = {};
  const int fields = std::sscanf(text.c_str(), hex ? "%31[^:]:%u:%x" : "%31[^:]:%u", name, &n, &x);
  const auto parsed = emulator::ParseCommandKind(name);
  if (fields != (hex ? 3 : 2) || !parsed) return false;
  kind = *parsed;
  return true;
}

bool ParseOption(const std::string& option, const std::string& value, emulator::DriveRowOptions& options) {
  emulator::CommandKind kind{};
  unsigned n = 0, x = 0;
  if (option == "--fail" && ParseKindNumber(value, true, kind, n, x) && n > 0)
    options.failures.push_back({kind, n, static_cast<uint8_t>(x)});
  else if (option == "--hang" && ParseKindNumber(value, false, kind, n, x) && n > 0)
    options.failures.push_back({kind, n, 0, true});
  else if (option == "--latency" && ParseKindNumber(value, false, kind, n, x))
    options.latencies.push_back({kind, n});
  else
    return false;
  return true;
}

int Usage(const char* problem) {
  std::fprintf(stderr,
               "zorvex-usb-drive: %s\nusage: zorvex-usb-drive --ffs DIR [--command-log FILE] [--ready FILE] "
               "[--fail KIND:N:SENSE]... [--hang KIND:N]... [--latency KIND:MS]... [--data-out FILE]\n",
               problem);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder, ready, dataOut;
  emulator::DriveRowOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return Usage(("no value after " + option).c_str());
    const std::string value = argv[++i];
    if (option == "--ffs")
      folder = value;
    else if (option == "--command-log")
      options.logPath = value;
    else if (option == "--ready")
      ready = value;
    else if (option == "--data-out")
      dataOut = value;
    else if (!ParseOption(option, value, options))
      return Usage(("bad option " + option + " " + value).c_str());
  }
  if (folder.empty()) return Usage("--ffs is needed");
  std::string error;
  emulator::DriveRow row(options, error);
  if (!error.empty()) return Usage(error.c_str());
  std::FILE* dataFile = dataOut.empty() ? nullptr : std::fopen(dataOut.c_str(), "wb");
  if (!dataOut.empty() && dataFile == nullptr) return Usage(("cannot create " + dataOut).c_str());
  DataOutRecorder recorder(row.Device(0), dataFile);
  emulator::BulkOnlyDrive drive(dataFile != nullptr ? static_cast<emulator::ScsiDevice&>(recorder) : row.Device(0));
  emulator::FunctionFsPort port([&row] { row.DropHeld(); });
  if (const std::string problem = port.Open(folder); !problem.empty()) {
    std::fprintf(stderr, "zorvex-usb-drive: %s\n", problem.c_str());
    return 1;
  }
  if (!ready.empty()) {
    std::FILE* file = std::fopen(ready.c_str(), "w");
    if (file == nullptr || std::fclose(file) != 0) return Usage(("cannot create " + ready).c_str());
  }
  port.Serve(drive);
  return 0;
}
