// tolvane-cli never loses a run and never replaces what it was not asked
// to: outputs checked before the analyser starts, interrupts that save what
// was counted, writes through links and into pipes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli/cli_runner.h"
#include "files/spectrum_file.h"
#include "test_support.h"

namespace tolvane {
namespace {

using testing::runCli;

std::string peakSpectrum(const testing::TempDir& dir, const std::string& name) {
  std::vector<int32_t> counts(1024, 10);
  for (int c = 280; c <= 320; ++c)
    counts[static_cast<size_t>(c)] += static_cast<int32_t>(1000 * std::exp(-0.5 * (c - 300) * (c - 300) / 25.0));
  SpectrumFileHeader h;
  h.setChannelCount(1024);
  testing::writeFileBytes(dir.path(name), encodeSpectrumFile(h, counts.data(), 1024));
  return dir.path(name);
}

TEST(CliOutputs, AcquireChecksItsOutputBeforeTheAnalyserStarts) {
  testing::TempDir dir;
  std::filesystem::create_directory(dir.path("folder.dat"));
  // A preset of a day without --fast: only a refusal before the run ends
  // this test in time.
  const testing::CliRun noFolder =
      runCli({"acquire", "--device=sim", "--preset", "86400", "--out", dir.path("none/x.dat")});
  EXPECT_EQ(noFolder.status, 1);
  EXPECT_NE(noFolder.err.find("none/x.dat: no such folder"), std::string::npos) << noFolder.err;
  const testing::CliRun folder =
      runCli({"acquire", "--device=sim", "--preset", "86400", "--out", dir.path("folder.dat")});
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.err.find("is a folder"), std::string::npos) << folder.err;
  if (::geteuid() != 0) {
    std::filesystem::create_directory(dir.path("locked"));
    ::chmod(dir.path("locked").c_str(), 0500);
    const testing::CliRun locked =
        runCli({"acquire", "--device=sim", "--preset", "86400", "--out", dir.path("locked/x.dat")});
    EXPECT_NE(locked.err.find("not writable"), std::string::npos) << locked.err;
  }
}

TEST(CliOutputs, AnInterruptedAcquisitionSavesWhatWasCounted) {
  testing::TempDir dir;
  for (const int sig : {SIGINT, SIGTERM}) {
    const std::string out = dir.path("run" + std::to_string(sig) + ".dat");
    testing::CliProcess run({"acquire", "--device=sim", "--fast", "--preset", "1000000", "--out", out});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    run.signal(sig);
    const testing::CliRun r = run.finish();
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(sig == SIGINT ? "interrupted by SIGINT" : "interrupted by SIGTERM"), std::string::npos)
        << r.err;
    const SpectrumFileRead saved = readSpectrumPath(out);
    ASSERT_TRUE(saved.ok()) << r.err;
    EXPECT_GT(saved.header.realTime(), 0);
    EXPECT_LT(saved.header.realTime(), 10000000);
    EXPECT_GE(saved.header.realTime(), saved.header.liveTime());
    int64_t total = 0;
    for (int32_t c : saved.counts) total += c;
    EXPECT_GT(total, 0);
  }
}

TEST(CliOutputs, AnInterruptedScanStopsAndKeepsItsPasses) {
  testing::TempDir dir;
  testing::CliProcess run(
      {"scan", "--device=sim", "--fast", "--passes", "1000000", "--dwell", "0.5", "--save", dir.path("map")});
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  run.signal(SIGINT);
  const testing::CliRun r = run.finish();
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("interrupted by SIGINT"), std::string::npos) << r.err;
  const int counted = std::stoi(r.out);
  EXPECT_GT(counted, 0);
  // A million planned passes get seven digits.
  EXPECT_TRUE(readSpectrumPath(dir.path("map_0000001.dat")).ok());
}

TEST(CliOutputs, ScanNeedsASaveNameAndAFolderForIt) {
  testing::TempDir dir;
  const testing::CliRun none = runCli({"scan", "--device=sim", "--fast", "--passes", "1"});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("--save is required"), std::string::npos) << none.err;
  const testing::CliRun empty = runCli({"scan", "--device=sim", "--fast", "--passes", "1", "--save", ""});
  EXPECT_EQ(empty.status, 2);
  const testing::CliRun noFolder =
      runCli({"scan", "--device=sim", "--fast", "--passes", "1", "--save", dir.path("none/map")});
  EXPECT_EQ(noFolder.status, 1);
  EXPECT_NE(noFolder.err.find(dir.path("none/map_0001.dat") + ": no such folder"), std::string::npos) << noFolder.err;
  // The dwell is in seconds: 0.5 s per pass.
  const testing::CliRun ok =
      runCli({"scan", "--device=sim", "--fast", "--passes", "2", "--dwell", "0.5", "--save", dir.path("m")});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out, "2\n");
  EXPECT_TRUE(readSpectrumPath(dir.path("m_0002.dat")).ok());
  // With passes of an earlier scan there, a refused device is still one line:
  // the note on where this scan starts comes only once it runs.
  const testing::CliRun refused =
      runCli({"scan", "--device=nosuch", "--fast", "--passes", "1", "--dwell", "0.5", "--save", dir.path("m")});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
  EXPECT_EQ(refused.err.find("earlier passes"), std::string::npos) << refused.err;
  const testing::CliRun again =
      runCli({"scan", "--device=sim", "--fast", "--passes", "1", "--dwell", "0.5", "--save", dir.path("m")});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.err.find("this scan saves from " + dir.path("m_0003.dat")), std::string::npos) << again.err;
}

