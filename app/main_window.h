// TForm1, the program's one window, built from its fixed description.
// Its construction runs the start-up sequence. Handlers run on the window
// thread; the flash thread changes controls through the toolkit, which
// carries each change out on the window thread.
#pragma once

#include <memory>
#include <string>

#include "app/toolkit/controls.h"
#include "app/toolkit/dialogs.h"
#include "app/toolkit/form.h"
#include "app/toolkit/menu.h"
#include "app/toolkit/thread.h"
#include "app/toolkit/timer.h"
#include "app/window_view.h"

struct Program;

class RunWatch;

class TForm1 : public tk::Form {
 public:
  static constexpr int kClientWidth = 400;
  static constexpr int kClientHeight = 377;

  // Builds the window; runs the start-up sequence when runStartup is set
  // (tests of single operations build the window without it).
  explicit TForm1(Program& program, bool runStartup = true);
  ~TForm1() override;

  Program& program;

  // Visible upper part.
  tk::Label Label15;        // caption of the drive list
  tk::ComboBox ComboBox1;   // the drive list: one line per kept drive
  tk::Label Label3;         // caption "Current Version:"
  tk::Label Label11;        // the selected drive's revision
  tk::Label Label10;        // caption "New Version:"
  tk::Label Label12;        // the carried version
  tk::RichEdit RichEdit1;   // the message area
  tk::Button Button1;       // Flash
  tk::Button Button2;       // Cancel, after a successful run Power Off
  tk::Label Label22;        // caption "Status:"
  tk::ProgressBar ProgressBar1;
  // Below the cut: written, never seen.
  tk::Bevel Bevel2;         // separator at the cut
  tk::Bevel Bevel1;         // frame around the drive fields
  tk::Label Label4;         // fixed "HA_ID:"
  tk::Label Label6;         // selected host adapter, two hex digits
  tk::Label Label5;         // fixed "TG_ID:"
  tk::Label Label7;         // selected target id, two hex digits
  tk::Label Label1;         // selected drive's vendor
  tk::Label Label2;         // selected drive's product
  tk::Label Label8;         // selected drive's revision
  tk::Label Label9;         // blanked at start-up, nothing else
  tk::Label Label18;        // fixed "WinVer:"
  tk::Label Label19;        // platform family, "WinNT" or "Win9x"
  tk::Label Label20;        // fixed "DMA check:"
  tk::Label Label21;        // never changed
  tk::Label Label17;        // never changed
  tk::Label Label23;        // part one's checksum as text
  tk::Label Label24;        // part one's family tag
  tk::Edit Edit1;           // "*.bin", never read or changed
  tk::Label Label13;        // own-file path when a run cannot read it
  tk::Label Label14;        // never changed
  tk::Edit Edit2;           // never changed
  tk::Edit Edit3;           // never changed
  tk::Edit Edit4;           // progress counter in decimal
  tk::GroupBox RadioGroup1; // language frame
  tk::RadioButton RadioButton1;  // Japanese
  tk::RadioButton RadioButton2;  // English
  // Components without a place on the face.
  tk::MenuItem FileF1;
  tk::MenuItem Exit1;
  tk::MenuItem SaveFW;      // invisible, does nothing
  tk::MenuItem Detail1;     // invisible, does nothing
  tk::OpenDialog OpenDialog1;  // nothing ever opens it
  tk::Timer Timer1;         // the progress timer

  // The window as discovery, the container check and a flash run see it.
  WindowView view;

  // The flash thread most recently started; empty once its run has ended.
  tk::ThreadRef flashThread;
  // Set when start-up closed the window before it was ever shown.
  bool closedDuringStartup = false;
  // The window thread's watch over a flash run (app/run_watch.h), made at
  // the first run.
  std::unique_ptr<RunWatch> runWatch;

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
