// Thin wrappers over the toolkit's controls (Qt widgets, or Win32 child
// windows, as the build chooses), in the window description's terms. Texts go
// in and come out as CP932 bytes. Every operation may be called from any
// thread: it runs on the window thread (window_thread.h) before it returns.
// Event handlers run on the window thread. Setting a handler replaces the
// previous one. The wrapped controls belong to their parent; a wrapper must
// not outlive it, and wrappers stay where they were built (handlers refer to
// them), so they are neither copied nor moved. Construction: window thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tk {

using Handler = std::function<void()>;

// The back-end's own object behind a control or a window's client area (a
// QWidget, or a window handle). Only the back-end and its tests look inside
// (app/toolkit/qt/qt_native.h, app/toolkit/win32/win32_native.h).
struct NativeControl;
// The back-end's access to what a control keeps of its own (its handlers).
struct ControlAccess;

struct Bounds {
  int left, top, width, height;
  bool operator==(const Bounds&) const = default;
};

class Control {
 public:
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  void SetEnabled(bool enabled);
  bool Enabled() const;
  // The control's own visibility, whether or not its window is shown, and
  // also when the window's height cuts the control off.
  bool Visible() const;
  // Relative to the parent's client area.
  Bounds GetBounds() const;
  // What screen readers call the control.
  void SetAccessibleName(std::string_view cp932);
  std::string AccessibleName() const;
  NativeControl* Native() const { return native_; }

 protected:
  explicit Control(NativeControl* native) : native_(native) {}
  NativeControl* native_;
};

// Takes the width and height of its text.
class Label : public Control {
 public:
  Label(NativeControl* parent, int left, int top, std::string_view caption);
  void SetCaption(std::string_view cp932);
  std::string Caption() const;
  void SetCentered(bool centered);
  bool Centered() const;
  // The control this label names: screen readers call it by the label's
  // text and relate the two.
  void SetBuddy(const Control& control);
};

class Button : public Control {
 public:
  Button(NativeControl* parent, Bounds bounds, std::string_view caption);
  void SetCaption(std::string_view cp932);
  std::string Caption() const;
  // A disabled button raises no click.
  void OnClick(Handler handler);
  void Click();  // as the operator would: nothing when disabled

 private:
  friend struct ControlAccess;
  Handler onClick_;
};

class Edit : public Control {
 public:
  Edit(NativeControl* parent, Bounds bounds, std::string_view text);
  void SetText(std::string_view cp932);
  std::string Text() const;
};

// Editable combo box. Setting the current item raises no change event; the
// operator's pick or edit does. Once the operator has edited the text no
// item is current (index -1) until one is picked or set again.
class ComboBox : public Control {
 public:
  ComboBox(NativeControl* parent, Bounds bounds);
  void AddItem(std::string_view cp932);
  int ItemCount() const;
  std::string Item(int index) const;
  std::string Text() const;  // the edit field
  void SetItemIndex(int index);
  int ItemIndex() const;  // -1 when none
  void OnChange(Handler handler);
  void Pick(int index);                   // as the operator would
  void TypeText(std::string_view cp932);  // as the operator would

 private:
  friend struct ControlAccess;
  Handler onChange_;
  bool edited_ = false;  // window thread only
};

// A line-feed byte gives a line break (a new paragraph).
class RichEdit : public Control {
 public:
  RichEdit(NativeControl* parent, Bounds bounds, std::string_view text);
  void SetText(std::string_view cp932);
  std::string Text() const;  // paragraphs joined by line-feed bytes
  int ParagraphCount() const;
  void Repaint();  // paints now, not at the next pass of the event loop
  // The text is in the box and painted when this returns: set only when the
  // box shows another text (or one the operator edited), painted once; when
  // it is already shown and painted, nothing is done.
  void ShowNow(std::string_view cp932);

 private:
  std::string shown_;     // the text last set, CP932; window thread only
  bool painted_ = false;  // shown_ has been painted since it was set
};

// The position always lies between minimum and maximum: it is clamped on
// every setting, also when the maximum drops below it.
class ProgressBar : public Control {
 public:
  ProgressBar(NativeControl* parent, Bounds bounds, int min, int max);
  void SetMax(int max);
  int Max() const;
  int Min() const;
  void SetPosition(int position);
  int Position() const;
};

// Checking a button that was unchecked runs its click handler before the
// call returns, also when the program checks it; checking a checked button
// runs nothing. Radio buttons with the same parent exclude each other.
class RadioButton : public Control {
 public:
  RadioButton(NativeControl* parent, Bounds bounds, std::string_view caption);
  void SetCaption(std::string_view cp932);
  std::string Caption() const;
  void SetChecked(bool checked);
  bool Checked() const;
  void OnClick(Handler handler);
  void Click();  // as the operator would: nothing when disabled

 private:
  friend struct ControlAccess;
  Handler onClick_;
};

class GroupBox : public Control {
 public:
  GroupBox(NativeControl* parent, Bounds bounds, std::string_view caption);
  void SetCaption(std::string_view cp932);
  std::string Caption() const;
};

enum class BevelShape { Frame, TopLine };

class Bevel : public Control {
 public:
  Bevel(NativeControl* parent, Bounds bounds, BevelShape shape);
  BevelShape Shape() const { return shape_; }

 private:
  BevelShape shape_;
};

// Puts the controls into the keyboard focus chain in this order, also those
// that never take the focus themselves (they keep refusing it).
void SetTabOrder(const std::vector<const Control*>& order);

}  // namespace tk
