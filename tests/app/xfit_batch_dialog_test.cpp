// The "Batch..." dialog on the offscreen platform: a run to the end writes
// and shows the maps; a wrong grid is refused; a cancelled run writes
// nothing.
#include "app/xfit_batch_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "files/spectrum_file.h"
#include "test_support.h"

namespace tolvane {
namespace {

std::vector<int32_t> peak(double centre, double height) {
  std::vector<int32_t> counts(1024);
  for (int c = 0; c < 1024; ++c)
    counts[static_cast<size_t>(c)] =
        10 + static_cast<int32_t>(std::lround(height * std::exp(-0.5 * std::pow((c - centre) / 5.0, 2))));
  return counts;
}

struct BatchRig {
  BatchRig() {
    XfitWorkspace& fit = module.Fit;
    fit.FitCount = 1;
    StandardRecord& r = fit.SelectedCopy[0];
    r.setInUse(1);
    r.setElemName("Fe");
    r.setFitLowCh(270);
    r.setFitHighCh(330);
    fit.SelectedIndex[0] = 2;
    std::vector<int32_t> counts(kFitChannels, 0);
    const auto std = peak(300, 4000);
    std::copy(std.begin(), std.end(), counts.begin());
    TopHatFilter(counts.data(), fit.filteredStd(0), 1024, fit.Widths);
    for (int i = 0; i < 9; ++i) {
      const auto sample = peak(300, 400.0 * (i + 1));
      SpectrumFileHeader h;
      h.setChannelCount(1024);
      const std::string path = dir.path("p" + std::to_string(i) + ".dat");
      testing::writeFileBytes(path, encodeSpectrumFile(h, sample.data(), 1024));
      files << QString::fromStdString(path);
    }
    std::filesystem::create_directories(dir.path("maps"));
  }
  std::unique_ptr<XfitBatchDialog> dialog(const QStringList& chosen, std::vector<StandardInUse> standards = {}) {
    auto d = std::make_unique<XfitBatchDialog>(module.Fit, std::move(standards));
    d->chooseFiles = [chosen] { return chosen; };
    d->chooseFolder = [this] { return QString::fromStdString(dir.path("maps")); };
    return d;
  }
  size_t written() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path("maps"))) ++n;
    return n;
  }
  testing::TempDir dir;
  TDmVQRN module;
  QStringList files;
};

TEST(XfitBatchDialog, ARunWritesTheMapsAndShowsTheChosenStandard) {
  BatchRig rig;
  auto d = rig.dialog(rig.files);
  EXPECT_FALSE(d->StartButton->isEnabled());
  d->FilesButton->click();
  d->FolderButton->click();
  EXPECT_EQ(d->MapWidth->value(), 3);  // nine files: a square grid
  EXPECT_EQ(d->MapHeight->value(), 3);
  ASSERT_TRUE(d->StartButton->isEnabled());
  d->StartButton->click();
  EXPECT_FALSE(d->FilesButton->isEnabled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !d->running(); }, 20000));
  EXPECT_EQ(d->Progress->value(), 9);
  EXPECT_TRUE(d->StatusText->text().startsWith("Maps and kratios.csv written to"))
      << d->StatusText->text().toStdString();
  EXPECT_EQ(rig.written(), 5u);  // grey, mask, colours, map CSV, the batch CSV
  EXPECT_TRUE(std::filesystem::exists(rig.dir.path("maps/std03_Fe_kratio16.png")));
  ASSERT_EQ(d->StandardChoice->count(), 1);
  EXPECT_FALSE(d->MapPicture->pixmap().isNull());
  ASSERT_EQ(d->maps().size(), 1u);
  // The K-ratios rise with the file order: 10 %, 20 %, ... 90 %.
  for (size_t i = 0; i < 9; ++i) EXPECT_NEAR(d->maps()[0].kratioPct[i], 10.0 * static_cast<double>(i + 1), 0.1) << i;
}

