// tolvane-cli checks before it counts and never drops a run: names too
// long for the system, an interrupted run over an existing file, a folder
// that vanishes, outputs of xfit checked before any fit, a closed pipe,
// repeated options; and the messages and numbers scripts read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <regex>
#include <thread>

#include "cli/cli_runner.h"
#include "cli/run_output.h"
#include "files/spectrum_file.h"
#include "test_support.h"
#include "xfit/standard_table.h"

extern char** environ;

namespace tolvane {
namespace {

using testing::runCli;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string peakFile(const testing::TempDir& dir, const std::string& name, float gain = 0.0f, float offset = 0.0f) {
  std::vector<int32_t> counts(1024, 10);
  for (int c = 280; c <= 320; ++c)
    counts[static_cast<size_t>(c)] += static_cast<int32_t>(1000 * std::exp(-0.5 * (c - 300) * (c - 300) / 25.0));
  SpectrumFileHeader h;
  h.setChannelCount(1024);
  h.setCalibrationMarker(gain == 0.0f ? 1.0f : 0.0f);
  h.setGain(gain);
  h.setOffset(offset);
  h.setRealTime(100);
  h.setLiveTime(90);
  testing::writeFileBytes(dir.path(name), encodeSpectrumFile(h, counts.data(), 1024));
  return dir.path(name);
}

int64_t totalCounts(const SpectrumFileRead& r) {
  int64_t total = 0;
  for (const int32_t c : r.counts) total += c;
  return total;
}

// --- Item: outputs checked before the analyser counts -------------------

TEST(CliChecks, NamesTooLongAreRefusedBeforeAnyCounting) {
  testing::TempDir dir;
  // A day's preset without --fast: only a refusal before the run ends in time.
  const std::string longName = dir.path(std::string(252, 'a') + ".dat");  // 256-byte file name
  const testing::CliRun acquire = runCli({"acquire", "--device=sim", "--preset", "86400", "--out", longName});
  EXPECT_EQ(acquire.status, 1) << acquire.err;
  EXPECT_TRUE(has(acquire.err, "name too long")) << acquire.err;

  // Pass files NAME_0001.dat of 256 bytes: the scan counts none of them.
  const std::string stem = dir.path(std::string(247, 'p'));
  const testing::CliRun scan =
      runCli({"scan", "--device=sim", "--passes", "3", "--dwell", "86400", "--save", stem + ".dat"});
  EXPECT_EQ(scan.status, 1) << scan.err;
  EXPECT_TRUE(has(scan.err, "name too long")) << scan.err;
  EXPECT_EQ(scan.out, "");
  // Just short enough: the check lets 255 bytes through (and the fast scan saves them).
  const std::string fits = dir.path(std::string(246, 'q'));
  const testing::CliRun ok =
      runCli({"scan", "--device=sim", "--fast", "--passes", "2", "--dwell", "0.1", "--save", fits + ".dat"});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_TRUE(std::filesystem::exists(fits + "_0002.dat"));
}

TEST(CliChecks, AnInterruptedRunKeepsTheFileItWasAskedToReplace) {
  testing::TempDir dir;
  const std::string precious = peakFile(dir, "precious.dat");
  const std::vector<uint8_t> before = testing::readFileBytes(precious);
  testing::CliProcess run({"acquire", "--device=sim", "--fast", "--preset", "1000000", "--out", precious});
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  run.signal(SIGINT);
  const testing::CliRun r = run.finish();
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(testing::readFileBytes(precious), before);
  const std::string beside = dir.path("precious.interrupted-1.dat");
  EXPECT_TRUE(has(r.err, beside)) << r.err;
  const SpectrumFileRead saved = readSpectrumPath(beside);
  ASSERT_TRUE(saved.ok()) << r.err;
  EXPECT_GT(totalCounts(saved), 0);

  // A second interrupted run takes the next free name.
  testing::CliProcess again({"acquire", "--device=sim", "--fast", "--preset", "1000000", "--out", precious});
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  again.signal(SIGTERM);
  const testing::CliRun r2 = again.finish();
  EXPECT_TRUE(has(r2.err, "precious.interrupted-2.dat")) << r2.err;
  EXPECT_EQ(testing::readFileBytes(precious), before);

  // A run that reaches its preset replaces the file, as asked.
  const testing::CliRun complete =
      runCli({"acquire", "--device=sim", "--fast", "--preset", "0.5", "--out", precious});
  EXPECT_EQ(complete.status, 0) << complete.err;
  const SpectrumFileRead replaced = readSpectrumPath(precious);
  ASSERT_TRUE(replaced.ok());
  EXPECT_EQ(replaced.header.presetTime(), 5);
}

TEST(CliChecks, ARunWhoseFolderVanishesIsSavedInTheWorkingFolder) {
  testing::TempDir work;
  std::filesystem::create_directory(work.path("out"));
  const std::string asked = work.path("out/run.dat");
  testing::CliProcess run({"acquire", "--device=sim", "--fast", "--preset", "1000000", "--out", asked}, work.dir());
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  std::filesystem::remove_all(work.path("out"));
  run.signal(SIGINT);
  const testing::CliRun r = run.finish();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "no such folder")) << r.err;
  EXPECT_TRUE(has(r.err, "run.interrupted-1.dat")) << r.err;
  const SpectrumFileRead saved = readSpectrumPath(work.path("run.interrupted-1.dat"));
  ASSERT_TRUE(saved.ok()) << r.err;
  EXPECT_GT(totalCounts(saved), 0);
}

