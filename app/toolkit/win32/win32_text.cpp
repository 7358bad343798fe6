// Text conversions of the Win32 back-end: code page 932 whatever the
// system's own code page is, so that Japanese shows right everywhere.
#include <algorithm>
#include <climits>
#include <vector>

#include "app/toolkit/text.h"
#include "app/toolkit/win32/win32_native.h"
#include "platform/win32/cp932_text.h"

namespace tk {

namespace {

constexpr UINT CODE_PAGE_SHIFT_JIS = 932;

std::wstring ToWide(UINT codePage, std::string_view bytes) {
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  const int n = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), n, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), n, wide.data(), length);
  return wide;
}

std::string ToBytes(UINT codePage, std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int n = static_cast<int>(text.size());
  // UTF-8 takes no default character.
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  const int length = ::WideCharToMultiByte(codePage, 0, text.data(), n, nullptr, 0, fallback, nullptr);
  if (length <= 0) return {};
  std::string bytes(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), n, bytes.data(), length, fallback, nullptr);
  return bytes;
}

}  // namespace

std::wstring Wide(std::string_view cp932) {
  if (std::optional<std::wstring> wide = platform::Cp932ToUtf16(cp932)) return *wide;
  return ToWide(CP_ACP, cp932);
}

std::string FromWide(std::wstring_view text) {
  if (::IsValidCodePage(CODE_PAGE_SHIFT_JIS)) return ToBytes(CODE_PAGE_SHIFT_JIS, text);
  return ToBytes(CP_ACP, text);
}

bool WideTextWorks() {
  // The high bit of GetVersion is set on the 95/98/Me family.
  static const bool works = (::GetVersion() & 0x80000000U) == 0;
  return works;
}

void SetWindowTextCp932(HWND hwnd, std::string_view cp932) {
  if (WideTextWorks())
    ::SetWindowTextW(hwnd, Wide(cp932).c_str());
  else
    ::SetWindowTextA(hwnd, std::string(cp932).c_str());
}

void InsertMenuCp932(HMENU menu, UINT position, UINT flags, UINT_PTR what, std::string_view cp932) {
  if (WideTextWorks())
    ::InsertMenuW(menu, position, flags | MF_BYPOSITION, what, Wide(cp932).c_str());
  else
    ::InsertMenuA(menu, position, flags | MF_BYPOSITION, what, std::string(cp932).c_str());
}

std::string WindowTextCp932(HWND hwnd) {
  if (!WideTextWorks()) {
    const int size = ::GetWindowTextLengthA(hwnd);
    if (size <= 0) return {};
    std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
    bytes.resize(static_cast<std::size_t>(std::max(0, ::GetWindowTextA(hwnd, bytes.data(), size + 1))));
    return bytes;
  }
  const int length = ::GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(hwnd, text.data(), length + 1);
  return FromWide(std::wstring_view(text.data(), static_cast<std::size_t>(got > 0 ? got : 0)));
}

bool Cp932Available() { return ::IsValidCodePage(CODE_PAGE_SHIFT_JIS) != FALSE; }

std::string Cp932(std::string_view utf8) { return FromWide(ToWide(CP_UTF8, utf8)); }

std::string Cp932(std::u8string_view utf8) {
  return Cp932(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

std::string Utf8(std::string_view cp932) { return ToBytes(CP_UTF8, Wide(cp932)); }

}  // namespace tk
