#include "firmware/container.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "firmware/container_file.h"

namespace {

uint8_t containerImage[CONTAINER_SIZE];

void Reject(RunState& run, ContainerView& view, StatusMsg status) {
  view.ShowStatus(status);
  view.EnableFlash(false);
  run.containerValid = 0;
}

// Part one's checksum in stored order, each byte as two lower-case digits.
std::string ChecksumText(const ChecksumBytes& sum) {
  char text[5];
  std::snprintf(text, sizeof text, "%02x%02x", sum[0], sum[1]);
  return text;
}

// Shown as text: up to the first zero byte, as a C string would be.
std::string TextUpToZero(const char* chars, std::size_t size) {
  return std::string(chars, std::find(chars, chars + size, '\0'));
}

struct TailFields {
  ChecksumBytes part1Checksum{};
  FamilyTag part1Tag{};
  ChecksumBytes part2Checksum{};
};

bool ReadTail(ContainerFile& file, TailFields& f) {
  return file.ReadFromEnd(PART1_CHECKSUM_FROM_END, f.part1Checksum) &&
         file.ReadFromEnd(PART1_TAG_FROM_END, f.part1Tag) &&
         file.ReadFromEnd(PART2_CHECKSUM_FROM_END, f.part2Checksum);
}

void KeepFields(ContainerInfo& info, const TailFields& f) {
  std::memcpy(info.part1Checksum, f.part1Checksum.data(), CHECKSUM_SIZE);
  std::memcpy(info.part2Checksum, f.part2Checksum.data(), CHECKSUM_SIZE);
  std::memcpy(info.part1Tag, f.part1Tag.data(), FAMILY_TAG_SIZE);
  info.part1Tag[FAMILY_TAG_SIZE] = '\0';
}

}  // namespace

void CheckContainer(platform::SystemInfo& system, ContainerInfo& info, RunState& run, ContainerView& view) {
  info.ownPath = system.OwnExecutablePath();
  ContainerFile file(info.ownPath);
  if (!file.IsOpen()) return Reject(run, view, StatusMsg::CannotOpen);

  // Only a file that does not open is "Cannot open the file."; one that
  // opens but cannot be read, or is too short, is no container: "Incorrect
  // file". The fields are shown whenever they lie inside the file, a file
  // too short for the whole container included; positions before its
  // first byte are never read.
  TailFields fields;
  if (!ReadTail(file, fields)) return Reject(run, view, StatusMsg::IncorrectFile);
  KeepFields(info, fields);
  view.ShowChecksum(ChecksumText(fields.part1Checksum));
  view.ShowFamilyTag(TextUpToZero(info.part1Tag, FAMILY_TAG_SIZE));
  if (file.Size() < CONTAINER_SIZE || !TagAccepted(fields.part1Tag))
    return Reject(run, view, StatusMsg::IncorrectFile);

  view.ClearMessage();
  VersionChars version{};
  if (!file.ReadFromEnd(PART1_VERSION_FROM_END, version)) return Reject(run, view, StatusMsg::IncorrectFile);
  const std::string carried = CarriedVersion(version);
  std::memcpy(info.version, carried.data(), carried.size());
  info.version[carried.size()] = '\0';
  if (!VersionAccepted(version)) return Reject(run, view, StatusMsg::IncorrectFile);

  run.containerValid = 1;
  view.ShowCarriedVersion(TextUpToZero(info.version, sizeof info.version));
}

bool LoadContainerImage(const ContainerInfo& info) {
  ContainerFile file(info.ownPath);
  // A file that shrank since start-up would leave part of the image stale:
  // flashing that would write a mix of two firmwares, so it is a failure.
  return file.IsOpen() && file.ReadFromEnd(CONTAINER_SIZE, containerImage);
}

std::span<uint8_t, CONTAINER_SIZE> ContainerImage() {
  return std::span<uint8_t, CONTAINER_SIZE>(containerImage);
}
