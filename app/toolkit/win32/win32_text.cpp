// Texts of the Win32 back-end in the program's character kind (see
// AnsiWindows): the CP932 bytes as they are on the 95/98/Me family, code
// page 932 to UTF-16 whatever the system's own code page is on the NT family
// (through the program's own table where the system lacks code page 932).
// UTF-8 is decoded here, never by the system: Windows 95 does not convert it.
#include <algorithm>
#include <climits>
#include <vector>

#include "app/toolkit/text.h"
#include "app/toolkit/win32/win32_native.h"
#include "app/toolkit/win32/win32_own_texts.h"
#include "platform/win32/cp932_text.h"
#include "platform/win32/utf8_text.h"

// After <windows.h> (win32_native.h), which it needs.
#include <richedit.h>

namespace tk {

namespace {

using platform::CODE_PAGE_SHIFT_JIS;

std::string ToBytes(UINT codePage, std::wstring_view text) {
  return platform::Utf16ToCodePage(codePage, text).value_or(std::string());
}

// `text` into a fixed face-name field, cut to fit and ended by a zero.
template <typename Char, std::size_t N>
void CopyFace(Char (&field)[N], std::basic_string_view<Char> text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::copy_n(text.data(), n, field);
  field[n] = Char{};
}

template <typename LogFont, typename Char>
LogFont JapaneseFont(int pixels, BYTE pitchAndFamily, std::basic_string_view<Char> face) {
  LogFont font{};
  font.lfHeight = -pixels;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfPitchAndFamily = pitchAndFamily;
  CopyFace(font.lfFaceName, face);
  return font;
}

template <typename CharFormat, typename Char>
CharFormat JapaneseFormat(std::basic_string_view<Char> face, int twips) {
  CharFormat format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_CHARSET | CFM_FACE | CFM_SIZE;
  format.bCharSet = SHIFTJIS_CHARSET;
  CopyFace(format.szFaceName, face);
  format.yHeight = twips;
  return format;
}

std::wstring Utf16(std::u8string_view utf8) {
  return platform::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

// A Western Windows without the East Asian language files has no code page
// 932; the program's own texts then go through its own table.
bool SystemHasCp932() {
  static const bool has = platform::CodePageInstalled(CODE_PAGE_SHIFT_JIS);
  return has;
}

}  // namespace

std::wstring Wide(std::string_view cp932) {
  if (!SystemHasCp932()) return OwnCp932ToUtf16(cp932);
  return platform::Cp932ToUtf16(cp932).value_or(std::wstring());
}

std::string FromWide(std::wstring_view text) {
  if (!SystemHasCp932()) return OwnUtf16ToCp932(text);
  return ToBytes(CODE_PAGE_SHIFT_JIS, text);
}

void SetWindowTextCp932(HWND hwnd, std::string_view cp932) {
  if (AnsiWindows())
    ::SetWindowTextA(hwnd, std::string(cp932).c_str());
  else
    NT_WIDE("user32.dll", SetWindowTextW)(hwnd, Wide(cp932).c_str());
}

void InsertMenuCp932(HMENU menu, UINT position, UINT flags, UINT_PTR what, std::string_view cp932) {
  if (AnsiWindows())
    ::InsertMenuA(menu, position, flags | MF_BYPOSITION, what, std::string(cp932).c_str());
  else
    NT_WIDE("user32.dll", InsertMenuW)(menu, position, flags | MF_BYPOSITION, what, Wide(cp932).c_str());
}

std::string WindowTextCp932(HWND hwnd) {
  if (AnsiWindows()) {
    const int size = ::GetWindowTextLengthA(hwnd);
    if (size <= 0) return {};
    std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
    bytes.resize(static_cast<std::size_t>(std::max(0, ::GetWindowTextA(hwnd, bytes.data(), size + 1))));
    return bytes;
  }
  const int length = NT_WIDE("user32.dll", GetWindowTextLengthW)(hwnd);
  if (length <= 0) return {};
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = NT_WIDE("user32.dll", GetWindowTextW)(hwnd, text.data(), length + 1);
  return FromWide(std::wstring_view(text.data(), static_cast<std::size_t>(got > 0 ? got : 0)));
}

void MessageBoxCp932(HWND owner, std::string_view text, std::string_view caption, UINT style) {
  if (AnsiWindows())
    ::MessageBoxA(owner, std::string(text).c_str(), std::string(caption).c_str(), style);
  else
    NT_WIDE("user32.dll", MessageBoxW)(owner, Wide(text).c_str(), Wide(caption).c_str(), style);
}

SIZE TextExtentCp932(HDC dc, std::string_view cp932) {
  RECT r{0, 0, 0, 0};
  if (cp932.empty() || cp932.size() > INT_MAX) return SIZE{0, 0};
  if (AnsiWindows()) {
    ::DrawTextA(dc, cp932.data(), static_cast<int>(cp932.size()), &r, DT_CALCRECT | DT_NOPREFIX);
  } else {
    const std::wstring text = Wide(cp932);
    NT_WIDE("user32.dll", DrawTextW)(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_NOPREFIX);
  }
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void AddComboItemCp932(HWND box, std::string_view cp932) {
  if (AnsiWindows())
    ::SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::string(cp932).c_str()));
  else
    NT_WIDE("user32.dll", SendMessageW)(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(cp932).c_str()));
}

