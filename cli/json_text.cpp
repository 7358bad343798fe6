#include "cli/json_text.h"

#include <cstdio>

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[7];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) {
  if (!fields_.empty()) fields_ += ",";
  fields_ += JsonString(key) + ":" + std::string(json);
  return *this;
}
