#include "cli/drive_json.h"

#include "cli/cli_views.h"

std::string Printable(const std::string& bytes) {
  std::string text;
  for (const char c : bytes) text.push_back(c >= 0x20 && c < 0x7F ? c : '?');
  return text;
}

std::string DriveLine(const DriveReport& drive) {
  std::string line = std::to_string(drive.number) + "  ";
  if (!drive.device.empty()) line += drive.device + "  ";
  return line + "ha " + std::to_string(drive.haId) + " target " + std::to_string(drive.target) + "  " +
         Printable(drive.fields.vendor) + " " + Printable(drive.fields.product) + " " +
         Printable(drive.fields.revision);
}

const char* VerdictName(StatusMsg verdict, bool containerValid) {
  if (!containerValid) return "no-firmware";
  switch (verdict) {
    case StatusMsg::ChangeFirmware:
      return "update";
    case StatusMsg::SameVersion:
      return "same";
    case StatusMsg::DriveNewer:
      return "newer";
    default:
      return "refused";
  }
}

std::string DriveJson(const DriveReport& drive, bool containerValid, bool japanese) {
  JsonObject json;
  json.Number("number", drive.number)
      .Text("device", drive.device)
      .Number("adapter", drive.haId)
      .Number("target", drive.target)
      .Text("vendor", Printable(drive.fields.vendor))
      .Text("product", Printable(drive.fields.product))
      .Text("revision", Printable(drive.fields.revision))
      // Discovery keeps only drives whose boot area carries this family tag.
      .Text("family", "R580")
      .Text("verdict", VerdictName(drive.verdict, containerValid))
      .Number("status",
              containerValid ? static_cast<int>(drive.verdict) : static_cast<int>(StatusMsg::IncorrectFile))
      .Text("message", StatusLine(containerValid ? drive.verdict : StatusMsg::IncorrectFile, japanese))
      .Bool("flashable", drive.flashable);
  return json.Done();
}

JsonObject ProgramJson(const char* program, const char* version) {
  JsonObject json;
  json.Text("program", program).Text("version", version);
  return json;
}
