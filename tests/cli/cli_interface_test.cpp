// tolvane-cli as scripts see it: one error convention for every command,
// help and usage lines, version, unknown commands, and the documentation
// naming every command.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "cli/cli_runner.h"
#include "files/spectrum_file.h"
#include "test_support.h"

namespace tolvane {
namespace {

using testing::runCli;

std::string flatSpectrum(const testing::TempDir& dir, const std::string& name, int channels = 1024) {
  std::vector<int32_t> counts(static_cast<size_t>(channels), 7);
  SpectrumFileHeader h;
  h.setChannelCount(static_cast<int16_t>(channels));
  testing::writeFileBytes(dir.path(name), encodeSpectrumFile(h, counts.data(), channels));
  return dir.path(name);
}

// Every failure: one line "tolvane-cli: COMMAND: ..." on stderr, nothing on
// stdout; with --json the error object on stdout as well.
TEST(CliErrors, EveryCommandFailsInOneLineAndJsonSaysWhy) {
  testing::TempDir dir;
  testing::writeFileBytes(dir.path("notes.txt"), {'h', 'e', 'l', 'l', 'o'});
  const std::string flat = flatSpectrum(dir, "flat.dat");
  const std::string missing = dir.path("missing.dat");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* code;
  };
  const std::vector<Case> cases = {
      {{"info", dir.path("notes.txt")}, 1, "refused"},
      {{"info", missing}, 1, "not_found"},
      {{"info", flat, "extra.dat"}, 2, "usage"},
      {{"fwhm", flat, "--cursor", "500"}, 1, "no_peak"},
      {{"mnfit", flat, "--cursor", "500"}, 1, "no_peak"},
      {{"fwhm", missing, "--cursor", "5"}, 1, "not_found"},
      {{"calib", "1", "2", "x", "4"}, 2, "usage"},
      {{"calib", "5", "5", "1", "2"}, 2, "usage"},
      {{"render", flat, "--out", dir.path("p.jpg")}, 2, "usage"},
      {{"report", flat, "--out", dir.path("nofolder/r.pdf")}, 1, "output"},
      {{"dump", flat}, 2, "usage"},
      {{"acquire", "--device=sim", "--preset", "1e9", "--out", dir.path("a.dat")}, 2, "usage"},
      {{"scan", "--device=sim", "--passes", "2"}, 2, "usage"},
      {{"xfit", flat, missing}, 1, "not_found"},
      {{"devices", "--device=nonsense"}, 2, "usage"},
      {{"info", "--nonsense", flat}, 2, "usage"},
  };
  for (const Case& c : cases) {
    std::string name = c.args.front();
    for (size_t i = 1; i < c.args.size(); ++i) name += " " + c.args[i];
    const testing::CliRun plain = runCli(c.args);
    EXPECT_EQ(plain.status, c.status) << name << "\n" << plain.err;
    EXPECT_EQ(plain.out, "") << name;
    EXPECT_EQ(testing::lineCount(plain.err), 1) << name << "\n" << plain.err;
    EXPECT_EQ(plain.err.rfind("tolvane-cli: " + c.args.front() + ": ", 0), 0u) << name << "\n" << plain.err;

    std::vector<std::string> withJson = c.args;
    withJson.push_back("--json");
    const testing::CliRun json = runCli(withJson);
    EXPECT_NE(json.status, 0) << name;
    EXPECT_EQ(json.out.rfind("{\"error\": \"", 0), 0u) << name << "\n" << json.out;
    const bool wantedCode = json.out.find(std::string("\"code\": \"") + c.code + "\"}") != std::string::npos;
    // A command without --json refuses the option itself: still the object.
    const bool refusedOption = json.out.find("\"code\": \"usage\"") != std::string::npos;
    EXPECT_TRUE(wantedCode || refusedOption) << name << "\n" << json.out;
  }
}

TEST(CliErrors, AFailedWriteToStandardOutputIsAFailure) {
  testing::TempDir dir;
  const std::string flat = flatSpectrum(dir, "flat.dat");
  const testing::CliRun full = runCli({"info", flat}, "/dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("tolvane-cli: info: cannot write to standard output"), std::string::npos) << full.err;
  const testing::CliRun dump = runCli({"dump", flat, "--out", "-"}, "/dev/full");
  EXPECT_EQ(dump.status, 1);
}

TEST(CliHelp, HelpVersionUnknownCommandsAndUsageLines) {
  const testing::CliRun top = runCli({"--help"});
  EXPECT_EQ(top.status, 0);
  EXPECT_NE(top.out.find("usage: tolvane-cli <command>"), std::string::npos);
  EXPECT_NE(top.out.find("table new|add|show|wt TABLE.ref"), std::string::npos) << top.out;
  const testing::CliRun version = runCli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("tolvane-cli [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
  const testing::CliRun unknown = runCli({"frobnicate"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.out, "");
  EXPECT_NE(unknown.err.find("unknown command frobnicate"), std::string::npos) << unknown.err;
  const testing::CliRun none = runCli({});
  EXPECT_EQ(none.status, 2);

  const testing::CliRun render = runCli({"render", "--help"});
  EXPECT_EQ(render.status, 0);
  EXPECT_EQ(render.out.rfind("Usage: tolvane-cli render [options] FILE\n", 0), 0u) << render.out;
  EXPECT_EQ(render.out.find("help-all"), std::string::npos);  // not offered, since it cannot be honoured
  const testing::CliRun xfit = runCli({"xfit", "--help"});
  EXPECT_EQ(xfit.out.rfind("Usage: tolvane-cli xfit [options] SAMPLE.dat TABLE.ref\n", 0), 0u) << xfit.out;
  const testing::CliRun helpAll = runCli({"info", "--help-all"});
  EXPECT_EQ(helpAll.status, 2);
  EXPECT_EQ(helpAll.err.rfind("tolvane-cli: info: ", 0), 0u) << helpAll.err;
}

// The commands docs/cli.md documents: each one's --help runs and names it.
TEST(CliHelp, EveryDocumentedCommandHasAWorkingHelp) {
  std::ifstream in(std::string(TOLVANE_SOURCE_DIR) + "/docs/cli.md");
  ASSERT_TRUE(in) << "docs/cli.md is missing";
  std::stringstream text;
  text << in.rdbuf();
  const std::string doc = text.str();
  const std::regex heading("\n## `([a-z]+)`");
  int commands = 0;
  for (auto it = std::sregex_iterator(doc.begin(), doc.end(), heading); it != std::sregex_iterator(); ++it) {
    const std::string command = (*it)[1];
    const testing::CliRun help = runCli({command, "--help"});
    EXPECT_EQ(help.status, 0) << command << "\n" << help.err;
    EXPECT_NE(help.out.find("Usage: tolvane-cli " + command), std::string::npos) << command << "\n" << help.out;
    EXPECT_EQ(help.err, "") << command;
    ++commands;
  }
  EXPECT_GE(commands, 11);

  // And every command the tool lists has its section.
  const testing::CliRun list = runCli({"--help"});
  ASSERT_EQ(list.status, 0);
  const std::regex listed("(^|\n)  ([a-z]+)[ \n]");
  int listedCommands = 0;
  for (auto it = std::sregex_iterator(list.out.begin(), list.out.end(), listed); it != std::sregex_iterator(); ++it) {
    const std::string command = (*it)[2];
    EXPECT_NE(doc.find("\n## `" + command + "`"), std::string::npos) << command << " has no section in docs/cli.md";
    ++listedCommands;
  }
  EXPECT_GE(listedCommands, 18);
}

TEST(CliHelp, DrawingCommandsSayNothingAboutTheRuntimeFolder) {
  testing::TempDir dir;
  const std::string flat = flatSpectrum(dir, "flat.dat");
  ::unsetenv("XDG_RUNTIME_DIR");
  const testing::CliRun render = runCli({"render", flat, "--out", dir.path("p.png")});
  EXPECT_EQ(render.status, 0) << render.err;
  EXPECT_EQ(render.err.find("XDG_RUNTIME_DIR"), std::string::npos) << render.err;
}

TEST(CliArguments, ExtraContradictoryAndOutOfRangeArgumentsAreRefusedWithTheirRange) {
  testing::TempDir dir;
  const std::string flat = flatSpectrum(dir, "flat.dat");
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  for (const Case& c : std::vector<Case>{
           {{"acquire", "--device=sim", "--preset", "1e9", "--out", dir.path("a.dat")}, "from 0.1 to 10000000"},
           {{"acquire", "--device=sim", "--preset", "0.05", "--out", dir.path("a.dat")}, "from 0.1 to"},
           {{"acquire", "--device=sim", "--preset", "1", "--out", dir.path("a.dat"), "stray"}, "unexpected argument"},
           {{"scan", "--device=sim", "--passes", "2", "--save", dir.path("m"), "--dwell", "0.01"}, "from 0.1 to 86400"},
           {{"render", flat, "--out", dir.path("p.png"), "--auto", "--vfs", "3"}, "exclude each other"},
           {{"render", flat, "--out", dir.path("p.png"), "--auto", "--log"}, "exclude each other"},
           {{"render", flat, "--out", dir.path("p.png"), "--roi", "0:500:400:0xFF"}, "low <= high"},
           {{"render", flat, "--out", dir.path("p.png"), "--roi", "0:1000:1100:0xFF"}, "<= 1023"},
           {{"render", flat, "--out", dir.path("p.png"), "--expand", "65"}, "from 0 to 64"},
           {{"fwhm", flat, "--cursor", "1024"}, "from 0 to 1023"},
           {{"acquire", "--device=sim", "--preset", "1", "--out", dir.path("a.txt")}, ".dat"},
           {{"report", flat, "--out", dir.path("r.png")}, ".pdf"},
           {{"dump", flat, "--out", dir.path("d.dat")}, ".txt"},
       }) {
    const testing::CliRun r = runCli(c.args);
    EXPECT_EQ(r.status, 2) << c.args.front() << " " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace tolvane
