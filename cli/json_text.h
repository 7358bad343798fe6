// Just enough JSON for the command line's one object per run: strings
// escaped, fields written in the order given.
// Threads: any.
#pragma once

#include <string>
#include <string_view>

std::string JsonString(std::string_view utf8);

// Builds `{"a":1,"b":"x"}` one field at a time; values already in JSON.
class JsonObject {
 public:
  JsonObject& Raw(std::string_view key, std::string_view json);
  JsonObject& Text(std::string_view key, std::string_view utf8) { return Raw(key, JsonString(utf8)); }
  JsonObject& Number(std::string_view key, long long value) { return Raw(key, std::to_string(value)); }
  JsonObject& Bool(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }
  std::string Done() const { return "{" + fields_ + "}"; }

 private:
  std::string fields_;
};
