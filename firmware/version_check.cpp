// Placeholder until the version check lands.
#include "app/main_window.h"

void TForm1::ComboBox1Change() {}
