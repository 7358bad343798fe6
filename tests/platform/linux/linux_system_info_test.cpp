#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "platform/linux/linux_system_info.h"

namespace {

namespace fs = std::filesystem;

// Sets or clears one environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct LocaleCase {
  std::optional<std::string> lcAll;
  std::optional<std::string> lcMessages;
  std::optional<std::string> lang;
  uint16_t expected;
};

void PrintTo(const LocaleCase& c, std::ostream* os) {
  const auto show = [&](const char* name, const std::optional<std::string>& v) {
    if (v) *os << name << "=\"" << *v << "\" ";
  };
  show("LC_ALL", c.lcAll);
  show("LC_MESSAGES", c.lcMessages);
  show("LANG", c.lang);
}

class LanguageFromLocale : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LanguageFromLocale, MapsTheDecidingVariable) {
  const LocaleCase& c = GetParam();
  ScopedEnv all("LC_ALL", c.lcAll);
  ScopedEnv messages("LC_MESSAGES", c.lcMessages);
  ScopedEnv lang("LANG", c.lang);
  platform::LinuxSystemInfo info;
  EXPECT_EQ(info.SystemDefaultLangID(), c.expected);
}

constexpr uint16_t JA = platform::LANG_ID_JAPANESE;
constexpr uint16_t EN = platform::LANG_ID_ENGLISH_US;
const std::optional<std::string> unset;

INSTANTIATE_TEST_SUITE_P(
    Precedence, LanguageFromLocale,
    ::testing::Values(LocaleCase{unset, unset, unset, EN},                    // nothing set
                      LocaleCase{unset, unset, "ja_JP.UTF-8", JA},            // LANG alone
                      LocaleCase{unset, unset, "ja", JA},                     // bare language
                      LocaleCase{unset, unset, "japanese", JA},               // old alias
                      LocaleCase{unset, unset, "en_US.UTF-8", EN},            // English
                      LocaleCase{unset, unset, "C", EN},                      // no locale
                      LocaleCase{unset, unset, "jv_ID", EN},                  // another "j" language
                      LocaleCase{unset, "ja_JP.eucJP", "en_US.UTF-8", JA},    // LC_MESSAGES over LANG
                      LocaleCase{unset, "en_GB.UTF-8", "ja_JP.UTF-8", EN},    // ... both ways
                      LocaleCase{"C", "ja_JP.UTF-8", "ja_JP.UTF-8", EN},      // LC_ALL over all
                      LocaleCase{"ja_JP.UTF-8", "en_US.UTF-8", "en_US", JA},  // ... both ways
                      LocaleCase{"", "ja_JP.UTF-8", "en_US.UTF-8", JA},       // empty counts as unset
                      LocaleCase{"", "", "ja_JP.UTF-8", JA}));

TEST(LinuxSystemInfo, ReportsThePassThroughFamily) {
  platform::LinuxSystemInfo info;
  EXPECT_EQ(info.PlatformId(), platform::VER_PLATFORM_WIN32_NT);
}

// The test program prints its own path when asked to through this variable,
// so a copy of it started from a deep folder can report what it sees.
constexpr const char* kReportPath = "ZX_TEST_REPORT_OWN_PATH";

TEST(LinuxSystemInfo, OwnPathIsThisProgram) {
  platform::LinuxSystemInfo info;
  const std::string path = info.OwnExecutablePath();
  if (std::getenv(kReportPath) != nullptr) {
    std::printf("OWN_PATH=%s\n", path.c_str());
    return;
  }
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
}

TEST(LinuxSystemInfo, OwnPathLongerThanAnyFirstGuessIsReportedWhole) {
  // A folder chain well beyond a first buffer of a few hundred bytes.
  // Next to this program, so that a hard link can stand in for a copy.
  const fs::path self = fs::read_symlink("/proc/self/exe");
  const fs::path base = self.parent_path() / ("zx-own-path-" + std::to_string(::getpid()));
  fs::path deep = base;
  for (int i = 0; i < 12; ++i) deep /= std::string(60, static_cast<char>('a' + i));
  fs::create_directories(deep);
  const fs::path program = deep / "probe";
  std::error_code linked;
  fs::create_hard_link(self, program, linked);
  if (linked) fs::copy_file(self, program);
  ASSERT_GT(program.string().size(), 700u);

  const std::string command = std::string(kReportPath) + "=1 '" + program.string() +
                              "' --gtest_filter=LinuxSystemInfo.OwnPathIsThisProgram";
  FILE* child = ::popen(command.c_str(), "r");
  ASSERT_NE(child, nullptr);
  std::string output;
  std::array<char, 512> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), child) != nullptr) output += chunk.data();
  EXPECT_EQ(::pclose(child), 0) << output;
  fs::remove_all(base);

  EXPECT_NE(output.find("OWN_PATH=" + program.string() + "\n"), std::string::npos) << output;
}

}  // namespace
