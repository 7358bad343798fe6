#include "app/entry/application_setup.h"
#include "app/toolkit/application.h"

void SetUpApplication() { tk::SetApplicationTitle(kApplicationTitle); }

// The toolkit converts the program's own texts with or without the
// system's code page 932 (most Western systems lack it): nothing to refuse.
std::string CheckTextConversion() { return {}; }
