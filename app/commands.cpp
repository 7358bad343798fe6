// Placeholder until the operator commands land.
#include "app/main_window.h"

void TForm1::Button1Click() {}
void TForm1::Button2Click() {}
void TForm1::Exit1Click() {}
void TForm1::FormClose(tk::CloseAction&) {}
void TForm1::Timer1Timer() {}
