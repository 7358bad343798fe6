#include "cli/console.h"

#include "platform/terminal.h"

Console::Console(const char* program, std::FILE* out, std::FILE* err, std::FILE* in)
    : program_(program),
      out_(out),
      err_(err),
      in_(in),
      outTerminal_(platform::IsTerminal(platform::StandardStream::Out)),
      inTerminal_(platform::IsTerminal(platform::StandardStream::In)),
      errTerminal_(platform::IsTerminal(platform::StandardStream::Err)) {}

void Console::Write(std::FILE* to, std::string_view text, bool converted) {
  const std::string shown = converted ? platform::ForConsole(text) : std::string(text);
  // A reader that went away loses the line, nothing more: the run goes on.
  (void)std::fwrite(shown.data(), 1, shown.size(), to);
  (void)std::fflush(to);
}

void Console::EndBar() {
  if (!barShown_) return;
  Write(out_, "\n");
  barShown_ = false;
  barLength_ = 0;
}

void Console::Out(std::string_view line) {
  platform::LockGuard guard(lock_);
  EndBar();
  Write(out_, std::string(line) + "\n");
}

void Console::OutUtf8(std::string_view line) {
  platform::LockGuard guard(lock_);
  EndBar();
  Write(out_, std::string(line) + "\n", false);
}

void Console::Err(std::string_view line) {
  platform::LockGuard guard(lock_);
  EndBar();
  Write(err_, std::string(program_) + ": " + std::string(line) + "\n");
}

void Console::Bar(std::string_view text) {
  if (!outTerminal_) return;
  platform::LockGuard guard(lock_);
  // Blanks over what a longer text before left (no escape sequences: the
  // consoles of old Windows show them as they are).
  std::string line = "\r" + std::string(text);
  if (text.size() < barLength_) line.append(barLength_ - text.size(), ' ');
  Write(out_, line);
  barLength_ = text.size();
  barShown_ = true;
}

bool Console::Ask(std::string_view question) {
  std::FILE* const to = !outTerminal_ && errTerminal_ ? err_ : out_;
  {
    platform::LockGuard guard(lock_);
    EndBar();
    Write(to, question);
  }
  std::string answer;
  int c = std::fgetc(in_);
  for (; c != EOF && c != '\n'; c = std::fgetc(in_)) answer.push_back(static_cast<char>(c));
  // Ctrl+D leaves the cursor behind the question: what follows starts a line of its own.
  if (c == EOF) {
    platform::LockGuard guard(lock_);
    Write(to, "\n");
  }
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}
