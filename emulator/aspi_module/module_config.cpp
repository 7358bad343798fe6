#include "emulator/aspi_module/module_config.h"

#include <charconv>

namespace aspi_module {

namespace {

bool ParseNumber(std::string_view text, uint32_t max, uint32_t& out) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > max) return false;
  out = value;
  return true;
}

// "KIND:N:SENSE", N from 1, SENSE one hex byte.
bool ParseFailure(std::string_view text, FailSpec& out) {
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
  if (second == std::string_view::npos) return false;
  const auto kind = emulator::ParseCommandKind(text.substr(0, first));
  uint32_t nth = 0;
  uint32_t sense = 0;
  if (!kind || !ParseNumber(text.substr(first + 1, second - first - 1), UINT32_MAX, nth) || nth == 0 ||
      !ParseNumber("0x" + std::string(text.substr(second + 1)), 0xFF, sense))
    return false;
  out = FailSpec{*kind, nth, static_cast<uint8_t>(sense)};
  return true;
}

// One "key=value" entry; false for an unknown key or a bad value.
bool ApplyEntry(std::string_view key, std::string_view value, ModuleConfig& config) {
  if (key == "adapters") return ParseNumber(value, 255, config.adapters);
  if (key == "status") return ParseNumber(value, 255, config.status);
  if (key == "drives") return ParseNumber(value, 255, config.drives);
  if (key == "target") return ParseNumber(value, 7, config.target);
  if (key == "latency") return ParseNumber(value, 600000, config.latencyMs);
  if (key == "replay-delays") return ParseNumber(value, 1, config.replayDelays);
  if (key == "fail") {
    FailSpec failure;
    if (!ParseFailure(value, failure)) return false;
    config.failures.push_back(failure);
    return true;
  }
  if (key == "log" || key == "dump" || key == "replay") {
    if (value.empty()) return false;
    (key == "log" ? config.logPath : key == "dump" ? config.dumpDir : config.replayPath) = std::string(value);
    return true;
  }
  if (key == "revision") {
    if (value.size() != 4) return false;
    config.revision = std::string(value);
    return true;
  }
  return false;
}

}  // namespace

ConfigResult ParseModuleConfig(std::string_view text) {
  ConfigResult result;
  while (!text.empty()) {
    const std::size_t end = text.find(';');
    const std::string_view entry = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (entry.empty()) continue;
    const std::size_t eq = entry.find('=');
    if (eq == std::string_view::npos ||
        !ApplyEntry(entry.substr(0, eq), entry.substr(eq + 1), result.config)) {
      result.error = "bad entry \"" + std::string(entry) + "\"";
      return result;
    }
  }
  if (result.config.drives > result.config.adapters) result.error = "more drives than adapters";
  return result;
}

}  // namespace aspi_module
