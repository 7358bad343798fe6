// The packer run in-process: round trips that the program's own check
// accepts, every refusal, and outputs that are whole or absent.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>

#include "firmware/container.h"
#include "firmware/container_pack_command.h"
#include "firmware/container_packer.h"
#include "firmware/staged_output.h"
#include "platform/dynamic_library.h"
#include "platform/removal_on_signal.h"
#include "platform/termination_requests.h"
#include "tests/firmware/container_test_files.h"
#include "tests/support/fakes.h"
#include "tests/support/recording_view.h"
#include "tests/support/test_os.h"
#include "transport/aspi_library.h"

namespace {

namespace fs = std::filesystem;
using container_test::Concat;
using container_test::FakeExecutable;
using container_test::IndependentChecksum;
using container_test::ReadBytes;
using container_test::ScratchDir;
using container_test::WriteBytes;

struct PackRun {
  int code;
  std::string out, err;
};

PackRun Pack(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunPackCommand(args, out, err);
  return {code, out.str(), err.str()};
}

// What the program itself says about a file as its own executable.
bool ProgramAccepts(const std::string& path) {
  fakes::FakeSystemInfo system;
  system.ownPath = path;
  ContainerInfo info;
  RunState run;
  fakes::RecordingView view;
  CheckContainer(system, info, run, view);
  return run.containerValid == 1;
}

class PackTest : public ::testing::Test {
 protected:
  PackTest() {
    WriteBytes(exe, FakeExecutable(5000));
    fs::permissions(exe, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  }
  std::string File(const std::string& name) const { return dir.File(name); }
  void SynthParts(const std::string& version) {
    ASSERT_EQ(Pack({"synth", "--version", version, "--part1", p1, "--part2", p2}).code, PACK_OK);
  }

  ScratchDir dir;
  std::string exe = File("zorvex-flash"), p1 = File("part1.bin"), p2 = File("part2.bin"),
              out = File("packed");
};

TEST_F(PackTest, PackedPartsPassTheProgramsCheckWithIndependentChecksums) {
  SynthParts("1.0B");
  const PackRun run = Pack({"pack", "--exe", exe, "--part1", p1, "--part2", p2, "--output", out});
  ASSERT_EQ(run.code, PACK_OK) << run.err;
  EXPECT_TRUE(run.err.empty());

  const auto packed = ReadBytes(out), part1 = ReadBytes(p1), part2 = ReadBytes(p2);
  ASSERT_EQ(packed.size(), 5000u + 634888u);
  EXPECT_EQ(std::vector<uint8_t>(packed.begin(), packed.begin() + 5000), FakeExecutable(5000));
  const std::size_t c = 5000;
  EXPECT_TRUE(std::equal(part1.begin(), part1.end(), packed.begin() + c));
  EXPECT_TRUE(std::equal(part2.begin(), part2.end(), packed.begin() + c + 0x7B004));
  EXPECT_EQ(std::vector<uint8_t>(&packed[c + 0x7AFFE], &packed[c + 0x7B000]),
            IndependentChecksum(part1, 0, part1.size()));
  EXPECT_EQ(std::vector<uint8_t>(&packed[c + 0x9B002], &packed[c + 0x9B004]),
            IndependentChecksum(part2, 0, part2.size()));
  EXPECT_EQ(fs::status(out).permissions(), fs::status(exe).permissions());
  EXPECT_TRUE(ProgramAccepts(out));
  EXPECT_EQ(dir.Names().size(), 4u);  // no temporary file left behind
}

TEST_F(PackTest, VersionOverrideReachesBothPartsAndTheirChecksums) {
  SynthParts("1.0B");
  ASSERT_EQ(
      Pack({"pack", "--exe", exe, "--part1", p1, "--part2", p2, "--version", "2.0C", "--output", out}).code,
      PACK_OK);
  const auto packed = ReadBytes(out);
  const std::size_t c = 5000;
  EXPECT_EQ(std::string(&packed[c + 1], &packed[c + 4]), "20C");
  EXPECT_EQ(std::string(&packed[c + 0x7B005], &packed[c + 0x7B008]), "20C");
  EXPECT_EQ(std::vector<uint8_t>(&packed[c + 0x7AFFE], &packed[c + 0x7B000]),
            IndependentChecksum(packed, c, 503806));
  EXPECT_EQ(std::vector<uint8_t>(&packed[c + 0x9B002], &packed[c + 0x9B004]),
            IndependentChecksum(packed, c + 0x7B004, 131070));
  fakes::FakeSystemInfo system;
  system.ownPath = out;
  ContainerInfo info;
  RunState run;
  fakes::RecordingView view;
  CheckContainer(system, info, run, view);
  EXPECT_EQ(view.Calls().back(), "version 2.0C");
}

TEST_F(PackTest, RawAndSyntheticContainersAreAppendedByteForByte) {
  const std::string raw = File("raw.bin");
  ASSERT_EQ(Pack({"synth", "--version", "1.0B", "--container", raw}).code, PACK_OK);
  EXPECT_EQ(ReadBytes(raw), SyntheticContainer({'1', '0', 'B'}));
  ASSERT_EQ(Pack({"pack", "--exe", exe, "--container", raw, "--output", out}).code, PACK_OK);
  EXPECT_EQ(ReadBytes(out), Concat(FakeExecutable(5000), ReadBytes(raw)));
  const std::string out2 = File("packed2");
  ASSERT_EQ(Pack({"pack", "--exe", exe, "--synthetic", "1.0B", "--output", out2}).code, PACK_OK);
  EXPECT_EQ(ReadBytes(out2), ReadBytes(out));
}

// Each refusal: exit 1 (2 for a malformed command line), exactly one line
// on stderr, and every file in the folder as it was: none added, none
// replaced, none changed.
struct Refusal {
  const char* name;
  std::function<void(const std::string& dir)> setup;  // after valid parts exist
  std::vector<std::string> args;                      // "@x" means the file x in the folder
  int code = PACK_REFUSED;
};
void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }
class PackRefusal : public PackTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(PackRefusal, RefusesWithOneLineAndWritesNothing) {
  SynthParts("1.0B");
  ASSERT_EQ(Pack({"synth", "--version", "1.0B", "--container", File("raw.bin")}).code, PACK_OK);
  fs::create_directory(File("a-folder"));
  GetParam().setup(File(""));
  std::vector<std::string> args;
  for (const auto& a : GetParam().args) args.push_back(a[0] == '@' ? File(a.substr(1)) : a);
  const auto before = dir.Contents();

