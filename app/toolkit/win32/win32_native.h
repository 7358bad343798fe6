// What the Win32 back-end's files share: the window handles behind the
// toolkit's opaque handles, the text conversions, the window font, the
// hand-over window and the menus' handles. Win32 back-end only.
// Threads: window thread, unless a function says otherwise.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/toolkit/controls.h"
#include "app/toolkit/form.h"
#include "app/toolkit/menu.h"
#include "app/toolkit/menu_book.h"
#include "platform/win32/windows_api.h"

namespace tk {

// A control's native handle is its window handle; the casts only ever go
// back to the type they came from.
inline NativeControl* AsNative(HWND hwnd) { return reinterpret_cast<NativeControl*>(hwnd); }
inline HWND Hwnd(NativeControl* native) { return reinterpret_cast<HWND>(native); }
inline HWND Hwnd(const Control& control) { return Hwnd(control.Native()); }

// The character kind of the program's windows, chosen once for the process
// from the family the platform reports (as start-up sees it): the 95/98/Me
// family has the wide window functions only as failing stubs, so there
// every class, window, message loop and text goes through the ANSI
// functions with the CP932 bytes as they are (right where the system's
// code page is 932); the NT family takes the wide ones, which show Japanese
// whatever the system's code page is. A window must be spoken to in its own
// kind: the system converts texts between the kinds through the system's
// code page, which is what loses Japanese on NT. Calls that carry no text
// take the ANSI functions on both families, where they are the same call.
// Only the functions below (win32_window_kind.cpp, win32_text.cpp) choose.
// Threads: any.
bool AnsiWindows();

// A wide function of user32 or gdi32, for the NT family's path only, looked
// up by name at run time: 95/98/Me export some of them only as failing stubs
// and some not at all, and one import the loader cannot resolve keeps the
// whole program from starting there. Every NT exports them; AnsiWindows()
// holds wherever they are missing, so the wide path never meets a null.
//   NT_WIDE("user32.dll", SetWindowTextW)(hwnd, text);
template <typename Function>
Function LookUpWide(const char* library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA(library), name)));
}
#define NT_WIDE(library, function)                                                                \
  ([] {                                                                                           \
    static const auto found = ::tk::LookUpWide<decltype(&::function)>(library, #function);        \
    return found;                                                                                 \
  }())

// A window class of the program's kind (`name` is ASCII), with the arrow
// cursor; false when the system refused it.
bool RegisterWindowClass(const char* name, WNDPROC procedure, HBRUSH background);
// A window of the program's kind with an empty text; `param` reaches
// WM_NCCREATE (CreationParam).
HWND MakeWindow(DWORD exStyle, const char* className, DWORD style, Bounds bounds, HWND parent, HMENU menu,
                void* param = nullptr);
void* CreationParam(LPARAM createStruct);
LRESULT DefaultProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The message loop's three calls, in the kind the windows were made in.
BOOL NextMessage(MSG& message);
bool DialogMessage(HWND dialog, MSG& message);
void Dispatch(const MSG& message);
// Whether `hwnd` is of the class `name` (ASCII, any case).
bool HasClass(HWND hwnd, const char* name);

// CP932 bytes to UTF-16 with code page 932 whatever the system's own code
// page is (the system's ANSI code page where 932 is missing), and back
// (characters outside CP932 become '?'). Threads: any.
std::wstring Wide(std::string_view cp932);
std::string FromWide(std::wstring_view text);
// A window's text, set from and read as CP932 bytes.
void SetWindowTextCp932(HWND hwnd, std::string_view cp932);
std::string WindowTextCp932(HWND hwnd);
// A menu item inserted at `position` (MF_BYPOSITION) with a CP932 caption.
void InsertMenuCp932(HMENU menu, UINT position, UINT flags, UINT_PTR what, std::string_view cp932);
// A message box with CP932 texts; blocks until closed.
void MessageBoxCp932(HWND owner, std::string_view text, std::string_view caption, UINT style);
// The size `cp932` takes on one line in the font selected into `dc`.
SIZE TextExtentCp932(HDC dc, std::string_view cp932);
// A combo box's list: an item added at the end, and an item's text.
void AddComboItemCp932(HWND box, std::string_view cp932);
std::string ComboItemCp932(HWND box, int index);
// A font of `pixels` height in the Shift-JIS character set with the face
// `face` (UTF-8).
HFONT MakeJapaneseFont(int pixels, BYTE pitchAndFamily, std::u8string_view face);
// The whole text of a rich-edit control in the face `face` (UTF-8), the
// Shift-JIS character set, `twips` high.
void SetRichEditFont(HWND box, std::u8string_view face, int twips);

// The window's layout is given in pixels at 96 dots per inch. The program
// declares itself aware of the display's resolution (its manifest), so
// Windows does not stretch its bitmap on a larger setting; the toolkit
// scales positions, sizes and the font to the system's resolution itself
// (read once: the program does not follow a change while it runs), and
// answers in the layout's own pixels. Threads: window thread.
int Scaled(int layoutPixels);
int Unscaled(int devicePixels);

// The window's font (Form::kFontFamily, Shift-JIS character set, 12 pixels);
// made once, kept for the life of the process.
HFONT WindowFont();
// A child control of `parent` at `bounds`, in the window font. A control
// that raises events gets the Control it stands for in its user data (set
// by the caller), where the form's window procedure finds it (Notify).
HWND MakeControl(const char* windowClass, DWORD style, NativeControl* parent, Bounds bounds,
                 std::string_view cp932 = {});

// Whether riched20.dll, home of the message area's rich-edit classes, was
// loaded with the application object. Windows 95 and NT 4.0 lack it unless
// another program brought it; there the message area is a multi-line edit
// control, which shows the same texts without the rich-edit formatting.
bool RichEditAvailable();

// The message-only window that carries hand-overs and timer ticks to the
// window thread; nullptr until the application object exists.
HWND HandOverWindow();
inline constexpr UINT WM_ZX_HANDOVER = WM_APP + 1;
// A tick of the timer whose id arrived with WM_TIMER (timer).
void TickTimer(UINT_PTR id);

// A WM_COMMAND notification from a control, passed on to its handlers.
void Notify(Control& control, WORD code);

// A menu's native handle is its HMENU; an item's command is its id past
// the ids the system keeps for itself.
inline NativeMenu* AsNativeMenu(HMENU menu) { return reinterpret_cast<NativeMenu*>(menu); }
inline HMENU Hmenu(NativeMenu* menu) { return reinterpret_cast<HMENU>(menu); }
inline constexpr UINT kFirstItemId = 100;
inline UINT CommandOf(const NativeMenuItem& item) { return kFirstItemId + static_cast<UINT>(item.id); }

// The top-level window behind a Form.
class FormWindow {
 public:
  FormWindow(Form& form, int clientWidth, int clientHeight);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  Form& Owner() const { return form_; }
  bool Shown() const { return shown_; }
  void Show();
  void Hide();
  void SetOuterHeight(int height);
  int OuterHeight() const;

  HMENU MenuBar() const { return menuBar_; }
  HMENU Popup() const { return popup_; }
  MenuBook& Menus() { return menus_; }
  // A key pressed anywhere in the window: true when it was the shortcut of
  // a visible item, which then ran.
  bool Shortcut(UINT virtualKey);
  void ShowPopup(int x, int y);

  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  Form& form_;
  int clientWidth_;
  HWND hwnd_ = nullptr;
  HMENU menuBar_ = nullptr;
  HMENU popup_ = nullptr;
  MenuBook menus_{*this};
  bool shown_ = false;
  bool centred_ = false;
};

// Every form that is shown; the message loop ends once none is.
int ShownForms();
void FormShownChanged(bool shown);

// The task bar's window (win32_task_bar_window.cpp): the owner every form
// is made with, made with the first form, shown while any form is.
HWND TaskBarWindow(HWND form = nullptr);
void FormGone(HWND form);
void ShowTaskBarWindow(bool show);
// A form's minimise: the task bar's window goes, taking the forms with it.
void MinimiseToTaskBar();

}  // namespace tk
