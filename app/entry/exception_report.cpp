#include "app/entry/exception_report.h"

#include "app/toolkit/application.h"
#include "app/toolkit/dialogs.h"
#include "app/toolkit/text.h"

void ReportException(const std::exception& error) {
  // The toolkit's fatal box; where no window can be shown, a line on stderr.
  tk::WindowDialogs().ShowFatalError(tk::Cp932(error.what()), tk::ApplicationTitle());
}
