// tolvane-cli xfit --batch --map: a raster whose K-ratios follow a known
// pattern comes back as that pattern in the pictures and the CSV.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "cli/cli_runner.h"
#include "files/spectrum_file.h"
#include "test_support.h"
#include "xfit/kratio_map.h"
#include "xfit/standard_table.h"

namespace tolvane {
namespace {

int runStatus(const std::string& command) {
  const int rc = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::vector<int32_t> peak(double centre, double height) {
  std::vector<int32_t> counts(1024);
  for (int c = 0; c < 1024; ++c)
    counts[static_cast<size_t>(c)] =
        10 + static_cast<int32_t>(std::lround(height * std::exp(-0.5 * std::pow((c - centre) / 5.0, 2))));
  return counts;
}

void writeCounts(const std::string& path, const std::vector<int32_t>& counts) {
  SpectrumFileHeader h;
  h.setChannelCount(static_cast<int16_t>(counts.size()));
  testing::writeFileBytes(path, encodeSpectrumFile(h, counts.data(), static_cast<int>(counts.size())));
}

std::vector<std::vector<std::string>> readCsv(const std::string& path) {
  const auto bytes = testing::readFileBytes(path);
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    rows.emplace_back();
    std::string cell;
    std::istringstream cells(line);
    while (std::getline(cells, cell, ',')) rows.back().push_back(cell);
    if (!line.empty() && line.back() == ',') rows.back().push_back("");
  }
  return rows;
}

struct Raster {
  static constexpr int kWidth = 5, kHeight = 4;
  // The pattern: Fe rises to the right, Cu downwards.
  static double fe(int x, int) { return 10 + 15 * x; }
  static double cu(int, int y) { return 20 + 10 * y; }