// The standard was taken over 2048 channels for 60 s, the samples over
// 1024 channels for 0 s: the dialog says so once per cause with the count
// of files, as `xfit --batch` does, shows each file's chi-squares and flags,
// and writes the same CSV.
TEST(XfitBatchDialog, ShowsTheWarningsOncePerCauseAndEachFilesQuality) {
  BatchRig rig;
  StandardInUse fe{2, "Fe", rig.dir.path("fe.dat"), {}};
  fe.read.outcome = SpectrumFileRead::Outcome::Read;
  fe.read.channels = 2048;
  fe.read.header.setChannelCount(2048);
  fe.read.header.setLiveTime(600);
  auto d = rig.dialog(rig.files, {fe});
  d->FilesButton->click();
  d->FolderButton->click();
  d->StartButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !d->running(); }, 20000));
  const std::string warnings = d->Warnings->toPlainText().toStdString();
  EXPECT_NE(warnings.find("9 files: channel count differs from the standards'"), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("9 files: live time differs from the standards'"), std::string::npos) << warnings;
  EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 2) << warnings;
  ASSERT_EQ(d->Quality->rowCount(), 9);
  for (int row = 0; row < 9; ++row) {
    EXPECT_EQ(d->Quality->item(row, 0)->text(), rig.files[row]);
    bool number = false;
    EXPECT_GE(d->Quality->item(row, 1)->text().toDouble(&number), 0.0);
    EXPECT_TRUE(number) << d->Quality->item(row, 1)->text().toStdString();
    EXPECT_EQ(d->Quality->item(row, 3)->text(), "channels_differ;live_time_differs");
  }
  const auto csvBytes = testing::readFileBytes(rig.dir.path("maps/kratios.csv"));
  const std::string csv(csvBytes.begin(), csvBytes.end());
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "file,Fe_kratio_pct,Fe_kratio_err,Fe_kratio_pct_lt,chi2_reduced,chi2_reduced_after_spill,flags");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 10);
}

// A folder that cannot be written to: nothing is written, but the run's
// warnings and each file's quality are shown all the same.
TEST(XfitBatchDialog, WhenNothingCanBeWrittenTheQualityAndWarningsAreStillShown) {
  BatchRig rig;
  StandardInUse fe{2, "Fe", rig.dir.path("fe.dat"), {}};
  fe.read.outcome = SpectrumFileRead::Outcome::Read;
  fe.read.channels = 1024;
  fe.read.header.setChannelCount(1024);
  fe.read.header.setLiveTime(600);
  auto d = rig.dialog(rig.files, {fe});
  d->chooseFolder = [&rig] { return QString::fromStdString(rig.dir.path("gone")); };
  d->FilesButton->click();
  d->FolderButton->click();
  ASSERT_TRUE(d->StartButton->isEnabled());
  d->StartButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !d->running(); }, 20000));
  EXPECT_TRUE(d->StatusText->text().startsWith("Not written")) << d->StatusText->text().toStdString();
  EXPECT_FALSE(std::filesystem::exists(rig.dir.path("gone/kratios.csv")));
  const std::string warnings = d->Warnings->toPlainText().toStdString();
  EXPECT_NE(warnings.find("9 files: live time differs from the standards'"), std::string::npos) << warnings;
  ASSERT_EQ(d->Quality->rowCount(), 9);
  for (int row = 0; row < 9; ++row) {
    ASSERT_NE(d->Quality->item(row, 1), nullptr) << row;
    bool number = false;
    d->Quality->item(row, 1)->text().toDouble(&number);
    EXPECT_TRUE(number) << d->Quality->item(row, 1)->text().toStdString();
    EXPECT_EQ(d->Quality->item(row, 1)->text(), d->Quality->item(row, 2)->text());  // one standard: no spill
    EXPECT_EQ(d->Quality->item(row, 3)->text(), "live_time_differs");
  }
}

TEST(XfitBatchDialog, AGridThatDoesNotMatchTheFilesCannotStart) {
  BatchRig rig;
  auto d = rig.dialog(rig.files);
  d->FilesButton->click();
  d->FolderButton->click();
  d->MapWidth->setValue(4);
  EXPECT_FALSE(d->StartButton->isEnabled());
  EXPECT_TRUE(d->StatusText->text().contains("needs 12 files, 9 chosen")) << d->StatusText->text().toStdString();
  d->MapWidth->setValue(9);
  d->MapHeight->setValue(1);
  EXPECT_TRUE(d->StartButton->isEnabled());
}

TEST(XfitBatchDialog, CancelStopsTheRunAndWritesNothing) {
  BatchRig rig;
  QStringList many;
  for (int i = 0; i < 200000; ++i) many << rig.files[i % 9];
  auto d = rig.dialog(many);
  d->FilesButton->click();
  d->FolderButton->click();
  d->MapWidth->setValue(500);
  d->MapHeight->setValue(400);
  ASSERT_TRUE(d->StartButton->isEnabled());
  d->StartButton->click();
  d->CancelButton->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !d->running(); }, 20000));
  EXPECT_EQ(d->StatusText->text(), "Cancelled: nothing written");
  EXPECT_LT(d->Progress->value(), 200000);
  EXPECT_EQ(rig.written(), 0u);
  EXPECT_TRUE(d->maps().empty());
  EXPECT_TRUE(d->StartButton->isEnabled());  // it can run again
}

}  // namespace
}  // namespace tolvane
