#include "bench/window_bench.h"

#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <unistd.h>

#include "app/entry/application_setup.h"
#include "app/entry/demo_drives.h"
#include "app/entry/demo_services.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/startup.h"
#include "app/toolkit/dialogs.h"
#include "app/toolkit/form.h"
#include "emulator/virtual_drive.h"
#include "platform/event.h"
#include "platform/linux/linux_system_info.h"
#include "platform/system_library_loader.h"
#include "transport/command_trace.h"

namespace bench {

namespace {

// VmHWM, not getrusage: a spawned child's ru_maxrss starts from its parent's.
long PeakRssKib() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, status) != nullptr)
    if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
  std::fclose(status);
  return kib;
}

demo::DemoOptions Demo(int drives) {
  demo::DemoOptions options;
  options.drives = drives;
  options.latencyScale = 0;
  options.language = demo::Language::English;
  return options;
}

// The program as the demo builds it, on the demo's virtual drives or on a layer given.
struct DemoProgram {
  explicit DemoProgram(platform::DeviceLayer& layer, int drives = 1)
      : system(real, Demo(drives)),
        power(demo::SayOnStdout),
        program(Services{system, power, libraries, layer, SystemEvents(), dialogs}) {
    BeginStartup(program);
  }

  platform::LinuxSystemInfo real;
  demo::DemoSystemInfo system;
  demo::DemoPower power;
  platform::SystemLibraryLoader libraries;
  tk::WindowDialogs dialogs;
  Program program;
};

// A hand-over of an empty call to the window thread and the wait for it.
void BareWindowHandoff() {
  std::mutex lock;
  std::condition_variable ran;
  bool done = false;
  QMetaObject::invokeMethod(
      qApp,
      [&] {
        std::lock_guard guard(lock);
        done = true;
        ran.notify_one();
      },
      Qt::QueuedConnection);
  std::unique_lock guard(lock);
  ran.wait(guard, [&] { return done; });
}

// Runs `work` on a thread of its own while the window thread runs its loop.
void WhileLoopRuns(const std::function<void()>& work) {
  std::exception_ptr failure;
  std::thread runner([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(qApp, [] { QApplication::quit(); }, Qt::QueuedConnection);
  });
  QApplication::exec();
  runner.join();
  if (failure) std::rethrow_exception(failure);
}

// The drive on D: for a whole run, telling when its last command came.
class TimedDrive final : public emulator::ScsiDevice {
 public:
  bool Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) override {
    const bool reached = drive_.Execute(command, reply);
    last_.store(NowMs());
    return reached;
  }
  double LastCommandMs() const { return last_.load(); }

 private:
  emulator::VirtualDrive drive_{emulator::VirtualDriveOptions{}};
  std::atomic<double> last_{0};
};

// Calls `then` once the loop has nothing left to do after showing.
void WhenIdle(const std::function<void()>& then) { QTimer::singleShot(0, qApp, then); }

// Shows `window`, waits for the loop to go idle, and prints the child's line.
int ShowUntilIdle(QWidget& window) {
  window.show();
  WhenIdle([] { QApplication::quit(); });
  QApplication::exec();
  std::printf("idle=%.3f rss_kib=%ld widgets=%lld\n", NowMs(), PeakRssKib(),
              static_cast<long long>(QApplication::allWidgets().size()));
  return 0;
}