TEST(CliChecks, AFreeNameForALongNameKeepsItsEnd) {
  testing::TempDir dir;
  // 240 bytes of two-byte letters, then the pass number that tells passes apart.
  std::string longName;
  while (longName.size() < 240) longName += "\xC3\xA9";
  const std::string reserved = cli::reserveFreeName(dir.dir() + "/", dir.path(longName + "_0005.dat"), "unsaved");
  ASSERT_FALSE(reserved.empty());
  const std::string name = std::filesystem::path(reserved).filename().string();
  EXPECT_LE(name.size(), 255u);
  const std::string end = "_0005.unsaved-1.dat";
  ASSERT_GT(name.size(), end.size());
  EXPECT_EQ(name.substr(name.size() - end.size()), end) << name;
  // Whole UTF-8 sequences only: every two-byte letter is still whole.
  const std::string letters = name.substr(0, name.size() - end.size());
  EXPECT_EQ(letters.size() % 2, 0u) << name;
  for (size_t i = 0; i + 1 < letters.size(); i += 2) EXPECT_EQ(letters.substr(i, 2), "\xC3\xA9") << i;
}

TEST(CliChecks, ARunADeviceRefusesGoesToTheWorkingFolderNotBesideTheDevice) {
  testing::TempDir work;
  testing::CliProcess run({"acquire", "--device=sim", "--fast", "--preset", "1", "--out", "/dev/full"}, work.dir());
  const testing::CliRun r = run.finish();
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(std::filesystem::exists("/dev/full.unsaved-1.dat")) << r.err;
  const SpectrumFileRead saved = readSpectrumPath(work.path("full.unsaved-1.dat"));
  ASSERT_TRUE(saved.ok()) << r.err;
  EXPECT_GT(totalCounts(saved), 0);
}

