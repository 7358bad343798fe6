// The two exported entry points of the virtual ASPI library and the library's
// one instance, made when the library is loaded and torn down when it is
// unloaded: read the configuration, build the drives, start the engine.
// Completions reach the caller's events through MODULE_SET_EVENT: on Linux
// the program's table through zx_SetEvent, which the loading executable
// provides; on Windows the system's SetEvent. Problems go to
// zx_ReportLibraryProblem when the loading executable provides one (the
// Linux demo, which decides its exit status by them), else to stderr.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "emulator/aspi_module/aspi_export.h"
#include "emulator/aspi_module/drive_rack.h"
#include "emulator/aspi_module/module_config.h"
#include "emulator/aspi_module/request_engine.h"
#include "platform/event.h"
#include "transport/srb.h"

namespace {

// Weak: a program without it still loads the library.
extern "C" void zx_ReportLibraryProblem(const char* line) __attribute__((weak));

void Complain(const std::string& text) {
  const std::string line = "wnaspi32.dll: " + text;
  if (zx_ReportLibraryProblem != nullptr)
    zx_ReportLibraryProblem(line.c_str());
  else
    std::fprintf(stderr, "%s\n", line.c_str());
}

class VirtualAspi {
 public:
  VirtualAspi() {
    const char* text = std::getenv(aspi_module::CONFIG_VARIABLE);
    aspi_module::ConfigResult parsed = aspi_module::ParseModuleConfig(text == nullptr ? "" : text);
    if (!parsed.error.empty()) {
      Complain(std::string(aspi_module::CONFIG_VARIABLE) + ": " + parsed.error);
      return;
    }
    config_ = parsed.config;
    std::string error;
    rack_ = std::make_unique<aspi_module::DriveRack>(config_, error);
    if (!error.empty()) {
      Complain(error);
      rack_.reset();
      return;
    }
    engine_ =
        std::make_unique<aspi_module::RequestEngine>(rack_->Slots(), config_.latencyMs, MODULE_SET_EVENT);
  }

  ~VirtualAspi() {
    if (rack_ == nullptr) return;
    rack_->Interrupt();
    engine_.reset();
    const std::string error = rack_->Conclude();
    if (!error.empty()) Complain(error);
  }

  // A configuration that was refused reports a failed initialisation, so
  // start-up shows its error box instead of scanning nothing.
  uint32_t SupportInfo() const {
    if (engine_ == nullptr) return uint32_t{SS_FAILED_INIT} << 8;
    return (config_.status & 0xFF) << 8 | (config_.adapters & 0xFF);
  }

  uint32_t Send(void* srb) {
    if (engine_ != nullptr) return engine_->Send(srb);
    if (srb != nullptr) static_cast<SRB_Header*>(srb)->SRB_Status = SS_INVALID_HA;
    return SS_INVALID_HA;
  }

 private:
  aspi_module::ModuleConfig config_;
  std::unique_ptr<aspi_module::DriveRack> rack_;
  std::unique_ptr<aspi_module::RequestEngine> engine_;
};

VirtualAspi instance;

}  // namespace

ZX_ASPI_EXPORT uint32_t GetASPI32SupportInfo() { return instance.SupportInfo(); }

ZX_ASPI_EXPORT uint32_t SendASPI32Command(void* srb) { return instance.Send(srb); }
