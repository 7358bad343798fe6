// zx-bench: the project's paths timed against their natural baselines in the
// same run, with heap allocations counted. Run through scripts/bench.sh;
// options: --quick (tiny counts: only that everything runs), --json FILE,
// --only commands|status|windows (one group, for a profiler).
// Child modes (started by the benchmark itself): --child empty,
// --child same, --child startup N, --child run.
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/children.h"
#include "bench/command_bench.h"
#include "bench/window_bench.h"

namespace {

struct Counts {
  int rounds = 15;
  int commandBatch = 2000;
  int statusBatch = 300;
  int starts = 15;
  int runs = 5;
};

struct Row {
  std::string name;
  std::string figure;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

struct Figures {
  std::vector<std::pair<std::string, double>> json;
  std::vector<Row> rows;
  void Add(const std::string& key, double value, const std::string& row) {
    json.emplace_back(key, value);
    rows.push_back({key, row});
  }
};

void Commands(const Counts& n, Figures& f) {
  const bench::CommandFigures sim = bench::SimulatorCommand(n.rounds, n.commandBatch);
  f.Add("command_vs_handoff", sim.timing.Ratio(),
        Format("%.2fx (%.2f us per command, %.2f us bare hand-over)", sim.timing.Ratio(), sim.timing.pathUs,
               sim.timing.baselineUs));
  f.Add("virtual_device_us", sim.deviceUs,
        Format("%.2f us (the stand-in device of that command alone, no hand-over)", sim.deviceUs));
  const bench::CommandFigures lib = bench::LibraryCommand(n.rounds, n.commandBatch, ZX_BENCH_ASPI_DIR);
  f.Add("library_command_vs_handoff", lib.timing.Ratio(),
        Format("%.2fx (%.2f us per command, %.2f us bare hand-over)", lib.timing.Ratio(), lib.timing.pathUs,
               lib.timing.baselineUs));
  f.Add("allocations_per_command", std::max(sim.allocationsPerCommand, lib.allocationsPerCommand),
        Format("%.3f (simulator %.3f, library %.3f)",
               std::max(sim.allocationsPerCommand, lib.allocationsPerCommand), sim.allocationsPerCommand,
               lib.allocationsPerCommand));
  const bench::Comparison traced = bench::TracedCommand(n.rounds, n.commandBatch);
  f.Add("traced_command_vs_untraced", traced.Ratio(),
        Format("%.2fx (%.2f us per command with the trace written, %.2f us without)", traced.Ratio(),
               traced.pathUs, traced.baselineUs));
  f.json.emplace_back("simulator_allocations_per_command", sim.allocationsPerCommand);
  f.json.emplace_back("library_allocations_per_command", lib.allocationsPerCommand);
}

void Status(const Counts& n, Figures& f) {
  const bench::StatusFigures s = bench::StatusUpdate(n.rounds, n.statusBatch);
  f.Add("status_update_vs_handoff", s.timing.Ratio(),
        Format("%.2fx (%.1f us per update of the same text, %.1f us bare hand-over)", s.timing.Ratio(),
               s.timing.pathUs, s.timing.baselineUs));
  f.Add("status_change_vs_handoff", s.changing.Ratio(),
        Format("%.2fx (%.1f us per update to a new text, %.1f us bare hand-over)", s.changing.Ratio(),
               s.changing.pathUs, s.changing.baselineUs));
  f.Add("allocations_per_status_update", s.allocationsPerUpdate, Format("%.2f", s.allocationsPerUpdate));
}

double Elapsed(const bench::ChildResult& child) { return child.values.at("idle") - child.startedMs; }

void Windows(const Counts& n, Figures& f) {
  std::vector<double> empty, same, one, ten, emptyRss, flash, tracedFlash, runRss;
  for (int i = 0; i < n.starts; ++i) {
    const bench::ChildResult e = bench::RunChild({"--child", "empty"});
    empty.push_back(Elapsed(e));
    emptyRss.push_back(e.values.at("rss_kib"));
    const bench::ChildResult s = bench::RunChild({"--child", "same"});
    same.push_back(Elapsed(s));
    const bench::ChildResult o = bench::RunChild({"--child", "startup", "1"});
    one.push_back(Elapsed(o));
    // A plain window that drifted from the program's would make the ratio meaningless.
    if (s.values.at("widgets") != o.values.at("widgets"))
      throw std::runtime_error(Format("the plain Qt window has %.0f widgets, the program's %.0f",
                                      s.values.at("widgets"), o.values.at("widgets")));
    ten.push_back(Elapsed(bench::RunChild({"--child", "startup", "10"})));
  }
  for (int i = 0; i < n.runs; ++i) {
    const bench::ChildResult r = bench::RunChild({"--child", "run"});
    flash.push_back(r.values.at("flash_ms"));
    runRss.push_back(r.values.at("rss_kib"));
    tracedFlash.push_back(bench::RunChild({"--child", "run", "traced"}).values.at("flash_ms"));
  }
  const double e = Median(empty), plain = Median(same);
  f.Add("startup_vs_same_window", Median(one) / plain,
        Format("%.2fx (%.1f ms to an idle window with 1 drive, %.1f ms a plain Qt window with its controls)",
               Median(one) / plain, Median(one), plain));
  f.Add("startup_vs_empty_window", Median(one) / e,
        Format("%.2fx (%.1f ms to an idle window with 1 drive, %.1f ms empty window)", Median(one) / e, Median(one),
               e));
  f.Add("startup10_vs_empty_window", Median(ten) / e,
        Format("%.2fx (%.1f ms with 10 drives)", Median(ten) / e, Median(ten)));
  f.Add("flash_thread_ms", Median(flash), Format("%.1f ms (click to the last command, instant drive)", Median(flash)));
  f.Add("traced_run_vs_untraced", Median(tracedFlash) / Median(flash),
        Format("%.2fx (%.1f ms click to the last command with the trace written, %.1f ms without)",
               Median(tracedFlash) / Median(flash), Median(tracedFlash), Median(flash)));
  const double rss = Median(runRss), emptyPeak = Median(emptyRss);
  f.Add("peak_rss_vs_empty_window", rss / emptyPeak,
        Format("%.2fx (%.1f MiB after a run, %.1f MiB empty window)", rss / emptyPeak, rss / 1024, emptyPeak / 1024));
}

void WriteJson(const std::string& path, const Figures& f) {
  std::ofstream out(path);
  out << "{";
  for (std::size_t i = 0; i < f.json.size(); ++i)
    out << (i ? ", " : "") << "\"" << f.json[i].first << "\": " << Format("%.4f", f.json[i].second);
  out << "}\n";
  if (!out) throw std::runtime_error("cannot write " + path);
}

int Child(const std::vector<std::string>& args) {
  if (args.size() >= 1 && args[0] == "empty") return bench::ChildStartup(0, bench::Baseline::EmptyWindow);
  if (args.size() >= 1 && args[0] == "same") return bench::ChildStartup(0, bench::Baseline::SameWindow);
  if (args.size() >= 2 && args[0] == "startup")
    return bench::ChildStartup(std::stoi(args[1]), bench::Baseline::None);
  if (args.size() >= 1 && args[0] == "run") return bench::ChildRun(args.size() >= 2 && args[1] == "traced");
  std::cerr << "zx-bench: unknown child mode\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::vector<std::string> args(argv + 1, argv + argc);
  int qtArgc = 1;
  if (!args.empty() && args[0] == "--child") {
    QApplication app(qtArgc, argv);
    return Child({args.begin() + 1, args.end()});
  }
  Counts counts;
  std::string json;
  std::string only;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--quick") {
      counts = Counts{2, 20, 10, 1, 1};
    } else if (args[i] == "--json" && i + 1 < args.size()) {
      json = args[++i];
    } else if (args[i] == "--only" && i + 1 < args.size()) {
      only = args[++i];
    } else {
      std::cerr << "usage: zx-bench [--quick] [--json FILE] [--only commands|status|windows]\n";
      return 2;
    }
  }
  try {
    Figures figures;
    if (only.empty() || only == "commands") Commands(counts, figures);
    if (only.empty() || only == "status") {
      QApplication app(qtArgc, argv);
      Status(counts, figures);
    }
    if (only.empty() || only == "windows") Windows(counts, figures);
    for (const Row& row : figures.rows) std::printf("%-32s %s\n", row.name.c_str(), row.figure.c_str());
    if (!json.empty()) WriteJson(json, figures);
  } catch (const std::exception& error) {
    std::cerr << "zx-bench: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
