// Mapped scans ("X-ray Mapping ON") of the simulator's phantom: the raster,
// the scan's own end, the ROI maps against the phantom pixel by pixel, the
// map file, Skip Blank, and the refusals that start no scan.
#include <gtest/gtest.h>

#include <cmath>

#include "acquisition/map_run.h"
#include "files/map_file_reader.h"
#include "files/spectrum_file.h"
#include "handlers/mapping_handlers.h"
#include "test_support.h"

namespace tolvane {
namespace {

constexpr int kChannels = 1024;
constexpr Phantom kPhantom{16, 12};

// Channel of an energy at 1024 channels over the 40.96 keV full scale.
int32_t channelOf(double ev) { return static_cast<int32_t>(ev / (40960.0 / kChannels)); }

struct ElementWindow {
  SimSample sample;
  const char* label;
  double kAlphaEv;
};
constexpr ElementWindow kElements[] = {
    {SimSample::Ca, "Ca", 3691.7}, {SimSample::Ti, "Ti", 4510.8}, {SimSample::V, "V", 4952.2},
    {SimSample::Cr, "Cr", 5414.7}};

void defineRoi(Session& s, int entry, const char* label, int32_t low, int32_t high) {
  RoiEntry& e = s.Rois.Entries[static_cast<size_t>(entry)];
  e.Defined = true;
  e.LowChannel = low;
  e.HighChannel = high;
  std::snprintf(e.ElementLabel.data(), e.ElementLabel.size(), "%s", label);
}

struct MapRig {
  MapRig() : rig(1, [] {
    SimulatedAnalyserConfig c;
    c.phantom = kPhantom;
    return c;
  }()) {
    rig.open();
    Session& s = *rig.session;
    ScanSetupFields f = OpenScanSetup(s);
    f.MemorySize = kChannels;
    f.ZORVPreSetTime = "1";  // 0.1 s per pass
    f.ElementMapON = true;
    f.XMapSize = std::to_string(kPhantom.width);
    f.YMapSize = std::to_string(kPhantom.height);
    for (int i = 0; i < 4; ++i) {
      defineRoi(s, i + 1, kElements[i].label, channelOf(kElements[i].kAlphaEv - 150),
                channelOf(kElements[i].kAlphaEv + 150));
      f.MapROI[static_cast<size_t>(i)] = true;
    }
    fields = f;
  }
  void apply() { ApplyScanSetup(*rig.session, fields); }
  // Ticks until the scan ends (or far past when it does not).
  int runScan() {
    ZorvStartClick(*rig.session);
    int ticks = 0;
    while (rig.session->Acquisition.Running && ticks < 20 * static_cast<int>(kPhantom.width * kPhantom.height)) {
      rig.tick();
      ++ticks;
    }
    return ticks;
  }
  testing::SimRig rig;
  ScanSetupFields fields;
};

TEST(ElementMap, PhantomScanEndsByItselfAndEveryRoiMapMatchesThePhantom) {
  testing::TempDir dir;
  MapRig m;
  m.fields.SavePath = dir.path("phantom.dat");
  m.apply();
  m.runScan();
  Session& s = *m.rig.session;
  const int64_t pixels = int64_t{kPhantom.width} * kPhantom.height;
  EXPECT_FALSE(s.Acquisition.Running);
  EXPECT_EQ(s.Acquisition.ScanCount, pixels);
  EXPECT_EQ(m.rig.analyser().passesCompleted(), pixels);  // stopped in its last pass's successor
  EXPECT_EQ(s.Texts.Edit1, "Map done: 16 x 12 pixels");
  const RoiMaps& maps = s.Mapping.Maps;
  ASSERT_EQ(maps.maps().size(), 4u);
  for (PixelState st : maps.states()) ASSERT_EQ(st, PixelState::Value);

  // Each map: its element's region above half the region's mean net sum,
  // every other pixel (matrix, and the other elements, whose lines may
  // spill a little into the window) below it.
  for (size_t k = 0; k < 4; ++k) {
    const RoiMap& map = maps.maps()[k];
    EXPECT_EQ(map.roi.label, kElements[k].label);
    double inside = 0;
    int n = 0;
    for (int32_t y = 0; y < kPhantom.height; ++y)
      for (int32_t x = 0; x < kPhantom.width; ++x)
        if (phantomSample(kPhantom, x, y) == kElements[k].sample) {
          inside += map.net[static_cast<size_t>(y * kPhantom.width + x)];
          ++n;
        }
    ASSERT_GT(n, 0) << kElements[k].label;
    const double threshold = inside / n / 2;
    EXPECT_GT(threshold, 20) << kElements[k].label;
    for (int32_t y = 0; y < kPhantom.height; ++y)
      for (int32_t x = 0; x < kPhantom.width; ++x) {
        const bool expected = phantomSample(kPhantom, x, y) == kElements[k].sample;
        const float net = map.net[static_cast<size_t>(y * kPhantom.width + x)];
        EXPECT_EQ(net > threshold, expected) << kElements[k].label << " at (" << x << ", " << y << "): " << net;
      }
  }

  // The map file beside the pass files holds every pass, equal to its file.
  std::string error;
  auto file = MapFileReader::open(dir.path("phantom_0001.nxs"), error);
  ASSERT_TRUE(file) << error;
  EXPECT_EQ(file->recordedCount(), pixels);
  EXPECT_EQ(file->setup().rois.size(), 4u);
  std::vector<uint32_t> all;
  ASSERT_TRUE(file->readAll(all, error)) << error;
  for (int64_t p : {int64_t{0}, int64_t{37}, pixels - 1}) {
    const SpectrumFileRead pass = readSpectrumPath(dir.path("phantom_" + [&] {
      char n[8];
      std::snprintf(n, sizeof n, "%04d", static_cast<int>(p + 1));
      return std::string(n);
    }() + ".dat"));
    ASSERT_TRUE(pass.ok()) << p;
    for (int c = 0; c < kChannels; ++c)
      ASSERT_EQ(all[static_cast<size_t>(p * kChannels + c)], static_cast<uint32_t>(pass.counts[static_cast<size_t>(c)]))
          << "pass " << p + 1 << " channel " << c;
    EXPECT_NEAR(file->liveTimeS()[static_cast<size_t>(p)], pass.header.liveTime() * 0.1, 0.1);
  }
}

TEST(ElementMap, SkipBlankMarksPixelsWhoseReferenceHoldsNothing) {
  MapRig m;
  m.fields.XMapSize = "3";
  m.fields.YMapSize = "2";
  m.fields.ScanSkipOption = true;
  // Above every line of the source: nothing lands there.
  defineRoi(*m.rig.session, 0, "", 600, 700);
  m.apply();
  m.runScan();
  const RoiMaps& maps = m.rig.session->Mapping.Maps;
  for (PixelState st : maps.states()) EXPECT_EQ(st, PixelState::Blank);
  EXPECT_TRUE(std::isnan(maps.maps()[0].net[0]));
  EXPECT_FALSE(m.rig.session->Acquisition.Running);
}

TEST(ElementMap, AMapThatCannotBeBuiltStartsNoScan) {
  MapRig m;
  m.fields.MapROI[5] = true;  // ROI #6 is not defined
  m.apply();
  ZorvStartClick(*m.rig.session);
  EXPECT_FALSE(m.rig.session->Acquisition.Running);
  EXPECT_EQ(m.rig.session->Texts.Edit1, "Map not started: ROI #6 is not defined");

  m.fields.MapROI[5] = false;
  m.fields.ScanSkipOption = true;  // ROI #0 is not defined
  m.apply();
  ZorvStartClick(*m.rig.session);
  EXPECT_FALSE(m.rig.session->Acquisition.Running);
  EXPECT_EQ(m.rig.session->Texts.Edit1, "Map not started: Skip Blank needs ROI #0");
}

TEST(ElementMap, MapSizeOutsideOneTo4096KeepsTheOldSize) {
  MapRig m;
  Session& s = *m.rig.session;
  for (const char* bad : {"0", "4097", "x", ""}) {
    m.fields.XMapSize = bad;
    EXPECT_FALSE(StoreScanSetupFields(s, m.fields)) << bad;
    EXPECT_EQ(s.Texts.Edit1, kMapSizeError);
    EXPECT_EQ(s.Scan.MapWidth, 100);
  }
}

TEST(ElementMap, WithMappingOffTheScanRunsUntilAbortedAndBuildsNoMap) {
  MapRig m;
  m.fields.ElementMapON = false;
  m.fields.XMapSize = "2";
  m.fields.YMapSize = "1";
  m.apply();
  ZorvStartClick(*m.rig.session);
  for (int i = 0; i < 60; ++i) m.rig.tick();
  EXPECT_TRUE(m.rig.session->Acquisition.Running);
  EXPECT_GT(m.rig.session->Acquisition.ScanCount, 2);
  EXPECT_FALSE(m.rig.session->Mapping.Active);
}

}  // namespace
}  // namespace tolvane
