#include "firmware/container.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/main_window.h"
#include "app/messages.h"
#include "app/program.h"
#include "app/status_codes.h"
#include "firmware/container_file.h"

namespace {

uint8_t containerImage[CONTAINER_SIZE];

void Reject(Program& program, TForm1& form, uint8_t status) {
  ShowStatus(program, form, status);
  form.Button1.SetEnabled(false);
  program.run.containerValid = 0;
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

void CheckContainer(Program& program, TForm1& form) {
  ContainerInfo& info = program.container;
  info.ownPath = program.os.system.OwnExecutablePath();
  ContainerFile file(info.ownPath);
  if (!file.IsOpen()) return Reject(program, form, STATUS_CANNOT_OPEN);
  // A file too short to hold a container has no fields to show; its
  // positions would lie before the file's first byte.
  if (file.Size() < CONTAINER_SIZE) return Reject(program, form, STATUS_INCORRECT_FILE);

  // A file that opens but cannot be read is as unusable as one that does
  // not open; saying so beats showing fields that were never read.
  TailFields fields;
  if (!ReadTail(file, fields)) return Reject(program, form, STATUS_CANNOT_OPEN);
  KeepFields(info, fields);
  form.Label23.SetCaption(ChecksumText(fields.part1Checksum));
  form.Label24.SetCaption(TextUpToZero(info.part1Tag, FAMILY_TAG_SIZE));
  if (!TagAccepted(fields.part1Tag)) return Reject(program, form, STATUS_INCORRECT_FILE);

  form.RichEdit1.SetText("");
  VersionChars version{};
  if (!file.ReadFromEnd(PART1_VERSION_FROM_END, version)) return Reject(program, form, STATUS_CANNOT_OPEN);
  const std::string carried = CarriedVersion(version);
  std::memcpy(info.version, carried.data(), carried.size());
  info.version[carried.size()] = '\0';
  if (!VersionAccepted(version)) return Reject(program, form, STATUS_INCORRECT_FILE);

  program.run.containerValid = 1;
  form.Label12.SetCaption(TextUpToZero(info.version, sizeof info.version));
}

bool LoadContainerImage(Program& program) {
  ContainerFile file(program.container.ownPath);
  // A file that shrank since start-up would leave part of the image stale:
  // flashing that would write a mix of two firmwares, so it is a failure.
  return file.IsOpen() && file.ReadFromEnd(CONTAINER_SIZE, containerImage);
}

std::span<uint8_t, CONTAINER_SIZE> ContainerImage() {
  return std::span<uint8_t, CONTAINER_SIZE>(containerImage);
}