TEST(CliChecks, AScanWhoseFolderVanishesKeepsItsLaterPassesInTheWorkingFolder) {
  testing::TempDir work;
  std::filesystem::create_directory(work.path("out"));
  testing::CliProcess run(
      {"scan", "--device=sim", "--fast", "--passes", "1000000", "--dwell", "0.5", "--save", work.path("out/map")},
      work.dir());
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  // Moved away in one step: the scan may be writing into it.
  std::filesystem::create_directory(work.path("elsewhere"));
  std::filesystem::rename(work.path("out"), work.path("elsewhere/out"));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  run.signal(SIGINT);
  const testing::CliRun r = run.finish();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "could not be saved beside")) << r.err;
  EXPECT_TRUE(has(r.err, "no such folder")) << r.err;
  EXPECT_FALSE(has(r.err, "their files are saved")) << r.err;
  // Every pass counted after the folder went is in the working folder.
  int rescued = 0;
  for (const auto& entry : std::filesystem::directory_iterator(work.dir())) {
    const std::string name = entry.path().filename().string();
    if (name.find(".unsaved-1.dat") == std::string::npos) continue;
    ++rescued;
    const SpectrumFileRead pass = readSpectrumPath(entry.path().string());
    ASSERT_TRUE(pass.ok()) << name;
    EXPECT_GT(totalCounts(pass), 0) << name;
  }
  EXPECT_GT(rescued, 0) << r.err;
  EXPECT_TRUE(has(r.err, std::to_string(rescued) + " written instead as ")) << r.err;
  EXPECT_FALSE(has(r.err, "lost")) << r.err;
  // No pass is missing: those saved before the move plus those saved
  // instead make the count printed.
  int saved = 0;
  for (const auto& entry : std::filesystem::directory_iterator(work.path("elsewhere/out")))
    if (entry.path().extension() == ".dat" && entry.path().filename().string().front() != '.') ++saved;
  EXPECT_EQ(saved + rescued, std::stoi(r.out)) << r.err;
}

// --- Item: xfit outputs, standard output, repeated options ---------------

std::string feTable(const testing::TempDir& dir) {
  peakFile(dir, "fe.dat");
  StandardTable table;
  StandardRecord& r = table.Records[0];
  r.setInUse(1);
  r.setElemName("Fe");
  r.setSpecFile("fe.dat");
  r.setFitLowCh(270);
  r.setFitHighCh(330);
  r.setCf(1.0f);
  EXPECT_TRUE(SaveStandardTableFile(table, dir.path("t.ref")));
  return dir.path("t.ref");
}

TEST(CliChecks, XfitChecksItsOutputsBeforeAnyFitAndPrintsNothingOnFailure) {
  testing::TempDir dir;
  const std::string table = feTable(dir);
  const std::string sample = peakFile(dir, "s.dat");
  const testing::CliRun full = runCli({"xfit", sample, table, "--save", "/dev/full"});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.out, "");
  EXPECT_TRUE(has(full.err, "cannot write /dev/full")) << full.err;

  const testing::CliRun proc = runCli({"xfit", "--batch", table, "--map", "1x1", "--out-dir", "/proc/m", sample});
  EXPECT_EQ(proc.status, 1);
  EXPECT_EQ(proc.out, "");
  EXPECT_TRUE(has(proc.err, "cannot write the maps into /proc/m")) << proc.err;

  // A folder that can be made is made, and the maps go there.
  const testing::CliRun made =
      runCli({"xfit", "--batch", table, "--map", "1x1", "--out-dir", dir.path("maps/new"), sample});
  EXPECT_EQ(made.status, 0) << made.err;
  EXPECT_FALSE(std::filesystem::is_empty(dir.path("maps/new")));

  // A fit refused for its input leaves no folder behind.
  std::filesystem::remove(dir.path("fe.dat"));
  const testing::CliRun refused =
      runCli({"xfit", "--batch", table, "--map", "1x1", "--out-dir", dir.path("maps/never"), sample});
  EXPECT_NE(refused.status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.path("maps/never"))) << refused.err;
}

// Runs the command with standard output into a pipe nobody reads.
testing::CliRun runIntoClosedPipe(const std::vector<std::string>& args, const testing::TempDir& dir) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  ::close(fds[0]);
  std::vector<std::string> all{TOLVANE_CLI};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  const std::string err = dir.path("err");
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  testing::CliRun run;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const auto bytes = testing::readFileBytes(err);
  run.err.assign(bytes.begin(), bytes.end());
  return run;
}

