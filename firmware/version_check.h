// Comparing the selected drive's firmware revision with the version the
// container carries: a drive whose first three characters differ is refused
// (status 11, Button1 disabled); otherwise the container being newer, equal
// or older asks status 12, 32 or 33 with Button1 enabled. A drive reporting
// "N/A " counts as version "0.01".
//
// TForm1::ComboBox1Change (the operator's pick in the drive list) selects the
// picked drive and checks it. A pick while a flash run is active is ignored
// and the list goes back to the run's drive, so a run is never redirected and
// Button1 is not enabled again under it; typed text (no current item) is
// ignored as well.
// Threads: window thread only.
#pragma once

struct Program;
class TForm1;

// Does nothing unless a drive is selected and the container is valid, or when
// `position` names no kept drive.
void CheckVersion(Program& program, TForm1& form, int position);
