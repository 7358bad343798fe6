// The display's resolution, for the layout's 96-dots-per-inch pixels.
#include "app/toolkit/win32/win32_native.h"

namespace tk {

namespace {

constexpr int kLayoutDpi = 96;

int SystemDpi() {
  static const int dpi = [] {
    const HDC screen = ::GetDC(nullptr);
    const int read = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ::ReleaseDC(nullptr, screen);
    return read > 0 ? read : kLayoutDpi;
  }();
  return dpi;
}

}  // namespace

int Scaled(int layoutPixels) { return ::MulDiv(layoutPixels, SystemDpi(), kLayoutDpi); }

int Unscaled(int devicePixels) { return ::MulDiv(devicePixels, kLayoutDpi, SystemDpi()); }

}  // namespace tk
