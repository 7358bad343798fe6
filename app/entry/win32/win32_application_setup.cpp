#include "app/entry/application_setup.h"
#include "app/toolkit/application.h"
#include "app/toolkit/text.h"

void SetUpApplication() { tk::SetApplicationTitle(kApplicationTitle); }

std::string CheckTextConversion() {
  if (tk::Cp932Available()) return {};
  return "this Windows cannot convert code page 932 (Shift-JIS) text, so the window would show no text; "
         "it needs the Japanese code page installed";
}
