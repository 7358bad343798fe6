// The contract suite's driver on the Qt back-end, offscreen by default.
#include <gmock/gmock.h>

#include <QApplication>
#include <QFileDialog>
#include <QTest>

#include "app/toolkit/qt/form_window.h"
#include "app/toolkit/qt/qt_text.h"
#include "tests/support/toolkit/toolkit_driver.h"
#include "tests/support/window/event_wait.h"

namespace toolkit_test {

namespace {
tk::Application* application = nullptr;
}  // namespace

tk::Application& TheApplication() { return *application; }

bool TurnEventLoopUntil(const std::function<bool()>& done, int safetyNetMs) {
  return testing_support::ProcessEventsUntil(done, safetyNetMs);
}

std::optional<std::vector<std::string>> AnswerOpenDialog(const std::optional<std::string>& path) {
  auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
  if (dialog == nullptr || !dialog->isVisible()) return std::nullopt;
  std::vector<std::string> offered;
  for (const QString& filter : dialog->nameFilters()) offered.push_back(tk::ToCp932(filter));
  if (path) {
    dialog->selectFile(tk::FromCp932(*path));
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the chosen file
    // A file the dialog refused leaves it open: close it, so that the test
    // fails on the answer instead of waiting for ever.
    if (dialog->isVisible()) dialog->reject();
  } else {
    dialog->reject();
  }
  return offered;
}

void PressCtrlKey(tk::Form& form, char letter) {
  QApplication::setActiveWindow(&form.Window());
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form.Window()));
  QTest::keyClick(&form.Window(), static_cast<Qt::Key>(Qt::Key_A + (letter - 'A')), Qt::ControlModifier);
}

}  // namespace toolkit_test

// Tests never need a real display; CTest's discovery step runs the program
// without the test environment, so offscreen is the default here too.
int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  tk::Application app;
  toolkit_test::application = &app;
  return RUN_ALL_TESTS();
}
