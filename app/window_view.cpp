#include "app/window_view.h"

#include <string>

#include "app/main_window.h"
#include "app/messages.h"
#include "app/program.h"
#include "app/toolkit/application.h"
#include "app/toolkit/text.h"
#include "app/toolkit/window_thread.h"
#include "platform/exit_process.h"
#include "platform/standard_streams.h"
#include "platform/termination_requests.h"

namespace {

void ShowCentred(tk::Label& label, const std::string& text) {
  label.SetCaption(text);
  label.SetCentered(true);
}

}  // namespace

// Set here, in the calling thread's order (the trace records it now);
// shown at once on the window thread, else as the window catches up.
void WindowView::ShowStatus(StatusMsg code) {
  SetStatus(program_, code);
  display_.StatusChanged(false);
}

void WindowView::ShowStatusNow(StatusMsg code) {
  SetStatus(program_, code);
  display_.StatusChanged(true);
}

void WindowView::EnableFlash(bool enabled) { display_.FlashEnabled(enabled); }

void WindowView::ClearMessage() { form_.RichEdit1.SetText(""); }

void WindowView::ShowChecksum(std::string_view text) { form_.Label23.SetCaption(text); }

void WindowView::ShowFamilyTag(std::string_view text) { form_.Label24.SetCaption(text); }

void WindowView::ShowCarriedVersion(std::string_view text) { form_.Label12.SetCaption(text); }

void WindowView::DisableButtons() { display_.ButtonsDisabled(); }

void WindowView::StopProgress() { display_.ProgressStopped(); }

void WindowView::ShowOwnPath(const std::string& path) { display_.OwnPathShown(path); }

void WindowView::OfferPowerOff() { display_.PowerOffOffered(); }

void WindowView::RunOver() {
  if (tk::OnWindowThread()) return display_.Apply();
  // A lost display is taken care of where the loss is noticed.
  if (display_.AwaitWindow() || tk::WindowAbandoned()) return;
  // The window is held up in the display library: it may never come back,
  // so the run's end is said and carried out here, as its watch would.
  const std::string outcome = RunOutcomeInEnglish(program_);
  platform::SayLine("%s: the window does not answer; the flash run is over: \"%s\"", tk::ProgramFileName().c_str(),
                    outcome.c_str());
  if (const int request = platform::EndDeferral(outcome); request != 0)
    platform::ExitProcess(
        platform::ExitStatusAfterRequest(request, program_.run.completion.load() == COMPLETION_SUCCESS));
}

void WindowView::AddDriveLine(std::string_view line) { form_.ComboBox1.AddItem(std::string(line)); }

void WindowView::ShowDriveFields(const DriveFields& fields) {
  ShowCentred(form_.Label6, fields.haId);
  ShowCentred(form_.Label7, fields.target);
  form_.Label1.SetCaption(fields.vendor);
  form_.Label2.SetCaption(fields.product);
  form_.Label8.SetCaption(fields.revision);
  form_.Label11.SetCaption(fields.revision);
}
