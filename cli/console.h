// Everything the command line writes, and its one question, go through
// here: lines on stdout, "<program>: ..." lines on stderr, and the progress
// bar, redrawn in place on a terminal. Texts are UTF-8; the console gets
// them in its own form (platform::ForConsole).
// Threads: any; one lock keeps lines whole and in order.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/lock.h"

class Console {
 public:
  // `program` names the program on stderr and must outlive the console.
  Console(const char* program, std::FILE* out, std::FILE* err, std::FILE* in);

  const char* Program() const { return program_; }
  // Whether stdout and stdin are terminals (a bar to redraw, an operator to ask).
  bool OutIsTerminal() const { return outTerminal_; }
  bool InIsTerminal() const { return inTerminal_; }

  void Out(std::string_view line);
  // A line for programs to read (--json): UTF-8 whatever the console's code page.
  void OutUtf8(std::string_view line);
  void Err(std::string_view line);
  // Replaces the bar on a terminal; not shown otherwise.
  void Bar(std::string_view text);
  // Asks where the operator sees it: on stdout, or on stderr when only
  // stderr is a terminal (stdout into a file keeps the program's report
  // alone); true for an answer that begins with y or Y.
  bool Ask(std::string_view question);

 private:
  void EndBar();
  // `converted`: in the console's form; otherwise the bytes as given.
  void Write(std::FILE* to, std::string_view text, bool converted = true);

  const char* program_;
  std::FILE* out_;
  std::FILE* err_;
  std::FILE* in_;
  bool outTerminal_;
  bool inTerminal_;
  bool errTerminal_;
  platform::Mutex lock_;
  bool barShown_ = false;
  std::size_t barLength_ = 0;
};
