// The element-map file: what the writer lays out is what the reader and
// other programs find (fixed-length strings, the NeXus links HyperSpy and
// PyMca follow), passes land at their raster pixel, and bad requests are
// refused without touching what exists.
#include <gtest/gtest.h>
#include <hdf5.h>

#include <cmath>
#include <fstream>

#include "files/hdf5_io.h"
#include "files/map_file.h"
#include "files/map_file_reader.h"
#include "test_support.h"

namespace tolvane {
namespace {

using testing::TempDir;

MapFileSetup smallSetup() {
  MapFileSetup s;
  s.width = 3;
  s.height = 2;
  s.channels = 16;
  s.calibrated = true;
  s.gainKev = 0.01;
  s.offsetKev = -0.05;
  s.rois = {{1, "Ca", 3, 6}, {4, "Ti", 8, 12}};
  s.skipBlank = true;
  s.blankReference = {0, "", 1, 15};
  s.dwellTenths = 5;
  s.memorySize = 16;
  s.refreshMs = 100;
  s.deadTimePerEventUs = 1.8;
  s.serial = "VQ5A0001";
  s.comment = "phantom";
  s.startTime = "2026-12-08T04:11:14";
  return s;
}

std::vector<uint32_t> passCounts(int64_t pass, int channels) {
  std::vector<uint32_t> counts(static_cast<size_t>(channels));
  for (int c = 0; c < channels; ++c) counts[static_cast<size_t>(c)] = static_cast<uint32_t>(pass * 100 + c);
  return counts;
}

void append(MapFileWriter& w, int64_t pass, double live) {
  const std::vector<uint32_t> counts = passCounts(pass, w.setup().channels);
  std::string error;
  ASSERT_TRUE(w.appendPass({pass, counts.data(), live, 0.5, "2026-12-08T04:11:2" + std::to_string(pass)}, error))
      << error;
}

// Whether an attribute of the object at `path` is a fixed-length string
// with the given text.
bool fixedStringAttribute(hid_t file, const char* path, const char* name, const std::string& text) {
  H5Id object(H5Oopen(file, path, H5P_DEFAULT), H5Oclose);
  if (!object.valid() || H5Aexists(object.get(), name) <= 0) return false;
  H5Id attribute(H5Aopen(object.get(), name, H5P_DEFAULT), H5Aclose);
  H5Id type(H5Aget_type(attribute.get()), H5Tclose);
  if (H5Tget_class(type.get()) != H5T_STRING || H5Tis_variable_str(type.get()) != 0) return false;
  return readStringAttribute(object.get(), name) == text;
}

TEST(MapFile, PassesLandAtTheirRasterPixelAndReadBackWithTheirTimes) {
  TempDir dir;
  const std::string path = dir.path("map.nxs");
  std::string error;
  {
    auto w = MapFileWriter::create(path, smallSetup(), error);
    ASSERT_TRUE(w) << error;
    append(*w, 0, 0.4);
    append(*w, 1, 0.3);
    // Pass 3 (index 2) was lost: its pixel stays unrecorded.
    append(*w, 4, 0.2);
    EXPECT_EQ(w->recordedPasses(), 3);
  }
  auto r = MapFileReader::open(path, error);
  ASSERT_TRUE(r) << error;
  EXPECT_EQ(r->width(), 3);
  EXPECT_EQ(r->height(), 2);
  EXPECT_EQ(r->channels(), 16);
  EXPECT_EQ(r->passes(), 5);
  EXPECT_EQ(r->recordedCount(), 3);
  EXPECT_EQ(r->recorded(), (std::vector<uint8_t>{1, 1, 0, 0, 1, 0}));
  EXPECT_EQ(r->liveTimeS(), (std::vector<double>{0.4, 0.3, 0, 0, 0.2, 0}));
  EXPECT_EQ(r->realTimeS()[4], 0.5);
  EXPECT_EQ(r->passStartTimes()[1], "2026-12-08T04:11:21");
  EXPECT_EQ(r->passStartTimes()[2], "");
  std::vector<uint32_t> all;
  ASSERT_TRUE(r->readAll(all, error)) << error;
  // Pass 5 (index 4) is pixel (1, 1).
  const auto at = [&](int x, int y, int c) { return all[static_cast<size_t>((y * 3 + x) * 16 + c)]; };
  EXPECT_EQ(at(1, 1, 7), 407u);
  EXPECT_EQ(at(1, 0, 0), 100u);
  EXPECT_EQ(at(2, 0, 5), 0u);  // the lost pass
  std::vector<uint32_t> block(2 * 16);
  ASSERT_TRUE(r->readBlock(1, 1, 2, 1, block.data(), error)) << error;
  EXPECT_EQ(block[3], 403u);
  EXPECT_EQ(block[16], 0u);

  const MapFileSetup& s = r->setup();
  EXPECT_TRUE(s.calibrated);
  EXPECT_EQ(s.gainKev, 0.01);
  EXPECT_EQ(s.offsetKev, -0.05);
  ASSERT_EQ(s.rois.size(), 2u);
  EXPECT_EQ(s.rois[1].index, 4);
  EXPECT_EQ(s.rois[1].label, "Ti");
  EXPECT_EQ(s.rois[1].low, 8);
  EXPECT_EQ(s.rois[1].high, 12);
  EXPECT_TRUE(s.skipBlank);
  EXPECT_EQ(s.blankReference.high, 15);
  EXPECT_EQ(s.serial, "VQ5A0001");
  EXPECT_EQ(s.comment, "phantom");
  EXPECT_EQ(s.dwellTenths, 5);
  EXPECT_EQ(s.startTime, "2026-12-08T04:11:14");
}

TEST(MapFile, LayoutIsTheOneHyperSpyAndPyMcaFollow) {
  TempDir dir;
  const std::string path = dir.path("map.nxs");
  std::string error;
  {
    auto w = MapFileWriter::create(path, smallSetup(), error);
    ASSERT_TRUE(w) << error;
    append(*w, 0, 0.4);
    append(*w, 1, 0.2);
  }
  H5Id file(H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
  ASSERT_TRUE(file.valid());
  const hid_t f = file.get();
  EXPECT_TRUE(fixedStringAttribute(f, "/", "default", "entry"));
  EXPECT_TRUE(fixedStringAttribute(f, "/", "file_writer", "hyperspy_nexus_v3"));
  EXPECT_TRUE(fixedStringAttribute(f, "/entry", "NX_class", "NXentry"));
  EXPECT_TRUE(fixedStringAttribute(f, "/entry", "default", "data"));
  EXPECT_TRUE(fixedStringAttribute(f, "/entry/data", "NX_class", "NXdata"));
  EXPECT_TRUE(fixedStringAttribute(f, "/entry/data", "signal", "counts"));
  EXPECT_TRUE(fixedStringAttribute(f, "/entry/data", "interpretation", "spectrum"));
  EXPECT_TRUE(fixedStringAttribute(f, "/entry/data/energy", "units", "keV"));

  H5Id data(H5Gopen2(f, "/entry/data", H5P_DEFAULT), H5Gclose);
  H5Id axes(H5Aopen(data.get(), "axes", H5P_DEFAULT), H5Aclose);
  H5Id axesType(H5Aget_type(axes.get()), H5Tclose);
  EXPECT_EQ(H5Tis_variable_str(axesType.get()), 0);
  const size_t width = H5Tget_size(axesType.get());
  std::vector<char> names(3 * width);
  ASSERT_GE(H5Aread(axes.get(), axesType.get(), names.data()), 0);
  EXPECT_EQ(std::string(names.data(), strnlen(names.data(), width)), "y");
  EXPECT_EQ(std::string(&names[2 * width], strnlen(&names[2 * width], width)), "energy");

  H5Id counts(H5Dopen2(f, "/entry/data/counts", H5P_DEFAULT), H5Dclose);
  EXPECT_EQ(datasetShape(counts.get()), (std::vector<hsize_t>{2, 3, 16}));
  H5Id type(H5Dget_type(counts.get()), H5Tclose);
  EXPECT_TRUE(H5Tequal(type.get(), H5T_STD_U32LE) > 0);
  H5Id create(H5Dget_create_plist(counts.get()), H5Pclose);
  hsize_t chunk[3] = {};
  ASSERT_EQ(H5Pget_chunk(create.get(), 3, chunk), 3);
  EXPECT_EQ(chunk[0], 1u);
  EXPECT_EQ(chunk[1], 1u);
  EXPECT_EQ(chunk[2], 16u);

  const auto energy = readDoublesDataset(data.get(), "energy");
  ASSERT_TRUE(energy && energy->size() == 16);
  EXPECT_DOUBLE_EQ((*energy)[0], -0.05);
  EXPECT_DOUBLE_EQ((*energy)[15], -0.05 + 15 * 0.01);
  EXPECT_EQ(readDoublesDataset(data.get(), "calibration"), (std::vector<double>{-0.05, 0.01, 0.0}));
  H5Id entry(H5Gopen2(f, "/entry", H5P_DEFAULT), H5Gclose);
  EXPECT_EQ(readStringDataset(entry.get(), "auxiliary/hyperspy_metadata/Signal/signal_type"), "EDS_SEM");
  const auto meanLive =
      readDoubleDataset(entry.get(), "auxiliary/hyperspy_metadata/Acquisition_instrument/SEM/Detector/EDS/live_time");
  ASSERT_TRUE(meanLive);
  EXPECT_DOUBLE_EQ(*meanLive, 0.3);
}

TEST(MapFile, WithoutCalibrationTheEnergyAxisCountsChannels) {
  TempDir dir;
  MapFileSetup s = smallSetup();
  s.calibrated = false;
  s.rois.clear();
  std::string error;
  ASSERT_TRUE(MapFileWriter::create(dir.path("m.nxs"), s, error)) << error;
  auto r = MapFileReader::open(dir.path("m.nxs"), error);
  ASSERT_TRUE(r) << error;
  EXPECT_FALSE(r->setup().calibrated);
  EXPECT_EQ(r->setup().gainKev, 1.0);
  EXPECT_EQ(r->setup().offsetKev, 0.0);
  EXPECT_TRUE(r->setup().rois.empty());
  EXPECT_EQ(r->recordedCount(), 0);
}

TEST(MapFile, RefusesWhatWouldLoseDataOrCannotBeAMap) {
  TempDir dir;
  std::string error;
  // An existing file is kept as it was.
  const std::string existing = dir.path("old.nxs");
  testing::writeFileBytes(existing, {1, 2, 3});
  EXPECT_FALSE(MapFileWriter::create(existing, smallSetup(), error));
  EXPECT_NE(error.find("exists"), std::string::npos) << error;
  EXPECT_EQ(testing::readFileBytes(existing), (std::vector<uint8_t>{1, 2, 3}));

  for (auto [w, h] : {std::pair{0, 5}, {4097, 1}, {1, 4097}}) {
    MapFileSetup s = smallSetup();
    s.width = w;
    s.height = h;
    EXPECT_FALSE(MapFileWriter::create(dir.path("bad.nxs"), s, error)) << w << "x" << h;
    EXPECT_NE(error.find("4096"), std::string::npos) << error;
  }
  MapFileSetup falling = smallSetup();
  falling.gainKev = -0.01;
  EXPECT_FALSE(MapFileWriter::create(dir.path("bad.nxs"), falling, error));
  EXPECT_FALSE(std::ifstream(dir.path("bad.nxs")).good());

  auto w = MapFileWriter::create(dir.path("m.nxs"), smallSetup(), error);
  ASSERT_TRUE(w) << error;
  const std::vector<uint32_t> counts(16, 1);
  EXPECT_FALSE(w->appendPass({6, counts.data(), 0.1, 0.1, ""}, error));
  EXPECT_NE(error.find("outside the 3x2 map"), std::string::npos) << error;
  EXPECT_EQ(w->recordedPasses(), 0);
}

TEST(MapFile, ReaderRefusesFilesThatAreNoMap) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(MapFileReader::open(dir.path("missing.nxs"), error));
  EXPECT_NE(error.find("missing.nxs"), std::string::npos);
  testing::writeFileBytes(dir.path("text.nxs"), {'h', 'i'});
  EXPECT_FALSE(MapFileReader::open(dir.path("text.nxs"), error));
  EXPECT_NE(error.find("not an HDF5 file"), std::string::npos);
  // HDF5, but with a two-dimensional counts dataset.
  {
    H5Id file(H5Fcreate(dir.path("flat.h5").c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT), H5Fclose);
    H5Id entry = makeNxGroup(file.get(), "entry", "NXentry");
    H5Id data = makeNxGroup(entry.get(), "data", "NXdata");
    ASSERT_TRUE(writeIntsDataset(data.get(), "counts", {1, 2, 3}));
  }
  EXPECT_FALSE(MapFileReader::open(dir.path("flat.h5"), error));
  EXPECT_NE(error.find("not a map file"), std::string::npos) << error;
}

TEST(MapFile, ReadBlockRefusesRegionsOutsideTheMap) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(MapFileWriter::create(dir.path("m.nxs"), smallSetup(), error));
  auto r = MapFileReader::open(dir.path("m.nxs"), error);
  ASSERT_TRUE(r) << error;
  std::vector<uint32_t> out(4 * 16);
  EXPECT_FALSE(r->readBlock(2, 0, 2, 1, out.data(), error));
  EXPECT_FALSE(r->readBlock(0, -1, 1, 1, out.data(), error));
  EXPECT_FALSE(r->readBlock(0, 0, 0, 1, out.data(), error));
  EXPECT_TRUE(r->readBlock(0, 0, 3, 1, out.data(), error)) << error;
}

}  // namespace
}  // namespace tolvane
