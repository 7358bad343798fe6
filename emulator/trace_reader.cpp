#include "emulator/trace_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

namespace emulator {

namespace {

class LineParser {
 public:
  explicit LineParser(const std::string& text) : text_(text) {}

  bool Parse(std::map<std::string, std::string>& fields, std::string& error) {
    if (!Take('{')) return Fail(error, "not a JSON object");
    if (Take('}')) return AtEnd(error);
    do {
      std::string key, value;
      if (!String(key)) return Fail(error, "a field name is not a string");
      if (!Take(':')) return Fail(error, "':' missing after \"" + key + "\"");
      if (!Value(value))
        return Fail(error, "the value of \"" + key + "\" is not a string, number or boolean");
      if (!fields.emplace(key, value).second) return Fail(error, "\"" + key + "\" appears twice");
    } while (Take(','));
    if (!Take('}')) return Fail(error, "'}' missing");
    return AtEnd(error);
  }

 private:
  void Blank() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool Take(char c) {
    Blank();
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  bool String(std::string& out) {
    if (!Take('"')) return false;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      char c = text_[pos_++];
      if (c == '\\') {
        if (pos_ >= text_.size()) return false;
        c = text_[pos_++];
        if (c != '"' && c != '\\' && c != '/') return false;  // the writer escapes nothing else
      }
      out.push_back(c);
    }
    return Take('"');
  }
  bool Value(std::string& out) {
    Blank();
    if (pos_ < text_.size() && text_[pos_] == '"') return String(out);
    for (const char* word : {"true", "false"})
      if (text_.compare(pos_, std::string(word).size(), word) == 0) {
        pos_ += std::string(word).size();
        out = word;
        return true;
      }
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])))
      out.push_back(text_[pos_++]);
    return !out.empty();
  }
  bool AtEnd(std::string& error) {
    Blank();
    return pos_ == text_.size() || Fail(error, "text after the object");
  }
  static bool Fail(std::string& error, const std::string& why) {
    error = why;
    return false;
  }

  const std::string& text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::string TraceRecord::Text(const std::string& key) const {
  const auto it = fields.find(key);
  return it == fields.end() ? std::string() : it->second;
}

std::optional<uint64_t> TraceRecord::Number(const std::string& key) const {
  const auto it = fields.find(key);
  if (it == fields.end() || it->second.empty() || it->second.size() > 19) return std::nullopt;
  for (const char c : it->second)
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
  return std::stoull(it->second);
}

std::optional<TraceRecord> ParseTraceLine(const std::string& text, std::size_t line, std::string& error) {
  TraceRecord record;
  record.line = line;
  if (!LineParser(text).Parse(record.fields, error)) return std::nullopt;
  return record;
}

bool ReadTraceText(const std::string& path, std::string& text, std::string& error) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  text.clear();
  std::size_t line = 1, lineLength = 0;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in.get())) > 0;) {
    for (std::size_t i = 0; i < got; ++i) {
      lineLength = chunk[i] == '\n' ? 0 : lineLength + 1;
      if (lineLength > TRACE_LINE_LIMIT) {
        error = path + " line " + std::to_string(line) + " is longer than " +
                std::to_string(TRACE_LINE_LIMIT) + " bytes, the most a trace line may have";
        return false;
      }
      line += chunk[i] == '\n' ? 1 : 0;
    }
    if (text.size() + got > TRACE_SIZE_LIMIT) {
      error =
          path + " is longer than " + std::to_string(TRACE_SIZE_LIMIT) + " bytes, the most a trace may have";
      return false;
    }
    text.append(chunk, got);
  }
  if (std::ferror(in.get())) {
    error = "cannot read " + path + ": reading failed";
    return false;
  }
  return true;
}

std::vector<TraceRecord> ParseTrace(const std::string& text, const std::string& name, std::string& error) {
  std::vector<TraceRecord> records;
  std::size_t line = 1;
  for (std::size_t at = 0; at < text.size(); ++line) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string why;
    auto record = ParseTraceLine(text.substr(at, end - at), line, why);
    at = end + 1;
    if (!record) {
      error = name + " line " + std::to_string(line) + ": " + why;
      return {};
    }
    if (line == 1) {
      if (record->Text("format") != TRACE_FORMAT_NAME || record->Event() != "header") {
        error = name + " is not a zorvex trace (its first line is no header)";
        return {};
      }
      if (const auto version = record->Number("version"); version != TRACE_VERSION_KNOWN) {
        error = name + ": trace format version " + record->Text("version") +
                " is not known here (this reads version " + std::to_string(TRACE_VERSION_KNOWN) + ")";
        return {};
      }
    }
    if (const auto ms = record->Number("ms"); ms && *ms > TRACE_MS_LIMIT) {
      error = name + " line " + std::to_string(line) + ": \"ms\" is " + std::to_string(*ms) +
              ", more than the " + std::to_string(TRACE_MS_LIMIT) + " ms a recorded command may take";
      return {};
    }
    records.push_back(std::move(*record));
  }
  if (records.empty()) error = name + " is empty";
  return records;
}

std::vector<TraceRecord> ReadTrace(const std::string& path, std::string& error) {
  std::string text;
  if (!ReadTraceText(path, text, error)) return {};
  return ParseTrace(text, path, error);
}

std::optional<std::vector<uint8_t>> FromHex(const std::string& hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const auto digit = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return bytes;
}

}  // namespace emulator
