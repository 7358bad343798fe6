#include "cli/run_progress.h"

#include <algorithm>

#include "firmware/flash_schedule.h"

namespace {

int Erases(const FlashStage& stage) {
  return stage.erase == EraseKind::WholeUnit ? 1 : static_cast<int>(stage.masks.size());
}

// The commands of a stage that show "Flashing..." when done.
int Steps(const FlashStage& stage) {
  return static_cast<int>(stage.uploads.size()) + 1 + Erases(stage) + static_cast<int>(stage.masks.size());
}

std::string Counted(const char* name, int k, int of) {
  return std::string(name) + " " + std::to_string(k) + "/" + std::to_string(of);
}

// The command after `k` shown steps of the stage.
std::string NextCommand(const FlashStage& stage, int k) {
  const int uploads = static_cast<int>(stage.uploads.size());
  const int erases = Erases(stage);
  const int programs = static_cast<int>(stage.masks.size());
  if (k < uploads) return Counted("upload", k + 1, uploads);
  if (k == uploads) return "verify";
  if (k < uploads + 1 + erases)
    return stage.erase == EraseKind::WholeUnit ? "erase unit" : Counted("erase", k - uploads, erases);
  if (k < uploads + 1 + erases + programs) return Counted("program", k - uploads - erases, programs);
  return "flash mode off";
}

}  // namespace

int RunCommandCount() { return Steps(STAGE_ONE) + Steps(STAGE_TWO) + 4; }

RunPoint RunPointAfter(int steps) {
  const int first = Steps(STAGE_ONE);
  RunPoint point;
  int done = steps;
  if (steps < first) {
    point.command = steps == 0 ? "flash mode on" : NextCommand(STAGE_ONE, steps);
    done += steps > 0 ? 1 : 0;
  } else {
    point.stage = 2;
    const int k = std::min(steps - first, Steps(STAGE_TWO));
    point.command = k == 0 ? "flash mode off, on" : NextCommand(STAGE_TWO, k);
    done += k > 0 ? 3 : 1;
  }
  point.percent = std::min(99, done * 100 / RunCommandCount());
  return point;
}
