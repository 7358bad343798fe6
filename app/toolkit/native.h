// What the shared toolkit code asks of a back-end: the native calls alone.
// The shared files (app/toolkit/*.cpp) hand every operation to the window
// thread and keep the control behaviour that is not a native call (which
// handler runs when, clamping, skipping a repaint); each back-end
// (app/toolkit/qt, app/toolkit/win32) defines these functions and nothing
// of that behaviour. Toolkit only: app/ never includes this header.
// Threads: window thread, every function.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/toolkit/controls.h"
#include "app/toolkit/form.h"
#include "app/toolkit/timer.h"

namespace tk {

// What the back-ends call on the operator's acts, so that a control's
// handlers run by the same rules whichever toolkit reported the act.
struct ControlAccess {
  static void Clicked(Button& button);
  static void Clicked(RadioButton& radio);
  static void Picked(ComboBox& box);  // the current item is already the picked one
  static void Edited(ComboBox& box);  // the edit field holds the operator's text
};

namespace native {

// Any control.
void SetEnabled(NativeControl* control, bool enabled);
bool Enabled(NativeControl* control);
bool Visible(NativeControl* control);
Bounds GetBounds(NativeControl* control);
void SetAccessibleName(NativeControl* control, std::string_view cp932);
std::string AccessibleName(NativeControl* control);
void SetTabOrder(const std::vector<NativeControl*>& order);
// The one-line text of a label, button, radio button, group box or edit field.
void SetText(NativeControl* control, std::string_view cp932);
std::string Text(NativeControl* control);

// Each kind is made with its text (and, where it raises events, the owner
// the events go to); its other state is set by the shared code.
NativeControl* MakeLabel(NativeControl* parent, int left, int top);
void FitLabelToText(NativeControl* label);
void SetLabelCentered(NativeControl* label, bool centered);
bool LabelCentered(NativeControl* label);
void SetLabelBuddy(NativeControl* label, NativeControl* buddy);

NativeControl* MakeButton(Button& owner, NativeControl* parent, Bounds bounds, std::string_view cp932);
NativeControl* MakeEdit(NativeControl* parent, Bounds bounds, std::string_view cp932);
NativeControl* MakeGroupBox(NativeControl* parent, Bounds bounds, std::string_view cp932);
NativeControl* MakeBevel(NativeControl* parent, Bounds bounds, BevelShape shape);

// Radio buttons with the same parent exclude each other: checking one
// unchecks its siblings. Nothing here raises the click handler.
NativeControl* MakeRadioButton(RadioButton& owner, NativeControl* parent, Bounds bounds, std::string_view cp932);
void SetChecked(NativeControl* radio, bool checked);
bool Checked(NativeControl* radio);

// The message area. Setting its text also marks it as not edited by the
// operator; its text comes out with a line-feed byte between paragraphs.
NativeControl* MakeRichEdit(NativeControl* parent, Bounds bounds, std::string_view cp932);
void SetRichText(NativeControl* box, std::string_view cp932);
std::string RichText(NativeControl* box);
bool RichTextEdited(NativeControl* box);
void PaintTextNow(NativeControl* box);  // the text area alone
void RepaintNow(NativeControl* box);    // the whole control

// A progress bar as the toolkit keeps it, with no clamping of its own.
NativeControl* MakeProgressBar(NativeControl* parent, Bounds bounds);
void SetRange(NativeControl* bar, int min, int max);
int RangeMin(NativeControl* bar);
int RangeMax(NativeControl* bar);
void SetPosition(NativeControl* bar, int position);
int Position(NativeControl* bar);

// The editable combo box. Setting the current item shows the start of its
// text and raises nothing; PickItem and TypeText act as the operator would
// and reach ControlAccess::Picked and ControlAccess::Edited.
NativeControl* MakeComboBox(ComboBox& owner, NativeControl* parent, Bounds bounds);
void AddItem(NativeControl* box, std::string_view cp932);  // leaves the current item as it was
int ItemCount(NativeControl* box);
std::string Item(NativeControl* box, int index);
void SetItemIndex(NativeControl* box, int index);
int ItemIndex(NativeControl* box);  // -1 when none
void PickItem(NativeControl* box, int index);
void TypeText(NativeControl* box, std::string_view cp932);

// The form's window.
FormWindow* MakeFormWindow(Form& form, int clientWidth, int clientHeight);
NativeControl* FormClient(FormWindow& window);
void ShowForm(FormWindow& window);  // centred the first time
bool FormShown(FormWindow& window);
void SetFormCaption(FormWindow& window, std::string_view cp932);
std::string FormCaption(FormWindow& window);
void SetFormOuterHeight(FormWindow& window, int height);
int FormOuterHeight(const Form& form);
int FormFrameHeight(FormWindow& window);
// Asks the window to close, as the system's close would: the back-end
// runs Form::RunCloseHandler and closes it when that allows.
void CloseForm(FormWindow& window);
// The form's hold of the session's end changed: tells the system.
void TellSystemSessionEndHold(Form& form);

// The window thread's timer (made and destroyed by the back-end's Timer
// constructor and destructor). Starting a running timer or stopping a
// stopped one is not asked for; a new interval restarts a running timer's
// count.
void StartTimer(NativeTimer& timer);
void StopTimer(NativeTimer& timer);
bool TimerRunning(const NativeTimer& timer);
void SetTimerInterval(NativeTimer& timer, int ms);
int TimerInterval(const NativeTimer& timer);

// The application's name until the program sets its title (CP932).
// Threads: any.
std::string ToolkitApplicationName();

// A message box with one OK button, modal, run until closed. A fatal one is
// modal for the whole application and stands on top of every window.
enum class BoxKind { Plain, Fatal };
void RunMessageBox(BoxKind kind, std::string_view textCp932, std::string_view captionCp932);
void Beep();

}  // namespace native

}  // namespace tk