  const PackRun run = Pack(args);
  EXPECT_EQ(run.code, GetParam().code);
  EXPECT_EQ(run.err.rfind("zx-pack: ", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(run.err.back(), '\n');
  EXPECT_TRUE(run.out.empty());
  EXPECT_TRUE(dir.Contents() == before) << "a file was written, replaced or changed";
}

void Nothing(const std::string&) {}
void Patch(const std::string& file, std::size_t at, std::vector<uint8_t> bytes) {
  auto b = ReadBytes(file);
  std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  WriteBytes(file, b);
}
void MakeFifo(const std::string& d) { ASSERT_EQ(::mkfifo((d + "fifo").c_str(), 0600), 0); }
void LinkToPartTwo(const std::string& d) { fs::create_symlink(d + "part2.bin", d + "link"); }
void HardLinkToPartOne(const std::string& d) { fs::create_hard_link(d + "part1.bin", d + "hard"); }
void Resize(const std::string& file, std::size_t size) {
  auto b = ReadBytes(file);
  b.resize(size, 0);
  WriteBytes(file, b);
}

const std::vector<std::string> PARTS = {"--part1", "@part1.bin", "--part2", "@part2.bin"};
std::vector<std::string> PackArgs(std::vector<std::string> source, const std::string& exe = "@zorvex-flash",
                                  const std::string& output = "@out") {
  std::vector<std::string> args = {"pack", "--exe", exe, "--output", output};
  args.insert(args.end(), source.begin(), source.end());
  return args;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PackRefusal,
    ::testing::Values(
        Refusal{"MissingExecutable", Nothing, PackArgs(PARTS, "@nothing-here")},
        Refusal{"MissingPart", Nothing, PackArgs({"--part1", "@nope", "--part2", "@part2.bin"})},
        Refusal{"PartOneShort", [](auto d) { Resize(d + "part1.bin", 503805); }, PackArgs(PARTS)},
        Refusal{"PartTwoLong", [](auto d) { Resize(d + "part2.bin", 131071); }, PackArgs(PARTS)},
        Refusal{"PartsSwapped", Nothing, PackArgs({"--part1", "@part2.bin", "--part2", "@part1.bin"})},
        Refusal{"OnlyOnePart", Nothing, PackArgs({"--part1", "@part1.bin"}), PACK_USAGE},
        Refusal{"VersionOverrideRejected", Nothing,
                PackArgs({"--part1", "@part1.bin", "--part2", "@part2.bin", "--version", "1.1A"})},
        Refusal{"VersionMalformed", Nothing,
                PackArgs({"--part1", "@part1.bin", "--part2", "@part2.bin", "--version", "1.0"})},
        Refusal{"VersionMisshapen", Nothing,
                PackArgs({"--part1", "@part1.bin", "--part2", "@part2.bin", "--version", "1.0BB"}), PACK_USAGE},
        Refusal{"ImageCarriesRejectedVersion",
                [](auto d) {
                  Patch(d + "part1.bin", 1, {'1', '1', 'A'});
                },
                PackArgs(PARTS)},
        Refusal{"OutputIsInput", Nothing, PackArgs(PARTS, "@zorvex-flash", "@zorvex-flash")},
        Refusal{"OutputIsInputSpelledOtherwise", Nothing,
                PackArgs(PARTS, "@zorvex-flash", "@./zorvex-flash")},
        Refusal{"OutputFolderMissing", Nothing, PackArgs(PARTS, "@zorvex-flash", "@no-folder/out")},
        Refusal{"OutputIsAFolder", Nothing, PackArgs(PARTS, "@zorvex-flash", "@a-folder")},
        Refusal{"OutputIsAFifo", MakeFifo, PackArgs(PARTS, "@zorvex-flash", "@fifo")},
        Refusal{"OutputIsPartOne", Nothing, PackArgs(PARTS, "@zorvex-flash", "@part1.bin")},
        Refusal{"OutputIsPartTwoSpelledOtherwise", Nothing, PackArgs(PARTS, "@zorvex-flash", "@./part2.bin")},
        Refusal{"OutputIsALinkToPartTwo", LinkToPartTwo, PackArgs(PARTS, "@zorvex-flash", "@link")},
        Refusal{"OutputIsAHardLinkToPartOne", HardLinkToPartOne, PackArgs(PARTS, "@zorvex-flash", "@hard")},
        Refusal{"OutputIsTheContainer", Nothing,
                PackArgs({"--container", "@raw.bin"}, "@zorvex-flash", "@raw.bin")},
        Refusal{"PartsAreOneFile", HardLinkToPartOne, PackArgs({"--part1", "@part1.bin", "--part2", "@hard"})},
        Refusal{"ExecutableIsTheContainer", Nothing, PackArgs({"--container", "@raw.bin"}, "@raw.bin")},
        Refusal{"AlreadyPacked",
                [](auto d) {
                  WriteBytes(d + "zorvex-flash", Concat(FakeExecutable(5000), ReadBytes(d + "raw.bin")));
                },
                PackArgs(PARTS)},
        Refusal{"RawWrongSize", [](auto d) { Resize(d + "raw.bin", 634887); },
                PackArgs({"--container", "@raw.bin"})},
        Refusal{"RawPartTwoTag",
                [](auto d) {
                  Patch(d + "raw.bin", 0x9B004, {'R', '5', '8', '1'});
                },
                PackArgs({"--container", "@raw.bin"})},
        Refusal{"RawChecksumWrong",
                [](auto d) {
                  Patch(d + "raw.bin", 0x100, {0x01, 0x02});
                },
                PackArgs({"--container", "@raw.bin"})},
        Refusal{"RawPartOneTag",
                [](auto d) {
                  Patch(d + "raw.bin", 0x7B000, {'R', '5', '8', 0});
                },
                PackArgs({"--container", "@raw.bin"})},
        Refusal{"SyntheticRejectedVersion", Nothing, PackArgs({"--synthetic", "1.1A"})},
        Refusal{"TwoSources", Nothing, PackArgs({"--container", "@raw.bin", "--synthetic", "1.0B"}), PACK_USAGE},
        Refusal{"NoOutput", Nothing, {"pack", "--exe", "@zorvex-flash", "--synthetic", "1.0B"}, PACK_USAGE},
        Refusal{"SynthRejectedVersion", Nothing, {"synth", "--version", "1.1A", "--container", "@s.bin"}},
        Refusal{
            "SynthIntoMissingFolder", Nothing, {"synth", "--version", "1.0B", "--container", "@no/s.bin"}},
        Refusal{"SynthOverAFifo", MakeFifo, {"synth", "--version", "1.0B", "--container", "@fifo"}},
        Refusal{"SynthPartsOneFileSpelledOtherwise", Nothing,
                {"synth", "--version", "1.0B", "--part1", "@p", "--part2", "@./p"}},
        Refusal{"UnknownCommand", Nothing, {"squash"}, PACK_USAGE}, Refusal{"NoCommand", Nothing, {}, PACK_USAGE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackTest, AFailedWriteLeavesTheOldOutputWhole) {
  WriteBytes(out, {1, 2, 3});
  const auto error = WriteFileAtomically(out, [](std::ostream& s) {
    s << "half of it";
    return false;
  });
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(ReadBytes(out), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(dir.Names().size(), 2u);  // the executable and the old output only
  ASSERT_FALSE(WriteFileAtomically(out, [](std::ostream& s) { return static_cast<bool>(s << "new"); }));
  EXPECT_EQ(ReadBytes(out), (std::vector<uint8_t>{'n', 'e', 'w'}));
}

TEST_F(PackTest, ARefusedSynthLeavesNoneOfItsOutputsBehind) {
  // Part two's folder does not exist: part one was already written by then.
  const PackRun run = Pack({"synth", "--version", "1.0B", "--part1", p1, "--part2", File("no/part2.bin")});
  EXPECT_EQ(run.code, PACK_REFUSED);
  EXPECT_FALSE(fs::exists(p1));
  // Existing outputs keep their old contents when the last one fails
  // (its folder is missing, or it is a FIFO), and no temporary is left.
  WriteBytes(p1, {1});
  WriteBytes(p2, {2});
  ASSERT_EQ(::mkfifo(File("fifo").c_str(), 0600), 0);
  for (const std::string& last : {File("no/raw.bin"), File("fifo")}) {
    const PackRun late =
        Pack({"synth", "--version", "1.0B", "--part1", p1, "--part2", p2, "--container", last});
    EXPECT_EQ(late.code, PACK_REFUSED);
    EXPECT_EQ(ReadBytes(p1), std::vector<uint8_t>{1});
    EXPECT_EQ(ReadBytes(p2), std::vector<uint8_t>{2});
    EXPECT_EQ(dir.Names().size(), 4u) << "a temporary file was left";  // the executable, p1, p2, fifo
  }
}

TEST_F(PackTest, AReplacedOutputKeepsItsModeAndTheLineEscapesTheVersion) {
  WriteBytes(out, {1, 2, 3});
  fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write);
  // Any first version character is carried; the line shows it escaped.
  WriteBytes(File("raw.bin"), SyntheticContainer({0x1B, '0', '\n'}));
  const PackRun run = Pack({"pack", "--exe", exe, "--container", File("raw.bin"), "--output", out});
  ASSERT_EQ(run.code, PACK_OK) << run.err;
  EXPECT_EQ(run.out, "wrote " + out + " carrying version \\x1b.0\\x0a\n");
  EXPECT_EQ(fs::status(out).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(ReadBytes(out).size(), 5000u + 634888u);
}

TEST_F(PackTest, AnOutputNameOfTheLongestAllowedLengthIsWritten) {
  const std::string longest = File(std::string(255, 'z'));
  SynthParts("1.0B");
  ASSERT_EQ(Pack({"pack", "--exe", exe, "--part1", p1, "--part2", p2, "--output", longest}).code, PACK_OK);
  EXPECT_TRUE(ProgramAccepts(longest));
}

// The checked executable is the one read: a FIFO put in its place after the
// open would block a second open by name for ever.
TEST_F(PackTest, TheExecutableIsReadFromTheFileThatWasChecked) {
  ContainerFile checked(exe);
  fs::remove(exe);
  ASSERT_EQ(::mkfifo(exe.c_str(), 0600), 0);
  ASSERT_FALSE(AppendContainer(checked, exe, SyntheticContainer({'1', '0', 'B'}), out));
  EXPECT_EQ(ReadBytes(out), Concat(FakeExecutable(5000), SyntheticContainer({'1', '0', 'B'})));
  EXPECT_EQ(fs::status(out).permissions(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

// A signal that ends the process while a staged file exists takes the
// file with it, and the process still ends by that signal: caught by a
// handler, or taken by the thread that waits for termination requests (the
// demo's, writing its flash dump) when no run defers it. The virtual ASPI
// library's dump too, though the library handles no signal: a file size
// limit ends it by SIGXFSZ halfway through its first file.
struct EndingSignal {
  int signal;
  bool takenByTerminationRequests;
  bool stagedByLibrary = false;
};
void PrintTo(const EndingSignal& e, std::ostream* os) {
  *os << ::sigabbrev_np(e.signal) << (e.takenByTerminationRequests ? ", taken by the waiting thread" : "")
      << (e.stagedByLibrary ? ", in the library's dump" : "");
}
class EndedBySignal : public PackTest, public ::testing::WithParamInterface<EndingSignal> {};

void UnloadTheLibraryWithADump(const std::string& folder) {
  fakes::TestChannel test;
  const auto loader = platform::MakeSystemLibraryLoader(std::string(ZX_ASPI_MODULES_DIR) + "/good");
  AspiLibrary library{*loader, test.dialogs, test->aspi};
  test_os::SetEnv("ZX_VIRTUAL_ASPI", "dump=" + folder);
  LoadAspiLibrary(library);
  const rlimit onePage{4096, 4096};
  ::setrlimit(RLIMIT_FSIZE, &onePage);
  UnloadAspiLibrary(library);  // writes the dump
}

TEST_P(EndedBySignal, LeavesNoTemporaryFile) {
  const auto before = dir.Contents();
  const EndingSignal ending = GetParam();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit core{0, 0};
    ::setrlimit(RLIMIT_CORE, &core);
    if (ending.takenByTerminationRequests)
      platform::InstallTerminationRequests("zx-pack");
    else
      platform::InstallRemovalOnSignal();
    if (ending.stagedByLibrary) {
      UnloadTheLibraryWithADump(dir.File(""));
      ::_exit(3);
    }
    StagedOutput output;
    if (output.Stage(out, [](std::ostream& s) { return bool(s << "half of it"); })) ::_exit(3);
    if (!ending.takenByTerminationRequests) ::raise(ending.signal);
    // Blocked in this thread: sent to the process, for the waiting thread.
    ::kill(::getpid(), ending.signal);
    for (;;) ::pause();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == ending.signal) << status;
  EXPECT_TRUE(dir.Contents() == before) << "a file was left behind";
}
INSTANTIATE_TEST_SUITE_P(Signals, EndedBySignal,
                         ::testing::Values(EndingSignal{SIGINT, false}, EndingSignal{SIGTERM, false},
                                           EndingSignal{SIGHUP, false}, EndingSignal{SIGQUIT, false},
                                           EndingSignal{SIGPIPE, false}, EndingSignal{SIGUSR1, false},
                                           EndingSignal{SIGALRM, false}, EndingSignal{SIGINT, true},
                                           EndingSignal{SIGTERM, true}, EndingSignal{SIGHUP, true},
                                           EndingSignal{SIGUSR1, true}, EndingSignal{SIGXFSZ, false, true}));

}  // namespace
