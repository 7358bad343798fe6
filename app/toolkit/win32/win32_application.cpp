// The application object of the Win32 back-end: the common controls and the
// rich-edit library, the hand-over window, the message loop.
#include <atomic>
#include <string>

#include "app/toolkit/application.h"
#include "app/toolkit/hand_over_queue.h"
#include "app/toolkit/language.h"
#include "app/toolkit/native.h"
#include "app/toolkit/win32/win32_native.h"

// After <windows.h> (win32_native.h), which it needs.
#include <commctrl.h>

namespace tk {

namespace {

std::atomic<HWND> handOver{nullptr};
bool looping = false;  // window thread only
int shownForms = 0;    // window thread only
int exitStatus = 0;    // window thread only

constexpr char kHandOverClass[] = "ZxToolkitHandOver";

LRESULT CALLBACK HandOverProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ZX_HANDOVER) {
    RunNextHandOver();
    return 0;
  }
  if (message == WM_TIMER) {
    TickTimer(wParam);
    return 0;
  }
  return DefaultProcedure(hwnd, message, wParam, lParam);
}

// The top-level window a message is for, when it is one of the program's
// forms.
FormWindow* FormOf(HWND hwnd) {
  HWND top = hwnd;
  while (top != nullptr && (::GetWindowLongPtrA(top, GWL_STYLE) & WS_CHILD) != 0) top = ::GetParent(top);
  if (top == nullptr || !HasClass(top, "ZxToolkitForm")) return nullptr;
  return reinterpret_cast<FormWindow*>(::GetWindowLongPtrA(top, GWLP_USERDATA));
}

bool CtrlHeld() { return (::GetKeyState(VK_CONTROL) & 0x8000) != 0; }

}  // namespace

// The program always sets its title; until it does, none.
std::string native::ToolkitApplicationName() { return {}; }

HWND HandOverWindow() { return handOver.load(); }

namespace {
std::atomic<bool> richEditLoaded{false};
}  // namespace

bool RichEditAvailable() { return richEditLoaded.load(); }

int ShownForms() { return shownForms; }

void FormShownChanged(bool shown) {
  shownForms += shown ? 1 : -1;
  if (shownForms == (shown ? 1 : 0)) ShowTaskBarWindow(shown);
  if (shownForms == 0 && looping) ::PostQuitMessage(0);
}

struct Application::State {
  HMODULE richEdit = nullptr;
};

namespace {

// Takes the current directory out of the search for every library loaded
// from now on, the system's own dependencies included (XP SP1 and later;
// older systems lack the call and keep their search).
void NarrowLibrarySearch() {
  using SetDllDirectory = BOOL(WINAPI*)(LPCSTR);
  const auto set = reinterpret_cast<SetDllDirectory>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDllDirectoryA")));
  if (set != nullptr) set("");
}

// A system library by its full path: a copy planted beside the program or
// in the current directory is never loaded in its place.
HMODULE LoadSystemLibrary(const char* name) {
  char folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return ::LoadLibraryA((std::string(folder, length) + "\\" + name).c_str());
}

// The progress bar's class. InitCommonControlsEx came with comctl32 4.70
// (Internet Explorer 3): Windows 95 and NT 4.0 as first shipped have only
// InitCommonControls, which registers every class of the library.
void InitCommonControlsOnce() {
  using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const HMODULE library = ::GetModuleHandleA("comctl32.dll");
  const auto initEx = library == nullptr ? nullptr
                                         : reinterpret_cast<InitEx>(reinterpret_cast<void*>(
                                               ::GetProcAddress(library, "InitCommonControlsEx")));
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  if (initEx == nullptr || initEx(&controls) == FALSE) ::InitCommonControls();
}

}  // namespace

Application::Application() : state_(std::make_unique<State>()) {
  NarrowLibrarySearch();
  InitCommonControlsOnce();
  // The message area's classes, RichEdit20W and RichEdit20A, live in this library.
  state_->richEdit = LoadSystemLibrary("riched20.dll");
  richEditLoaded.store(state_->richEdit != nullptr);
  RegisterWindowClass(kHandOverClass, HandOverProcedure, nullptr);
  // A plain window that is never shown: message-only windows came with
  // Windows 2000 and 98 lacks them.
  handOver.store(MakeWindow(0, kHandOverClass, WS_POPUP, {0, 0, 0, 0}, nullptr, nullptr));
}

Application::~Application() {
  const HWND window = handOver.exchange(nullptr);
  if (window != nullptr) ::DestroyWindow(window);
  if (state_->richEdit != nullptr) ::FreeLibrary(state_->richEdit);
}

void ExitMessageLoop(int status) {
  exitStatus = status;
  ::PostQuitMessage(status);
}

std::string ProgramFileName() {
  char path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string full(path, length < MAX_PATH ? length : 0);
  const size_t slash = full.find_last_of("\\/");
  return slash == std::string::npos ? full : full.substr(slash + 1);
}

int Application::Run() {
  if (shownForms == 0) return exitStatus;
  looping = true;
  MSG message;
  while (NextMessage(message) > 0) {
    FormWindow* form = FormOf(message.hwnd);
    // A menu item's shortcut wins over the control that has the focus.
    if (form != nullptr && message.message == WM_KEYDOWN && CtrlHeld() &&
        form->Shortcut(static_cast<UINT>(message.wParam)))
      continue;
    // Tab and the arrow keys move the focus as in a dialog.
    if (form != nullptr && DialogMessage(form->Handle(), message)) continue;
    ::TranslateMessage(&message);
    Dispatch(message);
  }
  looping = false;
  // The last window's closing asks for 0 too; a status asked for before wins.
  return exitStatus;
}

// The system's own texts (message box buttons) come in the system's language.
bool UseToolkitJapanese(bool) { return true; }

}  // namespace tk