  Raster() {
    writeCounts(dir.path("fe.dat"), peak(300, 4000));
    writeCounts(dir.path("cu.dat"), peak(600, 4000));
    StandardTable table;
    for (auto [i, name, file, low] : {std::tuple{0, "Fe", "fe.dat", 270}, std::tuple{3, "Cu", "cu.dat", 570}}) {
      StandardRecord& r = table.Records[static_cast<size_t>(i)];
      r.setInUse(1);
      r.setElemName(name);
      r.setSpecFile(file);
      r.setFitLowCh(low);
      r.setFitHighCh(low + 60);
    }
    EXPECT_TRUE(SaveStandardTableFile(table, dir.path("t.ref")));
    const auto fePeak = peak(300, 4000), cuPeak = peak(600, 4000);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        std::vector<int32_t> counts(1024);
        for (size_t c = 0; c < counts.size(); ++c)
          counts[c] =
              static_cast<int32_t>(std::lround(fe(x, y) / 100 * (fePeak[c] - 10) + cu(x, y) / 100 * (cuPeak[c] - 10))) +
              7;
        char name[32];
        std::snprintf(name, sizeof name, "p%02d_%02d.dat", y, x);
        writeCounts(dir.path(name), counts);
        files += " " + dir.path(name);
      }
  }
  std::string command(const std::string& map, const std::string& out) const {
    return std::string(TOLVANE_CLI) + " xfit --batch " + dir.path("t.ref") + " --map " + map + " --out-dir " + out +
           files;
  }
  testing::TempDir dir;
  std::string files;
};

TEST(XfitMap, AKnownPatternComesBackInTheGreyPictureTheColoursAndTheCsv) {
  Raster raster;
  const std::string out = raster.dir.path("maps");
  ASSERT_EQ(runStatus(raster.command("5x4", out)), 0);

  for (auto [stem, expected] :
       {std::pair{std::string("std01_Fe"), &Raster::fe}, std::pair{std::string("std04_Cu"), &Raster::cu}}) {
    const auto png = testing::readFileBytes(out + "/" + stem + "_kratio16.png");
    ASSERT_GT(png.size(), 26u) << stem;
    EXPECT_EQ(png[24], 16) << "bit depth";
    EXPECT_EQ(png[25], 0) << "grey";
    const QImage grey(QString::fromStdString(out + "/" + stem + "_kratio16.png"));
    ASSERT_EQ(grey.width(), Raster::kWidth);
    ASSERT_EQ(grey.height(), Raster::kHeight);
    ASSERT_EQ(grey.format(), QImage::Format_Grayscale16);

    const auto csv = readCsv(out + "/" + stem + "_kratio.csv");
    ASSERT_EQ(csv.size(), static_cast<size_t>(Raster::kHeight));
    KratioMap map{{Raster::kWidth, Raster::kHeight}, 0, "", {}};
    for (int y = 0; y < Raster::kHeight; ++y) {
      ASSERT_EQ(csv[static_cast<size_t>(y)].size(), static_cast<size_t>(Raster::kWidth));
      for (int x = 0; x < Raster::kWidth; ++x) {
        const double k = std::stod(csv[static_cast<size_t>(y)][static_cast<size_t>(x)]);
        EXPECT_NEAR(k, expected(x, y), 0.05) << stem << " " << x << "," << y;
        const auto level = reinterpret_cast<const quint16*>(grey.constScanLine(y))[x];
        EXPECT_NEAR(level, expected(x, y) * 100, 5) << stem << " " << x << "," << y;
        map.kratioPct.push_back(k);
      }
    }

    // Each point's square has the colour of its value on the scale: the
    // smallest the scale's start, the largest its end.
    const QImage colour(QString::fromStdString(out + "/" + stem + "_kratio_colour.png"));
    const ColourMapLayout layout = colourMapLayout(map.size);
    ASSERT_EQ(colour.width(), layout.width);
    const ColourRange range = colourRange(map);
    for (int y = 0; y < Raster::kHeight; ++y)
      for (int x = 0; x < Raster::kWidth; ++x) {
        const QRgb pixel =
            colour.pixel(x * layout.cell + layout.cell / 2, y * layout.cell + layout.cell / 2) & 0xFFFFFF;
        EXPECT_EQ(pixel, mapColour(map.kratioPct[static_cast<size_t>(y * Raster::kWidth + x)], range)) << x << "," << y;
      }
    // Both patterns are smallest at the top left; Fe is largest at the
    // right end of a row, Cu at the bottom of a column.
    const int low = 0, high = stem == "std01_Fe" ? Raster::kWidth - 1 : (Raster::kHeight - 1) * Raster::kWidth;
    EXPECT_EQ(mapColour(map.kratioPct[static_cast<size_t>(low)], range), scaleColour(0));
    EXPECT_EQ(mapColour(map.kratioPct[static_cast<size_t>(high)], range), scaleColour(1));
    // The scale bar runs from the high end at its top to the low end.
    EXPECT_EQ(colour.pixel(layout.barLeft + 2, layout.barTop) & 0xFFFFFF, scaleColour(1));
    EXPECT_EQ(colour.pixel(layout.barLeft + 2, layout.barTop + layout.barHeight - 1) & 0xFFFFFF, scaleColour(0));
  }
}

TEST(XfitMap, AWrongFileCountOrSizeIsRefusedBeforeAnyWork) {
  Raster raster;
  const std::string out = raster.dir.path("none");
  EXPECT_EQ(runStatus(raster.command("5x5", out)), 2);
  EXPECT_EQ(runStatus(raster.command("4x4", out)), 2);
  EXPECT_EQ(runStatus(raster.command("5x0", out)), 2);
  EXPECT_EQ(runStatus(raster.command("five", out)), 2);
  EXPECT_EQ(
      runStatus(std::string(TOLVANE_CLI) + " xfit --batch " + raster.dir.path("t.ref") + " --map 5x4" + raster.files),
      2);
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(XfitMap, AFolderThatCannotTakeTheMapsIsRefusedBeforeAnyFit) {
  Raster raster;
  testing::writeFileBytes(raster.dir.path("plain"), {'x'});
  std::vector<std::string> files;
  std::istringstream names(raster.files);
  for (std::string name; names >> name;) files.push_back(name);
  for (const std::string& out : {raster.dir.path("plain"), raster.dir.path("plain/maps")}) {
    std::vector<std::string> args{"xfit", "--batch", raster.dir.path("t.ref"), "--map", "5x4", "--out-dir", out};
    args.insert(args.end(), files.begin(), files.end());
    const testing::CliRun r = testing::runCli(args);
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_EQ(r.out, "") << out;  // no CSV header: nothing was fitted
    EXPECT_EQ(r.err, "tolvane-cli: xfit: cannot write the maps into " + out + ": " + raster.dir.path("plain") +
                         " is not a folder\n");
  }
}

TEST(XfitMap, AnUnreadablePointIsAGapAndTheRunSaysSo) {
  Raster raster;
  testing::writeFileBytes(raster.dir.path("p01_02.dat"), std::vector<uint8_t>(100, 0));
  std::filesystem::remove(raster.dir.path("p02_03.dat"));
  const std::string out = raster.dir.path("maps");
  std::vector<std::string> args{"xfit", "--batch", raster.dir.path("t.ref"), "--map", "5x4", "--out-dir", out};
  std::istringstream names(raster.files);
  for (std::string name; names >> name;) args.push_back(name);
  const testing::CliRun run = testing::runCli(args);
  EXPECT_EQ(run.status, 1);
  // Each failed point says why.
  EXPECT_NE(run.err.find(raster.dir.path("p01_02.dat") + ": not a spectrum"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(raster.dir.path("p02_03.dat") + ": cannot open: no such file"), std::string::npos) << run.err;
  const auto csv = readCsv(out + "/std01_Fe_kratio.csv");
  ASSERT_EQ(csv.size(), 4u);
  EXPECT_EQ(csv[1][2], "");
  EXPECT_NE(csv[1][1], "");
  const QImage colour(QString::fromStdString(out + "/std01_Fe_kratio_colour.png"));
  const ColourMapLayout layout = colourMapLayout({5, 4});
  EXPECT_EQ(colour.pixel(2 * layout.cell + 1, 1 * layout.cell + 1) & 0xFFFFFF, kNotFittedColour);
  const QImage grey(QString::fromStdString(out + "/std01_Fe_kratio16.png"));
  EXPECT_EQ(reinterpret_cast<const quint16*>(grey.constScanLine(1))[2], 0);
  // The mask beside the grey map tells the gaps from the values, for every
  // standard: 0 at the two failed points only.
  for (const std::string stem : {"std01_Fe", "std04_Cu"}) {
    const QImage mask(QString::fromStdString(out + "/" + stem + "_kratio16_mask.png"));
    ASSERT_EQ(mask.format(), QImage::Format_Grayscale8) << stem;
    ASSERT_EQ(mask.size(), QSize(5, 4));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) {
        const bool gap = (y == 1 && x == 2) || (y == 2 && x == 3);
        EXPECT_EQ(mask.constScanLine(y)[x], gap ? 0 : kFittedMaskLevel) << stem << " " << x << "," << y;
        EXPECT_EQ(csv[static_cast<size_t>(y)][static_cast<size_t>(x)].empty(), gap) << x << "," << y;
      }
  }
}

// A K-ratio of 0, or below 0, has grey level 0 as a gap has: the mask and
// the CSV tell them apart.
TEST(XfitMap, AZeroOrNegativeKRatioIsAValueAndAGapIsNot) {
  const double gap = std::nan("");
  const KratioMap map{{4, 1}, 0, "Fe", {0.0, -1.5, gap, 12.345}};
  EXPECT_EQ(kratioGreyLevels(map), (std::vector<uint16_t>{0, 0, 0, 1235}));
  EXPECT_EQ(kratioFittedMask(map), (std::vector<uint8_t>{255, 255, 0, 255}));
  EXPECT_EQ(kratioMapCsv(map), "0,-1.5,,12.345\n");
  const ColourRange range = colourRange(map);
  EXPECT_EQ(range.low, -1.5);
  EXPECT_EQ(mapColour(map.kratioPct[2], range), kNotFittedColour);
  EXPECT_NE(mapColour(map.kratioPct[0], range), kNotFittedColour);
}

}  // namespace
}  // namespace tolvane
