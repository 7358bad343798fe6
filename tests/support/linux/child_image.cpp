#include "tests/support/linux/child_image.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

extern char** environ;

namespace test_process {

ChildImage::ChildImage(const Launch& launch) : launch_(launch) {
  const auto changed = [&launch](const std::string& entry) {
    const std::string name = entry.substr(0, entry.find('='));
    return std::any_of(launch.env.begin(), launch.env.end(),
                       [&name](const auto& c) { return c.first == name; });
  };
  strings_.push_back(launch.program);
  strings_.insert(strings_.end(), launch.args.begin(), launch.args.end());
  const std::size_t arguments = strings_.size();
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (!changed(*entry)) strings_.emplace_back(*entry);
  for (const auto& [name, value] : launch.env)
    if (value) strings_.push_back(name + "=" + *value);
  // Pointers into strings_ once it no longer grows.
  for (std::size_t i = 0; i < strings_.size(); ++i)
    (i < arguments ? argv_ : envp_).push_back(strings_[i].data());
  argv_.push_back(nullptr);
  envp_.push_back(nullptr);
}

void ChildImage::Exec() const {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (const int sig : {SIGINT, SIGQUIT, SIGPIPE}) signal(sig, SIG_DFL);
  if (launch_.inChild) launch_.inChild();
  execve(argv_[0], argv_.data(), envp_.data());
  _exit(127);
}

void SetEnd(Outcome& outcome, int waitStatus) {
  outcome.exitCode = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
  outcome.signal = WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
}

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

}  // namespace test_process
