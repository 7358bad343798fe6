// Scratch files for container tests: a private folder removed with its
// contents, byte files in and out, and a checksum computed independently of
// the code under test. Threads: one test thread.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace container_test {

class ScratchDir {
 public:
  ScratchDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("zx-container-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
  // Every entry's kind and, for regular files, bytes; links by their
  // target. Nothing is opened that is not a regular file (a FIFO would block).
  std::map<std::string, std::string> Contents() const;

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::map<std::string, std::string> ScratchDir::Contents() const {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> contents;
  for (const std::string& name : Names()) {
    const fs::path path = path_ / name;
    const fs::file_type type = fs::symlink_status(path).type();
    std::string& entry = contents[name];
    entry = std::to_string(static_cast<int>(type)) + ":";
    if (type == fs::file_type::symlink) entry += fs::read_symlink(path).string();
    if (type == fs::file_type::regular) {
      const auto bytes = ReadBytes(path.string());
      entry.append(bytes.begin(), bytes.end());
      entry += ":" + std::to_string(static_cast<int>(fs::status(path).permissions()));
    }
  }
  return contents;
}

// A stand-in for an executable: `size` bytes that are not a container.
inline std::vector<uint8_t> FakeExecutable(std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
  return bytes;
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The checksum rule written out again: big-endian 16-bit words summed
// modulo 65,536, stored high byte first.
inline std::vector<uint8_t> IndependentChecksum(const std::vector<uint8_t>& bytes, std::size_t from,
                                                std::size_t length) {
  unsigned total = 0;
  for (std::size_t i = from; i < from + length; i += 2)
    total = (total + bytes[i] * 256u + bytes[i + 1]) % 65536u;
  return {static_cast<uint8_t>(total / 256), static_cast<uint8_t>(total % 256)};
}

}  // namespace container_test