TEST(CliChecks, AClosedPipeIsAFailureNotASignal) {
  testing::TempDir dir;
  const std::string spectrum = peakFile(dir, "s.dat");
  for (const auto& args : {std::vector<std::string>{"export", spectrum, "--format", "csv", "--out", "-"},
                           std::vector<std::string>{"dump", spectrum, "--out", "-"}}) {
    const testing::CliRun r = runIntoClosedPipe(args, dir);
    EXPECT_EQ(r.status, 1) << args.front();
    EXPECT_TRUE(has(r.err, "cannot write to standard output")) << r.err;
  }
}

TEST(CliChecks, AnOptionGivenTwiceIsAUsageError) {
  testing::TempDir dir;
  const std::string spectrum = peakFile(dir, "s.dat");
  const std::vector<std::vector<std::string>> twice = {
      {"export", spectrum, "--format", "csv", "--format", "msa", "--out", dir.path("a.csv")},
      {"export", spectrum, "--format", "csv", "--out", dir.path("a.csv"), "--out", dir.path("b.csv")},
      {"acquire", "--device=sim", "--preset", "1", "--preset", "2", "--out", dir.path("a.dat")},
      {"info", spectrum, "--json", "--json"},
  };
  for (const auto& args : twice) {
    const testing::CliRun r = runCli(args);
    EXPECT_EQ(r.status, 2) << args.front() << ": " << r.err;
    EXPECT_TRUE(has(r.err, "more than once")) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path("a.csv")));
  EXPECT_FALSE(std::filesystem::exists(dir.path("b.csv")));
  // --roi adds one window per use.
  const testing::CliRun rois = runCli({"render", spectrum, "--out", dir.path("r.png"), "--roi", "0:280:320:0xFF",
                                       "--roi", "1:100:200:0xFF00"});
  EXPECT_EQ(rois.status, 0) << rois.err;
  // Two definitions of one entry: the first would be lost.
  for (const auto& args :
       {std::vector<std::string>{"render", spectrum, "--out", dir.path("r2.png"), "--roi", "0:280:320:0xFF", "--roi",
                                 "0:100:200:0xFF00"},
        std::vector<std::string>{"acquire", "--device=sim", "--fast", "--preset", "1", "--roi", "3:10:20", "--roi",
                                 "03:30:40", "--out", dir.path("a.dat")}}) {
    const testing::CliRun r = runCli(args);
    EXPECT_EQ(r.status, 2) << args.front() << ": " << r.err;
    EXPECT_TRUE(has(r.err, "--roi 0:... is given more than once") || has(r.err, "--roi 3:... is given more than once"))
        << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path("r2.png")));
  EXPECT_FALSE(std::filesystem::exists(dir.path("a.dat")));
}

// --- Item: messages --------------------------------------------------------

