// Test entry for programs that build windows: one QApplication for all tests.
// Tests never need a real display; CTest's discovery step runs the program
// without the test environment, so offscreen is the default here too.
#include <gmock/gmock.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
