#include "cli/cli_commands.h"

#include "cli/drive_json.h"
#include "cli/exit_status.h"
#include "cli/run_progress.h"
#include "platform/termination_requests.h"

namespace {

// A flash that ends before any command: one line on stderr (or the object),
// and the status.
int Refuse(const CliContext& cli, const char* outcome, const std::string& why, int status) {
  if (cli.options.json) {
    cli.console.OutUtf8(ProgramJson(cli.console.Program(), cli.version)
                            .Text("outcome", outcome)
                            .Text("message", why)
                            .Number("exitStatus", status)
                            .Done());
  }
  cli.console.Err(why);
  return status;
}

std::string CarriedText(const CliSession& session) {
  return session.ContainerValid() ? session.CarriedVersion()
                                  : StatusLine(StatusMsg::IncorrectFile, session.Japanese());
}

// The drive --drive names: its number, HA:TARGET, or its device; nullptr when none matches.
const DriveReport* Chosen(const std::vector<DriveReport>& drives, const std::string& which) {
  for (const DriveReport& d : drives) {
    if (which == std::to_string(d.number) || which == d.device ||
        which == std::to_string(d.haId) + ":" + std::to_string(d.target))
      return &d;
    // A letter may be given without its colon, a node by its name alone.
    if (!d.device.empty() && (which + ":" == d.device || "/dev/" + which == d.device)) return &d;
  }
  return nullptr;
}

// Why the drive is not flashed now; empty when it may be.
std::string NotToFlash(const CliContext& cli, const DriveReport& drive) {
  const bool ja = cli.session.Japanese();
  if (drive.verdict == StatusMsg::IncorrectFile || !drive.flashable)
    return "drive " + std::to_string(drive.number) +
           " is refused by the version check: " + StatusLine(StatusMsg::IncorrectFile, ja);
  if ((drive.verdict == StatusMsg::SameVersion || drive.verdict == StatusMsg::DriveNewer) &&
      !cli.options.force)
    return "drive " + std::to_string(drive.number) + " has firmware " + Printable(drive.fields.revision) +
           (drive.verdict == StatusMsg::SameVersion ? ", the carried version" : ", newer than the carried ") +
           (drive.verdict == StatusMsg::SameVersion ? "" : cli.session.CarriedVersion()) +
           "; nothing to flash (--force flashes it all the same)";
  return {};
}

int RunStatus(const RunEnd& end) {
  const bool succeeded = end.outcome == RunOutcome::Succeeded;
  if (end.request != 0) return platform::ExitStatusAfterRequest(end.request, succeeded);
  return succeeded ? CLI_EXIT_DONE : CLI_EXIT_FAILED;
}

void ReportRun(const CliContext& cli, const DriveReport& drive, const RunEnd& end, const RunView& view) {
  const bool succeeded = end.outcome == RunOutcome::Succeeded;
  const auto messages = view.Messages();
  const std::string last = messages.empty() ? std::string() : messages.back().second;
  if (!cli.options.json) {
    cli.console.Out(succeeded
                        ? "succeeded: drive " + std::to_string(drive.number) + " now carries " +
                              cli.session.CarriedVersion() + "; power the machine off and on to start it"
                        : "failed: " + last + " (drive " + std::to_string(drive.number) + ")");
    return;
  }
  std::string list;
  for (const auto& [code, text] : messages)
    list += (list.empty() ? "" : ",") +
            JsonObject().Number("status", static_cast<int>(code)).Text("text", text).Done();
  cli.console.OutUtf8(ProgramJson(cli.console.Program(), cli.version)
                          .Raw("drive", DriveJson(drive, true, cli.session.Japanese()))
                          .Text("from", Printable(drive.fields.revision))
                          .Text("to", cli.session.CarriedVersion())
                          .Text("outcome", succeeded ? "succeeded" : "failed")
                          .Text("message", last)
                          .Raw("messages", "[" + list + "]")
                          .Number("steps", view.Steps())
                          .Number("exitStatus", RunStatus(end))
                          .Done());
}

bool Confirmed(const CliContext& cli, const DriveReport& drive) {
  return cli.console.Ask("Flash drive " + DriveLine(drive) + "\n  from " + Printable(drive.fields.revision) +
                         " to " + cli.session.CarriedVersion() + "? [y/N] ");
}

// The drive to flash, or a refusal's status in `status`.
const DriveReport* PickDrive(const CliContext& cli, int& status) {
  const auto& drives = cli.session.Drives();
  const bool ja = cli.session.Japanese();
  if (!cli.session.ContainerValid()) {
    status = Refuse(cli, "failed", "the carried firmware is rejected: " + CarriedText(cli.session),
                    CLI_EXIT_FAILED);
    return nullptr;
  }
  if (drives.empty()) {
    status = Refuse(cli, "nothing-to-flash", StatusLine(StatusMsg::NoDrive, ja), CLI_EXIT_NOTHING_TO_DO);
    return nullptr;
  }
  if (cli.options.drive.empty() && drives.size() > 1) {
    status =
        Refuse(cli, "usage", StatusLine(StatusMsg::SelectDrive, ja) + " (--drive; see list)", CLI_EXIT_USAGE);
    return nullptr;
  }
  const DriveReport* drive = cli.options.drive.empty() ? &drives.front() : Chosen(drives, cli.options.drive);
  if (drive == nullptr)
    status = Refuse(cli, "usage", "no drive '" + cli.options.drive + "' (see list)", CLI_EXIT_USAGE);
  return drive;
}

}  // namespace

