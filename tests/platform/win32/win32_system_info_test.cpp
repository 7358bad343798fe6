#include "platform/win32/win32_system_info.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/windows_api.h"

namespace {

TEST(Win32SystemInfo, NtFamilyAndTheRunningProgramsOwnFile) {
  platform::Win32SystemInfo info;
  // Every system these tests run on (Windows 2000 and later, Wine) is of the NT family.
  EXPECT_EQ(info.PlatformId(), platform::VER_PLATFORM_WIN32_NT);
  const std::string path = info.OwnExecutablePath();
  ASSERT_GT(path.size(), 4u);
  EXPECT_EQ(path.substr(path.size() - 4), ".exe");
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << path;
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(::GetModuleHandleA(path.c_str()), ::GetModuleHandleA(nullptr));
}

}  // namespace
