#include "app/entry/library_problems.h"

#include <utility>

#include "platform/lock.h"

namespace {

platform::Mutex lock;
std::vector<std::string> problems;

}  // namespace

extern "C" void zx_ReportLibraryProblem(const char* line) {
  platform::LockGuard guard(lock);
  problems.emplace_back(line == nullptr ? "" : line);
}

namespace demo {

std::vector<std::string> TakeLibraryProblems() {
  platform::LockGuard guard(lock);
  return std::exchange(problems, {});
}

}  // namespace demo
