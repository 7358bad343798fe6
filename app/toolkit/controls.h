// Thin wrappers over Qt widgets, in the window description's terms. Texts go
// in and come out as CP932 bytes. Every operation may be called from any
// thread: it runs on the window thread (window_thread.h) before it returns.
// Event handlers run on the window thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class QWidget;
class QLabel;
class QPushButton;
class QLineEdit;
class QComboBox;
class QTextEdit;
class QProgressBar;
class QRadioButton;
class QGroupBox;
class QFrame;

namespace tk {

using Handler = std::function<void()>;

struct Bounds {
  int left, top, width, height;
};

class Control {
 public:
  virtual ~Control() = default;
  void SetEnabled(bool enabled);
  bool Enabled() const;
  bool Visible() const;
  Bounds GetBounds() const;
  QWidget* Widget() const { return widget_; }

 protected:
  explicit Control(QWidget* widget) : widget_(widget) {}
  QWidget* widget_;
};

// Takes the width of its text.
class Label : public Control {
 public:
  Label(QWidget* parent, int left, int top, std::string_view caption);
  void SetCaption(std::string_view cp932);
  std::string Caption() const;
  void SetCentered(bool centered);
  bool Centered() const;
};

class Button : public Control {
 public:
  Button(QWidget* parent, Bounds bounds, std::string_view caption);
  void SetCaption(std::string_view cp932);
  std::string Caption() const;
  // A disabled button raises no click.
  void OnClick(Handler handler);
  void Click();  // as the operator would: nothing when disabled
};

class Edit : public Control {
 public:
  Edit(QWidget* parent, Bounds bounds, std::string_view text);
  void SetText(std::string_view cp932);
  std::string Text() const;
};

// Editable combo box. Setting the current item raises no change event; the
// operator's pick or edit does.
class ComboBox : public Control {
 public:
  ComboBox(QWidget* parent, Bounds bounds);
  void AddItem(std::string_view cp932);
  int ItemCount() const;
  std::string Item(int index) const;
  void SetItemIndex(int index);
  int ItemIndex() const;  // -1 when none
  void OnChange(Handler handler);
  void Pick(int index);                   // as the operator would
  void TypeText(std::string_view cp932);  // as the operator would
};

// A line-feed byte gives a line break.
class RichEdit : public Control {
 public:
  RichEdit(QWidget* parent, Bounds bounds, std::string_view text);
  void SetText(std::string_view cp932);
  std::string Text() const;
  void Repaint();
};

class ProgressBar : public Control {
 public:
  ProgressBar(QWidget* parent, Bounds bounds, int min, int max);
  void SetMax(int max);
  int Max() const;
  void SetPosition(int position);
  int Position() const;
};

// Checking a button that was unchecked runs its click handler before the
// call returns, also when the program checks it.
class RadioButton : public Control {
 public:
  RadioButton(QWidget* parent, Bounds bounds, std::string_view caption);
  void SetCaption(std::string_view cp932);
  std::string Caption() const;
  void SetChecked(bool checked);
  bool Checked() const;
  void OnClick(Handler handler);
};

class GroupBox : public Control {
 public:
  GroupBox(QWidget* parent, Bounds bounds, std::string_view caption);
  void SetCaption(std::string_view cp932);
  std::string Caption() const;
};

enum class BevelShape { Frame, TopLine };

class Bevel : public Control {
 public:
  Bevel(QWidget* parent, Bounds bounds, BevelShape shape);
};

}  // namespace tk
