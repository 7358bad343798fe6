#include "platform/win32/cp932_text.h"

#include <climits>

#include "platform/win32/windows_api.h"

namespace platform {

namespace {

constexpr UINT CODE_PAGE_SHIFT_JIS = 932;

}  // namespace

std::optional<std::wstring> Cp932ToUtf16(std::string_view cp932) {
  if (cp932.empty()) return std::wstring();
  if (cp932.size() > INT_MAX) return std::nullopt;
  const int inLen = static_cast<int>(cp932.size());
  const int outLen = ::MultiByteToWideChar(CODE_PAGE_SHIFT_JIS, 0, cp932.data(), inLen, nullptr, 0);
  if (outLen <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(outLen), L'\0');
  if (::MultiByteToWideChar(CODE_PAGE_SHIFT_JIS, 0, cp932.data(), inLen, wide.data(), outLen) != outLen)
    return std::nullopt;
  return wide;
}

}  // namespace platform