std::string ComboItemCp932(HWND box, int index) {
  if (AnsiWindows()) {
    const LRESULT size = ::SendMessageA(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (size == CB_ERR || size <= 0) return {};
    std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
    ::SendMessageA(box, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(bytes.data()));
    bytes.resize(static_cast<std::size_t>(size));
    return bytes;
  }
  const LRESULT length = NT_WIDE("user32.dll", SendMessageW)(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length <= 0) return {};
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  NT_WIDE("user32.dll", SendMessageW)(box, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  return FromWide(std::wstring_view(text.data(), static_cast<std::size_t>(length)));
}

HFONT MakeJapaneseFont(int pixels, BYTE pitchAndFamily, std::u8string_view face) {
  // A system without the face maps it by character set and family.
  if (AnsiWindows()) {
    const auto font = JapaneseFont<LOGFONTA>(pixels, pitchAndFamily, std::string_view(Cp932(face)));
    return ::CreateFontIndirectA(&font);
  }
  const auto font = JapaneseFont<LOGFONTW>(pixels, pitchAndFamily, std::wstring_view(Utf16(face)));
  return NT_WIDE("gdi32.dll", CreateFontIndirectW)(&font);
}

// The rich-edit control reads the format by its size: the ANSI one, with
// the face in the code page's bytes, for RichEdit20A.
void SetRichEditFont(HWND box, std::u8string_view face, int twips) {
  if (AnsiWindows()) {
    const auto format = JapaneseFormat<CHARFORMAT2A>(std::string_view(Cp932(face)), twips);
    ::SendMessageA(box, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  } else {
    const auto format = JapaneseFormat<CHARFORMAT2W>(std::wstring_view(Utf16(face)), twips);
    NT_WIDE("user32.dll", SendMessageW)(box, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  }
}

// The program's own texts convert without the system's code page 932.
bool Cp932Available() { return true; }

// UTF-8 decoded here: Windows 95 does not convert CP_UTF8.
std::string Cp932(std::string_view utf8) { return FromWide(platform::Utf8ToUtf16(utf8)); }

std::string Cp932(std::u8string_view utf8) {
  return Cp932(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

std::string Cp932FromSystem(std::string_view native) {
  // The path is in the system's ANSI code page (932 only on a Japanese system).
  return FromWide(platform::CodePageToUtf16(CP_ACP, native).value_or(std::wstring()));
}

std::string Utf8(std::string_view cp932) { return platform::Utf16ToUtf8(Wide(cp932)); }

}  // namespace tk
