// The form's operations, the same on every back-end: each runs on the
// window thread, and the close and session-end handlers are kept here; the
// back-end's window (native.h) makes the native calls.
#include "app/toolkit/form.h"

#include "app/toolkit/native.h"
#include "app/toolkit/window_thread.h"

namespace tk {

Form::Form(int clientWidth, int clientHeight)
    : window_(native::MakeFormWindow(*this, clientWidth, clientHeight)) {}

Form::~Form() = default;

NativeControl* Form::Client() const { return native::FormClient(*window_); }

void Form::Show() {
  RunOnWindowThread([&] { native::ShowForm(*window_); });
}

bool Form::Shown() const {
  return CallOnWindowThread([&] { return native::FormShown(*window_); });
}

void Form::SetCaption(std::string_view cp932) {
  RunOnWindowThread([&] { native::SetFormCaption(*window_, cp932); });
}

std::string Form::Caption() const {
  return CallOnWindowThread([&] { return native::FormCaption(*window_); });
}

void Form::SetOuterHeight(int height) {
  RunOnWindowThread([&] { native::SetFormOuterHeight(*window_, height); });
}

int Form::OuterHeight() const {
  return CallOnWindowThread([&] { return native::FormOuterHeight(*this); });
}

void Form::Close() {
  RunOnWindowThread([&] { native::CloseForm(*window_); });
}

void Form::OnClose(std::function<void(CloseAction&)> handler) {
  RunOnWindowThread([&] { onClose_ = std::move(handler); });
}

bool Form::RunCloseHandler() {
  CloseAction action = CloseAction::Free;
  if (auto call = onClose_) call(action);
  return action != CloseAction::None;
}

int Form::FrameHeight() const {
  return CallOnWindowThread([&] { return native::FormFrameHeight(*window_); });
}

}  // namespace tk