// The program's window as a plain Qt program would build it: the same kinds
// and number of controls (TForm1's), its font, its menu bar and pop-up menu,
// its final fixed size, and nothing behind them.
void BuildSameWindow(QMainWindow& window) {
  const QString family = QString::fromUtf8(reinterpret_cast<const char*>(tk::Form::kFontFamily));
  QFont::insertSubstitutions(family, {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP"});
  QFont font(family);
  font.setPixelSize(tk::Form::kFontPixels);
  auto* client = new QWidget(&window);
  client->setFont(font);
  window.setCentralWidget(client);
  window.menuBar()->setNativeMenuBar(false);
  window.menuBar()->addMenu("&File")->addAction("E&xit");
  auto* popup = new QMenu(&window);
  popup->addAction("Save")->setVisible(false);
  popup->addAction("Detail")->setVisible(false);
  for (int i = 0; i < 23; ++i) (new QLabel("Label", client))->move(8 + (i % 4) * 96, 4 + (i / 4) * 16);
  (new QComboBox(client))->setEditable(true);
  new QTextEdit(client);
  for (const char* caption : {"Flash", "Cancel"}) new QPushButton(caption, client);
  new QProgressBar(client);
  for (const QFrame::Shape shape : {QFrame::HLine, QFrame::Box}) (new QFrame(client))->setFrameShape(shape);
  for (int i = 0; i < 4; ++i) new QLineEdit(client);
  new QGroupBox(client);
  for (const char* caption : {"Japanese", "English"}) new QRadioButton(caption, client);
  window.setFixedSize(400, 240);
}

}  // namespace

StatusFigures StatusUpdate(int rounds, int batch) {
  demo::DemoDrives drives(Demo(1));
  DemoProgram demo(drives.Layer());
  TForm1 form(demo.program);
  form.Show();
  StatusFigures figures;
  WhileLoopRuns([&] {
    const auto same = [&] { form.view.ShowStatusNow(StatusMsg::Flashing); };
    figures.timing = Interleave(rounds, batch, same, BareWindowHandoff);
    bool flip = false;
    const auto changing = [&] {
      flip = !flip;
      form.view.ShowStatusNow(flip ? StatusMsg::StartFlashing : StatusMsg::Flashing);
    };
    figures.changing = Interleave(rounds, batch, changing, BareWindowHandoff);
    figures.allocationsPerUpdate = AllocationsPerCall(batch, rounds * batch, same);
  });
  drives.Interrupt();
  return figures;
}

int ChildStartup(int drives, Baseline baseline) {
  if (baseline == Baseline::EmptyWindow) {
    QWidget window;
    window.resize(400, 377);
    return ShowUntilIdle(window);
  }
  if (baseline == Baseline::SameWindow) {
    QMainWindow window;
    BuildSameWindow(window);
    return ShowUntilIdle(window);
  }
  SetUpApplication();
  std::unique_ptr<demo::DemoDrives> virtualDrives;
  if (drives > 0) virtualDrives = std::make_unique<demo::DemoDrives>(Demo(drives));
  emulator::VirtualDeviceLayer none;
  DemoProgram demo(virtualDrives ? virtualDrives->Layer() : none, drives);
  TForm1 form(demo.program);
  form.Show();
  WhenIdle([] { QApplication::quit(); });
  QApplication::exec();
  std::printf("idle=%.3f rss_kib=%ld widgets=%lld\n", NowMs(), PeakRssKib(),
              static_cast<long long>(QApplication::allWidgets().size()));
  if (virtualDrives) virtualDrives->Interrupt();
  return 0;
}

int ChildRun(bool traced) {
  SetUpApplication();
  // The trace goes where traces go in practice: a file on the disk.
  const std::string tracePath =
      (std::filesystem::temp_directory_path() / ("zx-bench-trace-" + std::to_string(::getpid()) + ".jsonl")).string();
  std::unique_ptr<CommandTrace> trace;
  if (traced) {
    std::string error;
    trace = CommandTrace::Open(tracePath, "zx-bench", "bench", error);
    if (!trace) throw std::runtime_error("cannot create " + tracePath + ": " + error);
    InstallCommandTrace(trace.get());
  }
  emulator::VirtualDeviceLayer layer;
  auto drive = std::make_shared<TimedDrive>();
  layer.Place(demo::FIRST_DRIVE_LETTER, drive);
  DemoProgram demo(layer);
  TForm1 form(demo.program);
  form.Show();
  double clicked = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (demo.program.run.completion.load() != COMPLETION_NONE && !demo.program.run.runActive.load())
      QApplication::quit();
  });
  WhenIdle([&] {
    clicked = NowMs();
    form.Button1Click();
    poll.start(1);
  });
  QApplication::exec();
  InstallCommandTrace(nullptr);
  if (trace) {
    const bool written = !trace->Stopped();
    trace.reset();
    std::remove(tracePath.c_str());
    if (!written) throw std::runtime_error("the trace could not be written");
  }
  if (demo.program.run.completion.load() != COMPLETION_SUCCESS) {
    std::fprintf(stderr, "the run did not succeed\n");
    return 1;
  }
  std::printf("flash_ms=%.3f rss_kib=%ld\n", drive->LastCommandMs() - clicked, PeakRssKib());
  return 0;
}

}  // namespace bench