int ListDrives(const CliContext& cli) {
  const auto& drives = cli.session.Drives();
  const bool valid = cli.session.ContainerValid();
  const bool ja = cli.session.Japanese();
  const int status = drives.empty() ? CLI_EXIT_NOTHING_TO_DO : CLI_EXIT_DONE;
  if (cli.options.json) {
    std::string list;
    for (const DriveReport& d : drives) list += (list.empty() ? "" : ",") + DriveJson(d, valid, ja);
    cli.console.OutUtf8(
        ProgramJson(cli.console.Program(), cli.version)
            .Raw("carried",
                 JsonObject().Text("version", cli.session.CarriedVersion()).Bool("accepted", valid).Done())
            .Raw("drives", "[" + list + "]")
            .Number("exitStatus", status)
            .Done());
    return status;
  }
  cli.console.Out("carried firmware: " + CarriedText(cli.session));
  if (drives.empty()) cli.console.Out(StatusLine(StatusMsg::NoDrive, ja));
  for (const DriveReport& d : drives)
    cli.console.Out(DriveLine(d) + "  R580  " + VerdictName(d.verdict, valid) + ": " +
                    StatusLine(valid ? d.verdict : StatusMsg::IncorrectFile, ja));
  return status;
}

int FlashDrive(const CliContext& cli) {
  int status = CLI_EXIT_DONE;
  const DriveReport* drive = PickDrive(cli, status);
  if (drive == nullptr) return status;
  if (const std::string why = NotToFlash(cli, *drive); !why.empty())
    return Refuse(cli, "nothing-to-flash", why, CLI_EXIT_NOTHING_TO_DO);
  if (!cli.options.yes) {
    if (cli.options.json) return Refuse(cli, "usage", "flash --json needs --yes", CLI_EXIT_USAGE);
    if (!cli.console.InIsTerminal())
      return Refuse(cli, "usage", "no terminal to confirm on: give --yes to flash without asking",
                    CLI_EXIT_USAGE);
    if (!Confirmed(cli, *drive))
      return Refuse(cli, "declined", "not flashed: nothing was sent", CLI_EXIT_NOTHING_TO_DO);
  }
  RunView view(cli.console, cli.session.Japanese(), cli.options.json);
  const RunEnd end = cli.session.Flash(*drive, view);
  if (end.outcome == RunOutcome::NotStarted)
    return Refuse(cli, "not-started",
                  end.refusal + "; the run was not started and nothing was sent to the drive",
                  CLI_EXIT_FAILED);
  ReportRun(cli, *drive, end, view);
  return RunStatus(end);
}

int RunCliCommand(const CliContext& cli, bool started) {
  if (!started) return Refuse(cli, "failed", "no drive could be asked", CLI_EXIT_FAILED);
  return cli.options.verb == CliVerb::List ? ListDrives(cli) : FlashDrive(cli);
}