TEST(CliChecks, MessagesSayWhatIsWrong) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir.path("folder"));
  for (const auto& args : {std::vector<std::string>{"info", dir.path("folder")},
                           std::vector<std::string>{"peaks", dir.path("folder"), "--gain", "0.01"},
                           std::vector<std::string>{"table", "show", dir.path("folder")}}) {
    const testing::CliRun r = runCli(args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(has(r.err, "is a folder")) << r.err;
    EXPECT_FALSE(has(r.err, "9223372036854775807")) << r.err;
  }
  // A folder among a batch's samples is named as one.
  const testing::CliRun batch = runCli({"xfit", "--batch", feTable(dir), dir.path("folder"), peakFile(dir, "b.dat")});
  EXPECT_TRUE(has(batch.err, "cannot open: is a folder")) << batch.err;
  EXPECT_FALSE(has(batch.err, "not a spectrum")) << batch.err;

  const testing::CliRun huge = runCli({"calib", "0", "1e39", "0", "1"});
  EXPECT_EQ(huge.status, 2);
  EXPECT_TRUE(has(huge.err, "HCH must be a number from -3.40282347e+38 to 3.40282347e+38")) << huge.err;
  const testing::CliRun steep = runCli({"calib", "0", "1e-30", "0", "1e30"});
  EXPECT_EQ(steep.status, 2);
  EXPECT_TRUE(has(steep.err, "beyond single precision")) << steep.err;
  EXPECT_FALSE(has(steep.err, "same channel")) << steep.err;

  const testing::CliRun negative = runCli({"calib", "-5", "5", "-1", "1"});
  EXPECT_EQ(negative.status, 2);
  EXPECT_TRUE(has(negative.err, "-5 was read as an option")) << negative.err;
  EXPECT_TRUE(has(negative.err, " -- ")) << negative.err;
  // A negative number taken as an option's value is not what was refused.
  const testing::CliRun valued =
      runCli({"peaks", peakFile(dir, "p.dat"), "--gain", "0.01", "--offset", "-0.1", "--nosuch"});
  EXPECT_EQ(valued.status, 2);
  EXPECT_TRUE(has(valued.err, "nosuch")) << valued.err;
  EXPECT_FALSE(has(valued.err, "was read as an option")) << valued.err;
  const testing::CliRun dashes = runCli({"calib", "--", "-5", "5", "-1", "1"});
  EXPECT_EQ(dashes.status, 0) << dashes.err;
  EXPECT_EQ(dashes.out, "0.2 0\n");

  const testing::CliRun table = runCli({"table", "new", dir.path("x.txt")});
  EXPECT_EQ(table.status, 2);
  EXPECT_FALSE(has(table.err, "--out")) << table.err;
  EXPECT_TRUE(has(table.err, ".ref")) << table.err;

  const std::string msa = dir.path("zero.msa");
  const std::string text = "#FORMAT      : EMSA/MAS Spectral Data File\r\n#VERSION     : 1.0\r\n#NPOINTS     : 0\r\n"
                           "#NCOLUMNS    : 1\r\n#SPECTRUM    :\r\n#ENDOFDATA   :\r\n";
  testing::writeFileBytes(msa, std::vector<uint8_t>(text.begin(), text.end()));
  const testing::CliRun points = runCli({"import", msa, "--out", dir.path("zero.dat")});
  EXPECT_EQ(points.status, 1);
  EXPECT_TRUE(has(points.err, "at least 1")) << points.err;
}

TEST(CliChecks, NumbersAreTheShortestThatReadBack) {
  testing::TempDir dir;
  const std::string calibrated = peakFile(dir, "c.dat", 0.01f, -0.1f);
  const testing::CliRun info = runCli({"info", calibrated, "--json"});
  EXPECT_EQ(info.status, 0);
  EXPECT_TRUE(has(info.out, "\"calibration\": {\"gain\": 0.01, \"offset\": -0.1, \"unit\": \"keV\"}")) << info.out;
  EXPECT_TRUE(has(info.out, "\"started\": null")) << info.out;
  const testing::CliRun text = runCli({"info", calibrated});
  EXPECT_TRUE(has(text.out, "offset -0.1 keV")) << text.out;
  EXPECT_TRUE(has(text.out, "started:      unknown")) << text.out;

  // Fixed decimals are rounded, then written without trailing zeros.
  const std::regex trailingZero(R"(\d\.\d*0[,}\]])");
  for (const auto& args : {std::vector<std::string>{"peaks", calibrated, "--json"},
                           std::vector<std::string>{"identify", calibrated, "--cursor", "600", "--json"},
                           std::vector<std::string>{"lines", "Fe", "Mn", "--json"}}) {
    const testing::CliRun r = runCli(args);
    EXPECT_EQ(r.status, 0) << args.front() << r.err;
    EXPECT_FALSE(std::regex_search(r.out, trailingZero)) << r.out;
  }
  EXPECT_TRUE(has(runCli({"identify", calibrated, "--cursor", "600", "--json"}).out, "\"channel\": 600,"));
  EXPECT_TRUE(has(runCli({"peaks", calibrated, "--json"}).out, "\"channel\": 300")) << "peak at channel 300";
}

// --- Item: help ---------------------------------------------------------------

