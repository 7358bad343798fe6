#include "app/entry/library_problems.h"

#include <mutex>
#include <utility>

namespace {

std::mutex lock;
std::vector<std::string> problems;

}  // namespace

extern "C" void zx_ReportLibraryProblem(const char* line) {
  std::lock_guard guard(lock);
  problems.emplace_back(line == nullptr ? "" : line);
}

namespace demo {

std::vector<std::string> TakeLibraryProblems() {
  std::lock_guard guard(lock);
  return std::exchange(problems, {});
}

}  // namespace demo
