// An X server of a test's own, for a program it starts: as a desktop's
// display is, the connection is then the first file the program opens.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <string>

namespace testing_support {

class XServer : public QProcess {
 public:
  ~XServer() override {
    kill();
    waitForFinished();
  }
  // Starts the server and points `env` at it; false when none can be started.
  bool Serve(QProcessEnvironment& env, int timeoutMs) {
    start("Xvfb", {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
    if (!waitForStarted()) return false;
    std::string display;
    while (display.find('\n') == std::string::npos && waitForReadyRead(timeoutMs))
      display += readAllStandardOutput().toStdString();
    if (display.find('\n') == std::string::npos) return false;
    env.insert("QT_QPA_PLATFORM", "xcb");
    // Xlib, libxcb and Qt's xcb plugin lock and hand events over among
    // themselves, uninstrumented, in ways ThreadSanitizer misreads; the
    // program's own code is checked under it by the offscreen cases.
    env.insert("TSAN_OPTIONS", env.value("TSAN_OPTIONS") + " report_bugs=0");
    env.insert("DISPLAY", QString::fromStdString(":" + display.substr(0, display.find('\n'))));
    return true;
  }
};

}  // namespace testing_support
