#include "app/entry/demo_autopilot.h"

#include <algorithm>

#include "app/main_window.h"
#include "app/program.h"
#include "app/toolkit/text.h"
#include "app/toolkit/window_thread.h"

namespace demo {

namespace {

constexpr int kPollMs = 50;

}  // namespace

AutoPilot::AutoPilot(TForm1& form, DemoSay say) : form_(form), say_(std::move(say)) {
  poll_.SetInterval(kPollMs);
  poll_.OnTimer([this] { Poll(); });
}

void AutoPilot::Start() {
  tk::PostToWindowThread([this] { Press(); });
}

void AutoPilot::Press() {
  if (!form_.Button1.Enabled()) {
    Report("the flash button is disabled");
    form_.Exit1.Trigger();
    return;
  }
  form_.Button1.Click();
  poll_.SetEnabled(true);
}

void AutoPilot::Poll() {
  const RunState& run = form_.program.run;
  if (run.runActive.load()) return;
  form_.view.CatchUp();
  // The bar fills at the first tick after a success: let the operator's view finish.
  if (run.completion.load() == COMPLETION_SUCCESS && form_.Timer1.Enabled()) return;
  poll_.SetEnabled(false);
  succeeded_ = run.completion.load() == COMPLETION_SUCCESS;
  Report(succeeded_ ? "the run succeeded" : "the run failed");
  if (form_.Button2.Enabled())
    form_.Button2.Click();
  else
    form_.Exit1.Trigger();
}

void AutoPilot::Report(const char* what) {
  std::string message = tk::Utf8(form_.RichEdit1.Text());
  std::replace(message.begin(), message.end(), '\n', ' ');
  say_(std::string("zorvex-flash-demo: ") + what + "; the message area reads \"" + message + "\"");
}

}  // namespace demo
