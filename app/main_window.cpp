// TForm1's construction from its window description, its event wiring and
// the two context-menu handlers that do nothing.
#include "app/main_window.h"

#include "app/program.h"
#include "app/run_watch.h"
#include "app/startup.h"

namespace {

constexpr const char* kOpenFilter = "Firmware File (*.bin)|*.bin|All Files (*.*)|*.*";

}  // namespace

TForm1::TForm1(Program& program, bool runStartup)
    : tk::Form(kClientWidth, kClientHeight),
      program(program),
      Label15(Client(), 16, 8, ""),
      ComboBox1(Client(), {128, 4, 257, 20}),
      Label3(Client(), 16, 32, ""),
      Label11(Client(), 136, 32, ""),
      Label10(Client(), 16, 56, ""),
      Label12(Client(), 136, 56, ""),
      RichEdit1(Client(), {8, 77, 193, 61}, "RichEdit1"),
      Button1(Client(), {224, 112, 69, 25}, ""),
      Button2(Client(), {320, 112, 65, 25}, ""),
      Label22(Client(), 8, 144, ""),
      ProgressBar1(Client(), {8, 160, 385, 17}, 0, 100),
      Bevel2(Client(), {8, 237, 385, 2}, tk::BevelShape::TopLine),
      Bevel1(Client(), {8, 248, 225, 121}, tk::BevelShape::Frame),
      Label4(Client(), 16, 256, "HA_ID:"),
      Label6(Client(), 64, 256, "Label6"),
      Label5(Client(), 96, 256, "TG_ID:"),
      Label7(Client(), 144, 256, "Label7"),
      Label1(Client(), 16, 280, "Label1"),
      Label2(Client(), 96, 280, "Label2"),
      Label8(Client(), 16, 304, "Label8"),
      Label9(Client(), 96, 304, "Label9"),
      Label18(Client(), 16, 328, "WinVer:"),
      Label19(Client(), 64, 328, "Label19"),
      Label20(Client(), 112, 328, "DMA check:"),
      Label21(Client(), 184, 328, "Label21"),
      Label17(Client(), 16, 352, "Label17"),
      Label23(Client(), 152, 352, "Label23"),
      Label24(Client(), 192, 352, "Label24"),
      Edit1(Client(), {256, 248, 121, 20}, "*.bin"),
      Label13(Client(), 264, 272, ""),
      Label14(Client(), 328, 272, ""),
      Edit2(Client(), {248, 288, 41, 20}, ""),
      Edit3(Client(), {296, 288, 41, 20}, ""),
      Edit4(Client(), {344, 288, 41, 20}, ""),
      RadioGroup1(Client(), {248, 312, 137, 57}, ""),
      RadioButton1(Client(), {264, 328, 113, 17}, ""),
      RadioButton2(Client(), {264, 344, 113, 17}, ""),
      FileF1(AddMenu("")),
      Exit1(AddMenuItem(FileF1, "")),
      SaveFW(AddPopupItem("")),
      Detail1(AddPopupItem("")),
      OpenDialog1{kOpenFilter},
      view(program, *this) {
  // Tab order as the description numbers it.
  tk::SetTabOrder({&ComboBox1, &Button1, &Edit2, &Edit3, &Button2, &Edit1, &RadioGroup1, &RadioButton1,
                   &RadioButton2, &ProgressBar1, &Edit4, &RichEdit1});

  // Screen readers call the drive list by its caption.
  Label15.SetBuddy(ComboBox1);

  Exit1.SetShortcut("Ctrl+X");
  SaveFW.SetShortcut("Ctrl+S");
  SaveFW.SetVisible(false);
  Detail1.SetShortcut("Ctrl+D");
  Detail1.SetVisible(false);

  // Enabled with the toolkit's default interval, as designed.
  Timer1.SetEnabled(true);

  ComboBox1.OnChange([this] { ComboBox1Change(); });
  Button1.OnClick([this] { Button1Click(); });
  Button2.OnClick([this] { Button2Click(); });
  Exit1.OnClick([this] { Exit1Click(); });
  RadioButton1.OnClick([this] { RadioButton1Click(); });
  RadioButton2.OnClick([this] { RadioButton2Click(); });
  SaveFW.OnClick([this] { SaveFWClick(); });
  Detail1.OnClick([this] { Detail1Click(); });
  Timer1.OnTimer([this] { Timer1Timer(); });
  OnClose([this](tk::CloseAction& action) { FormClose(action); });

  if (runStartup) RunStartup(*this);
}

TForm1::~TForm1() = default;

void TForm1::SaveFWClick() {}

void TForm1::Detail1Click() {}
