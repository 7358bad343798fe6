// The power-off itself is not tested: it would end every program of the
// Wine prefix (or the machine).
#include "platform/win32/win32_power.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/windows_api.h"

namespace {

// Whether the process's token has the shutdown privilege enabled.
bool ShutdownPrivilegeEnabled() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  LUID shutdown{};
  ::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &shutdown);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  bool enabled = false;
  if (::GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID& id = privileges->Privileges[i].Luid;
      if (id.LowPart == shutdown.LowPart && id.HighPart == shutdown.HighPart)
        enabled = (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  ::CloseHandle(token);
  return enabled;
}

class Win32ShutdownPrivilege : public ::testing::TestWithParam<bool> {};

TEST_P(Win32ShutdownPrivilege, SwitchesTheTokensPrivilege) {
  platform::Win32Power power;
  ASSERT_TRUE(power.AdjustShutdownPrivilege(!GetParam()));
  EXPECT_EQ(ShutdownPrivilegeEnabled(), !GetParam());
  ASSERT_TRUE(power.AdjustShutdownPrivilege(GetParam()));
  EXPECT_EQ(ShutdownPrivilegeEnabled(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Directions, Win32ShutdownPrivilege, ::testing::Bool());

TEST(Win32Power, InhibitLockKeepsTheSystemRequiredUntilItGoes) {
  platform::Win32Power power;
  auto lock = power.InhibitShutdown();
  ASSERT_NE(lock, nullptr);
  // Setting the same state again answers with the state in force.
  EXPECT_EQ(::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) & ES_SYSTEM_REQUIRED,
            static_cast<EXECUTION_STATE>(ES_SYSTEM_REQUIRED));
  lock.reset();
  EXPECT_EQ(::SetThreadExecutionState(ES_CONTINUOUS) & ES_SYSTEM_REQUIRED, 0u);
}

}  // namespace
