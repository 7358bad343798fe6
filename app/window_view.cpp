#include "app/window_view.h"

#include <string>

#include "app/main_window.h"
#include "app/messages.h"
#include "app/program.h"
#include "app/toolkit/text.h"
#include "app/toolkit/window_thread.h"

namespace {

void ShowCentred(tk::Label& label, const std::string& text) {
  label.SetCaption(text);
  label.SetCentered(true);
}

}  // namespace

void WindowView::ShowStatus(StatusMsg code) { ::ShowStatus(program_, form_, code); }

void WindowView::ShowStatusNow(StatusMsg code) { ::ShowStatusNow(program_, form_, code); }

void WindowView::EnableFlash(bool enabled) { form_.Button1.SetEnabled(enabled); }

void WindowView::ClearMessage() { form_.RichEdit1.SetText(""); }

void WindowView::ShowChecksum(std::string_view text) { form_.Label23.SetCaption(text); }

void WindowView::ShowFamilyTag(std::string_view text) { form_.Label24.SetCaption(text); }

void WindowView::ShowCarriedVersion(std::string_view text) { form_.Label12.SetCaption(text); }

void WindowView::DisableButtons() {
  tk::RunOnWindowThread([&] {
    form_.Button1.SetEnabled(false);
    form_.Button2.SetEnabled(false);
  });
}

void WindowView::StopProgress() { form_.Timer1.SetEnabled(false); }

void WindowView::ShowOwnPath(const std::string& path) { form_.Label13.SetCaption(tk::Cp932FromSystem(path)); }

void WindowView::OfferPowerOff() {
  // One step on the window thread: no click can reach Button2 between its
  // enabling and the arming, so it never acts as a plain cancel while it
  // reads "Power Off".
  tk::RunOnWindowThread([&] {
    form_.Button2.SetEnabled(true);
    form_.Button2.SetCaption(program_.run.Japanese() ? tk::Cp932(u8"電源オフ") : std::string("Power Off"));
    program_.run.powerOffArmed.store(POWER_OFF_ARMED);
  });
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