TEST(CliOutputs, WritesGoThroughLinksAndIntoPipesAndStandardOutput) {
  testing::TempDir dir;
  const std::string peak = peakSpectrum(dir, "peak.dat");
  // A link to a file in another folder: the target gets the dump, the link stays.
  std::filesystem::create_directory(dir.path("real"));
  testing::writeFileBytes(dir.path("real/dump.txt"), {'o', 'l', 'd'});
  std::filesystem::create_symlink(dir.path("real/dump.txt"), dir.path("link.txt"));
  const testing::CliRun viaLink = runCli({"dump", peak, "--out", dir.path("link.txt")});
  EXPECT_EQ(viaLink.status, 0) << viaLink.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path("link.txt")));
  EXPECT_GT(std::filesystem::file_size(dir.path("real/dump.txt")), 1000u);

  // --out - is the text on standard output, the same as the file's.
  const testing::CliRun toStdout = runCli({"dump", peak, "--out", "-"});
  EXPECT_EQ(toStdout.status, 0);
  const testing::CliRun toFile = runCli({"dump", peak, "--out", dir.path("plain.txt")});
  const auto bytes = testing::readFileBytes(dir.path("plain.txt"));
  const std::string written(bytes.begin(), bytes.end());
  // The same dump but for the name line (the spectrum is named after its output).
  const auto body = [](const std::string& text) {
    return text.substr(std::min(text.find("Data Comment"), text.size()));
  };
  EXPECT_GT(body(written).size(), 1000u);
  EXPECT_EQ(body(toStdout.out), body(written));
  EXPECT_NE(toStdout.out.find("Data File Name, peak.dat\r\n"), std::string::npos);
  // /dev/stdout into a pipe: written in place (the link's target is no path).
  FILE* pipe = ::popen((std::string(TOLVANE_CLI) + " dump " + peak + " --out /dev/stdout").c_str(), "r");
  std::string piped;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) piped.append(chunk, n);
  EXPECT_EQ(::pclose(pipe), 0);
  EXPECT_EQ(body(piped), body(written));
  // A binary output is never sent to the terminal.
  EXPECT_EQ(runCli({"render", peak, "--out", "-"}).status, 2);

  // A pipe is written into, not replaced by a file.
  const std::string fifo = dir.path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    received.assign(std::istreambuf_iterator<char>(in), {});
  });
  const testing::CliRun intoPipe = runCli({"dump", peak, "--out", fifo});
  reader.join();
  EXPECT_EQ(intoPipe.status, 0) << intoPipe.err;
  EXPECT_EQ(body(received), body(written));
  struct stat info {};
  ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}


// A write that fails after the output was found writable (a full disk,
// here a link to /dev/full) fails the command with the reason; nothing
// claims success.
TEST(CliOutputs, AWriteThatFailsAfterTheCheckFailsTheCommand) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  testing::TempDir dir;
  const std::string peak = peakSpectrum(dir, "peak.dat");
  const testing::CliRun exported = runCli({"export", peak, "--format", "msa", "--out", dir.path("peak.msa")});
  ASSERT_EQ(exported.status, 0) << exported.err;
  for (const char* name : {"full.dat", "full.msa", "full.txt"}) std::filesystem::create_symlink("/dev/full", dir.path(name));
  const std::vector<std::vector<std::string>> commands{
      {"import", dir.path("peak.msa"), "--out", dir.path("full.dat")},
      {"export", peak, "--format", "msa", "--out", dir.path("full.msa")},
      {"dump", peak, "--out", dir.path("full.txt")},
  };
  for (const auto& command : commands) {
    const testing::CliRun run = runCli(command);
    EXPECT_EQ(run.status, 1) << command[0] << ": " << run.err;
    EXPECT_NE(run.err.find("cannot write " + command.back()), std::string::npos) << command[0] << ": " << run.err;
    EXPECT_EQ(run.out, "") << command[0];
  }
  const testing::CliRun json = runCli({"import", dir.path("peak.msa"), "--out", dir.path("full.dat"), "--json"});
  EXPECT_EQ(json.status, 1);
  EXPECT_NE(json.out.find("\"code\": \"output\""), std::string::npos) << json.out;
}

}  // namespace
}  // namespace tolvane
