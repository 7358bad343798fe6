// Ends the session for one window as Windows does at a logoff that the user
// forces: asks it (WM_QUERYENDSESSION), prints whether it agreed, then tells
// it that the session ends all the same (WM_ENDSESSION). For the Windows
// end-to-end checks; the window is the first top-level one whose title
// holds the argument.
//   end_session.exe "Zorvex Firmware Flash Utility"
#include <cstdio>
#include <cstring>

#include "platform/win32/windows_api.h"

namespace {

struct Search {
  const char* title;
  HWND found;
};

BOOL CALLBACK Look(HWND hwnd, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  char text[256] = {};
  ::GetWindowTextA(hwnd, text, sizeof text);
  if (std::strstr(text, search->title) == nullptr) return TRUE;
  search->found = hwnd;
  return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Search search{argv[1], nullptr};
  ::EnumWindows(Look, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    std::puts("no such window");
    return 1;
  }
  DWORD_PTR agreed = 0;
  ::SendMessageTimeoutA(search.found, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &agreed);
  std::printf("%s\n", agreed != 0 ? "agreed" : "refused");
  std::fflush(stdout);
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(search.found, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, 0, 120000, &ignored);
  return 0;
}
