// "Quant" in the real window: a table loaded with its conditions file, a
// sample read and fitted, then the Quant window's wt% against
// `tolvane-cli quant` on the same files; the standards editor's FP column;
// the setup saved back beside the table; a conditions file that cannot be
// read, and an element the beam cannot excite.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <cmath>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "app/main_window.h"
#include "cli/cli_runner.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "files/spectrum_file.h"
#include "handlers/xfit_handlers.h"
#include "test_support.h"
#include "xfit/quant_dialog.h"
#include "xfit/standard_table.h"
#include "xfit/standards_editor_dialog.h"

namespace tolvane {
namespace {

constexpr int kChannels = 1024;
constexpr double kCaCentre = 369.0, kCrCentre = 541.0;

void writeSpectrum(const std::string& path, double caHeight, double crHeight, int32_t liveTenths) {
  std::vector<int32_t> counts(kChannels);
  for (int c = 0; c < kChannels; ++c)
    counts[static_cast<size_t>(c)] = static_cast<int32_t>(
        std::lround(20.0 + caHeight * std::exp(-0.5 * std::pow((c - kCaCentre) / 5.0, 2)) +
                    crHeight * std::exp(-0.5 * std::pow((c - kCrCentre) / 5.0, 2))));
  SpectrumFileHeader h;
  h.setChannelCount(static_cast<int16_t>(kChannels));
  h.setLiveTime(liveTenths);
  testing::writeFileBytes(path, encodeSpectrumFile(h, counts.data(), kChannels));
}

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Pure Ca and Cr standards counted for 100 s, a sample counted for 50 s,
// and a table of the two; `secondElement` names the Cr peak's standard.
struct QuantRig {
  explicit QuantRig(const char* secondElement = "Cr") {
    writeSpectrum(dir.path("ca.dat"), 100000, 0, 1000);
    writeSpectrum(dir.path("cr.dat"), 0, 100000, 1000);
    writeSpectrum(dir.path("s.dat"), 21000, 14000, 500);
    StandardTable table;
    const char* names[] = {"Ca", secondElement};
    const char* files[] = {"ca.dat", "cr.dat"};
    const double centres[] = {kCaCentre, kCrCentre};
    for (int k = 0; k < 2; ++k) {
      StandardRecord& r = table.Records[static_cast<size_t>(k)];
      r.setInUse(1);
      r.setElemName(names[k]);
      r.setSpecFile(files[k]);
      r.setFitLowCh(static_cast<int32_t>(centres[k]) - 20);
      r.setFitHighCh(static_cast<int32_t>(centres[k]) + 20);
    }
    EXPECT_TRUE(SaveStandardTableFile(table, dir.path("t.ref")));
    bridge.attach();
    window = std::make_unique<TForm1>(bridge, clock);
    TForm1& w = *window;
    w.chooseTablePath = [this] { return QString::fromStdString(dir.path("t.ref")); };
    w.chooseReadPath = [this] { return QString::fromStdString(dir.path("s.dat")); };
    // The editor the fit opens, as the user would see it, then closed.
    w.runEditor = [this] {
      TEditStd editor(window->session().DataModule.Table, nullptr, &window->session().FitQuant.Last);
      for (size_t k = 0; k < 2; ++k) {
        fpColumn[k] = editor.Rows[k].FpWt->text().toStdString();
        cfColumn[k] = editor.Rows[k].Cf->text().toStdString();
      }
      return false;
    };
  }
  void conditions(const std::string& text) { std::ofstream(dir.path("t.quant")) << text; }
  // Reads the sample, loads the table, fits and presses "Quant".
  QuantDialog& fitAndQuant() {
    TForm1& w = *window;
    w.Read1->trigger();
    w.LoadStd->click();
    w.MLSQfit->click();
    w.Quant->click();
    EXPECT_NE(w.QuantWindow, nullptr);
    return *w.QuantWindow;
  }
  testing::TempDir dir;
  ManualClock clock;
  SimFtdi bridge{clock};
  std::unique_ptr<TForm1> window;
  std::array<std::string, 2> fpColumn, cfColumn;
};

struct CliQuant {
  std::map<std::string, double> wt, err;
  double total = 0.0;
  bool converged = false;
};

CliQuant cliQuant(const QuantRig& rig) {
  const auto run = testing::runCli({"quant", rig.dir.path("s.dat"), rig.dir.path("t.ref"), "--json"});
  EXPECT_EQ(run.status, 0) << run.err;
  CliQuant q;
  const std::regex row("\"element\": \"([A-Za-z]+)\"[^}]*\"wt_pct\": ([-0-9.e]+), \"wt_err\": ([-0-9.e]+)");
  for (std::sregex_iterator it(run.out.begin(), run.out.end(), row), end; it != end; ++it) {
    q.wt[(*it)[1]] = std::stod((*it)[2]);
    q.err[(*it)[1]] = std::stod((*it)[3]);
  }
  std::smatch m;
  if (std::regex_search(run.out, m, std::regex("\"total\": ([-0-9.e]+)"))) q.total = std::stod(m[1]);
  q.converged = run.out.find("\"converged\": true") != std::string::npos;
  return q;
}

double cellNumber(const QuantDialog& d, int row, int column) {
  return d.Results->item(row, column)->text().toDouble();
}

// The shown table, element by element, against the command line's answer.
void expectShownAsCli(const QuantDialog& d, const CliQuant& cli) {
  ASSERT_EQ(d.Results->rowCount(), static_cast<int>(cli.wt.size()));
  for (int row = 0; row < d.Results->rowCount(); ++row) {
    const std::string element = d.Results->item(row, QuantDialog::ElementColumn)->text().toStdString();
    ASSERT_EQ(cli.wt.count(element), 1u) << element;
    EXPECT_NEAR(cellNumber(d, row, QuantDialog::WtColumn), cli.wt.at(element), 6e-4) << element;
    EXPECT_NEAR(cellNumber(d, row, QuantDialog::ErrorColumn), cli.err.at(element), 6e-4) << element;
  }
  EXPECT_NEAR(d.Total->text().split(' ')[1].toDouble(), cli.total, 6e-4);
  EXPECT_EQ(d.Converged->text().startsWith("converged"), cli.converged);
}

TEST(QuantWindow, ShowsTheFitsWtPercentAsTheCommandLineGivesThemUnderTheTablesConditions) {
  QuantRig rig;
  // Cd-109, steep angles and a Cr standard counted at twice the sample's
  // current: all three move the answer away from the defaults'.
  rig.conditions("source cd109\nangles 60 30\nsample_ua 50\nstandard Cr Cr 100\n");
  QuantDialog& d = rig.fitAndQuant();
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(d.Source->currentText(), "Cd-109");
  EXPECT_EQ(d.Incidence->text(), "60");
  const CliQuant cli = cliQuant(rig);
  ASSERT_EQ(cli.wt.size(), 2u);
  EXPECT_TRUE(cli.converged);
  EXPECT_GT(cli.wt.at("Ca"), 1.0);  // both elements really quantified
  EXPECT_GT(cli.wt.at("Cr"), 1.0);
  expectShownAsCli(d, cli);
  EXPECT_NE(rig.window->Edit1->text().indexOf("Quant: total"), -1);

  // The editor the fit opened: the FP column carries the same wt% and
  // error, and the Cf column is the table's, untouched.
  for (size_t k = 0; k < 2; ++k) {
    const std::string element = k == 0 ? "Ca" : "Cr";
    double wt = 0.0, err = 0.0;
    ASSERT_EQ(std::sscanf(rig.fpColumn[k].c_str(), "%lf +/-%lf", &wt, &err), 2) << rig.fpColumn[k];
    EXPECT_NEAR(wt, cli.wt.at(element), 6e-4);
    EXPECT_NEAR(err, cli.err.at(element), 6e-4);
    EXPECT_EQ(rig.cfColumn[k], "   1.000");
  }
}

TEST(QuantWindow, TheSetupIsSavedBesideTheTableAndTheCommandLineReadsIt) {
  QuantRig rig;
  QuantDialog& d = rig.fitAndQuant();  // no conditions file: Fe-55, 45/45
  EXPECT_EQ(d.Source->currentText(), "Fe-55");
  const double fe55Ca = cellNumber(d, 0, QuantDialog::WtColumn);

  // A field out of range is refused with its reason; nothing is saved.
  d.Source->setCurrentText("X-ray tube");
  d.Anode->setText("Rh");
  d.Kilovolts->setText("30");
  d.Incidence->setText("95");
  d.SaveConditions->click();
  EXPECT_NE(d.Message->text().indexOf("angles"), -1) << d.Message->text().toStdString();
  EXPECT_FALSE(std::ifstream(rig.dir.path("t.quant")).good());

  d.Incidence->setText("50");
  d.SaveConditions->click();
  const std::string saved = fileText(rig.dir.path("t.quant"));
  EXPECT_NE(saved.find("tube Rh 30 125"), std::string::npos) << saved;
  EXPECT_NE(saved.find("angles 50 45"), std::string::npos) << saved;
  d.Quantify->click();
  EXPECT_NE(cellNumber(d, 0, QuantDialog::WtColumn), fe55Ca);
  expectShownAsCli(d, cliQuant(rig));
}

TEST(QuantWindow, ATableSavedUnderAnotherNameTakesItsConditionsAlong) {
  QuantRig rig;
  rig.conditions("source cd109\nangles 60 30\nstandard Cr Cr 100\n");
  QuantDialog& d = rig.fitAndQuant();
  Session& s = rig.window->session();
  TEditStd editor(s.DataModule.Table, nullptr, &s.FitQuant.Last);
  editor.chooseSavePath = [&rig] { return QString::fromStdString(rig.dir.path("copy.ref")); };
  editor.tableSaved = [&s](const std::string& path) { TableSavedAs(s, path); };
  editor.findChild<QPushButton*>("SaveRef")->click();
  const std::string copied = fileText(rig.dir.path("copy.quant"));
  EXPECT_NE(copied.find("source cd109"), std::string::npos) << copied;
  EXPECT_NE(copied.find("angles 60 30"), std::string::npos) << copied;
  EXPECT_NE(copied.find("standard Cr Cr 100"), std::string::npos) << copied;
  // Saving the setup now writes beside the copy, not the original.
  const std::string original = fileText(rig.dir.path("t.quant"));
  d.Line->setCurrentText("Kb");
  d.SaveConditions->click();
  EXPECT_EQ(fileText(rig.dir.path("t.quant")), original);
  EXPECT_NE(fileText(rig.dir.path("copy.quant")).find("line Kb"), std::string::npos);
}

TEST(QuantWindow, AConditionsFileThatCannotBeReadIsNamedAndNotQuantifiedWithTheDefaults) {
  QuantRig rig;
  rig.conditions("source fe55\nangles 45 95\n");
  QuantDialog& d = rig.fitAndQuant();
  EXPECT_EQ(d.Results->rowCount(), 0);
  EXPECT_NE(d.Message->text().indexOf("t.quant:2"), -1) << d.Message->text().toStdString();
  EXPECT_NE(rig.window->Edit1->text().indexOf("t.quant:2"), -1);
  EXPECT_TRUE(rig.fpColumn[0].empty());
  // Setting the conditions here replaces the file's: the fit is quantified.
  d.Quantify->click();
  EXPECT_EQ(d.Results->rowCount(), 2);
  EXPECT_TRUE(d.Message->text().isEmpty()) << d.Message->text().toStdString();
}

TEST(QuantWindow, AnElementTheSourceCannotExciteIsShownAsNotExcited) {
  QuantRig rig("Fe");  // Fe K is above Fe-55's Mn K lines
  QuantDialog& d = rig.fitAndQuant();
  ASSERT_EQ(d.Results->rowCount(), 2);
  EXPECT_EQ(d.Results->item(1, QuantDialog::ElementColumn)->text(), "Fe");
  EXPECT_EQ(d.Results->item(1, QuantDialog::WtColumn)->text(), "not excited");
  EXPECT_EQ(rig.fpColumn[1], "not excited");
  EXPECT_NEAR(cellNumber(d, 0, QuantDialog::WtColumn), 100.0, 1e-9);  // normalised without Fe
}

TEST(QuantWindow, WithoutAFitQuantSaysSo) {
  QuantRig rig;
  TForm1& w = *rig.window;
  w.Quant->click();
  ASSERT_NE(w.QuantWindow, nullptr);
  EXPECT_EQ(w.QuantWindow->Results->rowCount(), 0);
  EXPECT_NE(w.Edit1->text().indexOf("no fit"), -1) << w.Edit1->text().toStdString();
}

}  // namespace
}  // namespace tolvane
