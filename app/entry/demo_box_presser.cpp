#include "app/entry/demo_box_presser.h"

#include <algorithm>

#include "app/toolkit/dialogs.h"
#include "app/toolkit/text.h"

namespace demo {

namespace {

// Often enough that a box never holds up a run for long.
constexpr int kLookMs = 100;

}  // namespace

BoxPresser::BoxPresser(DemoSay say) : say_(std::move(say)) {
  look_.SetInterval(kLookMs);
  look_.OnTimer([this] { Look(); });
  look_.SetEnabled(true);
}

void BoxPresser::Look() {
  const std::optional<std::string> text = tk::PressOpenMessageBox();
  if (!text) return;
  std::string line = tk::Utf8(*text);
  std::replace(line.begin(), line.end(), '\n', ' ');
  say_("zorvex-flash-demo: pressed OK on the box \"" + line + "\"");
  ++presses_;
}

}  // namespace demo
