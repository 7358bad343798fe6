// TForm1, the program's one window, built from its fixed description.
// Its construction runs the start-up sequence. Handlers run on the window
// thread; the flash thread changes controls through the toolkit, which
// carries each change out on the window thread.
#pragma once

#include <string>

#include "app/toolkit/controls.h"
#include "app/toolkit/form.h"
#include "app/toolkit/menu.h"
#include "app/toolkit/thread.h"
#include "app/toolkit/timer.h"

struct Program;

// A file-open dialog that nothing ever opens.
struct OpenDialog {
  std::string filter;
};

class TForm1 : public tk::Form {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 400;
  static constexpr int kClientHeight = 377;

  // Builds the window; runs the start-up sequence when runStartup is set
  // (tests of single operations build the window without it).
  explicit TForm1(Program& program, bool runStartup = true);
  ~TForm1() override;

  Program& program;

  // Visible upper part.
  tk::Label Label15;
  tk::ComboBox ComboBox1;
  tk::Label Label3;
  tk::Label Label11;
  tk::Label Label10;
  tk::Label Label12;
  tk::RichEdit RichEdit1;
  tk::Button Button1;
  tk::Button Button2;
  tk::Label Label22;
  tk::ProgressBar ProgressBar1;
  // Below the cut.
  tk::Bevel Bevel2;
  tk::Bevel Bevel1;
  tk::Label Label4;
  tk::Label Label6;
  tk::Label Label5;
  tk::Label Label7;
  tk::Label Label1;
  tk::Label Label2;
  tk::Label Label8;
  tk::Label Label9;
  tk::Label Label18;
  tk::Label Label19;
  tk::Label Label20;
  tk::Label Label21;
  tk::Label Label17;
  tk::Label Label23;
  tk::Label Label24;
  tk::Edit Edit1;
  tk::Label Label13;
  tk::Label Label14;
  tk::Edit Edit2;
  tk::Edit Edit3;
  tk::Edit Edit4;
  tk::GroupBox RadioGroup1;
  tk::RadioButton RadioButton1;
  tk::RadioButton RadioButton2;
  // Components without a place on the face.
  tk::MenuItem FileF1;
  tk::MenuItem Exit1;
  tk::MenuItem SaveFW;
  tk::MenuItem Detail1;
  OpenDialog OpenDialog1;
  tk::Timer Timer1;

  // The flash thread most recently started; empty once its run has ended.
  tk::ThreadRef flashThread;
  // Set when start-up closed the window before it was ever shown.
  bool closedDuringStartup = false;

  // Handlers, wired by the constructor.
  void Button1Click();
  void Button2Click();
  void Exit1Click();
  void FormClose(tk::CloseAction& action);
  void Timer1Timer();
  void ComboBox1Change();
  void RadioButton1Click();
  void RadioButton2Click();
  void SaveFWClick();
  void Detail1Click();
};