TEST(CliChecks, LinesListEachElementOnceAndSayWhyNoneAreListed) {
  const testing::CliRun once = runCli({"lines", "Fe"});
  const testing::CliRun thrice = runCli({"lines", "fe", "FE", "26"});
  EXPECT_EQ(thrice.status, 0);
  EXPECT_EQ(thrice.out, once.out);
  const testing::CliRun low = runCli({"lines", "W", "--max-kev", "1"});
  EXPECT_EQ(low.status, 0);
  EXPECT_TRUE(has(low.err, "W: no line listed: none of its K, L or M shells is excited at 1 keV")) << low.err;
  // Be's K shell is excited at 40 keV, but the tables hold no line of it.
  const testing::CliRun beryllium = runCli({"lines", "Be"});
  EXPECT_EQ(beryllium.status, 0);
  EXPECT_TRUE(has(beryllium.err, "Be: no line listed: the line tables hold no K line of Be\n")) << beryllium.err;
  // Fe's M shell is excited at 0.5 keV, its K and L shells are not.
  const testing::CliRun iron = runCli({"lines", "Fe", "--max-kev", "0.5"});
  EXPECT_TRUE(has(iron.err, "the line tables hold no M line of Fe; its K and L shells are not excited at 0.5 keV"))
      << iron.err;
}

// --- Item: a calibration written into a spectrum file ----------------------

TEST(CliChecks, CalibWritesIntoASpectrumFileKeepingEveryOtherByte) {
  testing::TempDir dir;
  const std::string file = peakFile(dir, "sim.dat");
  std::vector<uint8_t> before = testing::readFileBytes(file);
  before[900] = 0x5A;  // a reserved byte the program does not interpret
  testing::writeFileBytes(file, before);
  EXPECT_EQ(runCli({"peaks", file}).status, 1);  // no calibration yet

  const testing::CliRun calib = runCli({"calib", "300", "600", "3", "6", "--write", file, "--json"});
  EXPECT_EQ(calib.status, 0) << calib.err;
  EXPECT_TRUE(has(calib.out, "\"written\": \"" + file + "\"")) << calib.out;
  const std::vector<uint8_t> after = testing::readFileBytes(file);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    if (i < 64 || i >= 76) {
      ASSERT_EQ(after[i], before[i]) << "byte " << i;
    }
  }
  const SpectrumFileRead read = readSpectrumPath(file);
  EXPECT_EQ(read.header.calibrationMarker(), 0.0f);
  EXPECT_FLOAT_EQ(read.header.gain(), 0.01f);
  EXPECT_NEAR(read.header.offset(), 0.0f, 1e-6f);
  const testing::CliRun peaks = runCli({"peaks", file, "--json"});
  EXPECT_EQ(peaks.status, 0) << peaks.err;
  EXPECT_TRUE(has(peaks.out, "\"energy_kev\": 3")) << peaks.out;

  // Nothing is written where no spectrum is, and nothing printed.
  std::filesystem::create_directory(dir.path("folder.dat"));
  testing::writeFileBytes(dir.path("notes.dat"), {'n', 'o'});
  // A device has no end to read: refused, not read until memory runs out.
  for (const std::string& target :
       {dir.path("missing.dat"), dir.path("folder.dat"), dir.path("notes.dat"), std::string("/dev/zero")}) {
    const testing::CliRun r = runCli({"calib", "300", "600", "3", "6", "--write", target});
    EXPECT_EQ(r.status, 1) << target << ": " << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path("missing.dat")));
  EXPECT_EQ(testing::readFileBytes(dir.path("notes.dat")), (std::vector<uint8_t>{'n', 'o'}));
  EXPECT_EQ(runCli({"calib", "300", "600", "3", "3", "--write", file}).status, 2);  // a gain of 0

  // The file keeps no unit: a --unit the calibration's range agrees with is
  // taken quietly, one it contradicts is warned about.
  EXPECT_FALSE(has(runCli({"calib", "300", "600", "3000", "6000", "--unit", "eV", "--write", file}).err, "stores no unit"));
  EXPECT_FALSE(has(runCli({"calib", "300", "600", "3", "6", "--write", file}).err, "stores no unit"));
  EXPECT_TRUE(has(runCli({"calib", "300", "600", "3", "6", "--unit", "eV", "--write", file}).err, "makes it keV"));
}

}  // namespace
}  // namespace tolvane
