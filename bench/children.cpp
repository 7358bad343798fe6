#include "bench/children.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <stdexcept>

#include "bench/measure.h"

extern char** environ;

namespace bench {

namespace {

std::string ReadAll(int fd) {
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  return text;
}

std::map<std::string, double> ParsePairs(const std::string& line) {
  std::map<std::string, double> values;
  std::istringstream words(line);
  for (std::string word; words >> word;) {
    const std::size_t eq = word.find('=');
    if (eq != std::string::npos) values[word.substr(0, eq)] = std::stod(word.substr(eq + 1));
  }
  return values;
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& args) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<std::string> all{"/proc/self/exe"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  ChildResult result;
  pid_t pid = 0;
  result.startedMs = NowMs();
  const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    throw std::runtime_error("cannot start a child");
  }
  const std::string output = ReadAll(pipeFds[0]);
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("child " + args.front() + " " + (args.size() > 1 ? args[1] : "") + " failed");
  // The demo's power control and the program may print lines of their own; ours is the last.
  const std::size_t end = output.find_last_not_of('\n');
  const std::size_t start = end == std::string::npos ? 0 : output.rfind('\n', end);
  result.values = ParsePairs(output.substr(start == std::string::npos ? 0 : start + 1));
  return result;
}

}  // namespace bench
