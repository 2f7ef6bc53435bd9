#include "files/map_file_reader.h"

#include <algorithm>
#include <numeric>

#include "files/hdf5_io.h"

namespace tolvane {

struct MapFileReader::Handles {
  H5Id file, counts;
};

MapFileReader::MapFileReader() : h_(std::make_unique<Handles>()) {}
MapFileReader::~MapFileReader() = default;

namespace {

// A [Y][X] dataset of the map's size into `out`; false when absent or of
// another size.
template <typename T>
bool readPixels(hid_t group, const char* name, hid_t memType, const MapFileSetup& s, std::vector<T>& out) {
  H5Id set = openDataset(group, name);
  if (!set.valid()) return false;
  const std::vector<hsize_t> dims = datasetShape(set.get());
  if (dims.size() != 2 || dims[0] != static_cast<hsize_t>(s.height) || dims[1] != static_cast<hsize_t>(s.width))
    return false;
  std::vector<T> values(static_cast<size_t>(s.pixels()));
  if (H5Dread(set.get(), memType, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) < 0) return false;
  out = std::move(values);
  return true;
}

bool readStartTimes(hid_t group, const MapFileSetup& s, std::vector<std::string>& out) {
  H5Id set = openDataset(group, "pass_start_time");
  if (!set.valid() || datasetShape(set.get()).size() != 2) return false;
  auto times = readStringsDataset(group, "pass_start_time");
  if (!times || static_cast<int64_t>(times->size()) != s.pixels()) return false;
  out = std::move(*times);
  return true;
}

void readRois(hid_t entry, MapFileSetup& s) {
  H5Id rois = openGroup(entry, "rois");
  if (!rois.valid()) return;
  if (auto skip = readIntDataset(rois.get(), "skip_blank")) s.skipBlank = *skip != 0;
  if (auto blank = readIntsDataset(rois.get(), "blank_reference_channels"); blank && blank->size() == 2)
    s.blankReference = {0, "", (*blank)[0], (*blank)[1]};
  auto index = readIntsDataset(rois.get(), "index");
  auto label = readStringsDataset(rois.get(), "label");
  auto low = readIntsDataset(rois.get(), "low_channel");
  auto high = readIntsDataset(rois.get(), "high_channel");
  if (!index || !label || !low || !high) return;
  const size_t n = index->size();
  if (label->size() != n || low->size() != n || high->size() != n) return;
  for (size_t i = 0; i < n; ++i) s.rois.push_back({(*index)[i], (*label)[i], (*low)[i], (*high)[i]});
}

void readAnalyser(hid_t entry, MapFileSetup& s) {
  H5Id instrument = openGroup(entry, "instrument");
  H5Id analyser = instrument.valid() ? openGroup(instrument.get(), "analyser") : H5Id();
  if (!analyser.valid()) return;
  const hid_t a = analyser.get();
  s.serial = readStringDataset(a, "serial").value_or("");
  s.memorySize = static_cast<int32_t>(readIntDataset(a, "memory_size").value_or(0));
  s.dwellTenths = static_cast<int32_t>(readIntDataset(a, "preset_time_tenths").value_or(0));
  s.refreshMs = static_cast<int32_t>(readIntDataset(a, "refresh_interval_ms").value_or(0));
  s.deadTimePerEventUs = readDoubleDataset(a, "dead_time_per_event").value_or(0.0);
  s.comment = readStringDataset(a, "comment").value_or("");
  s.sampleId = readStringDataset(a, "sample_id").value_or("");
}

}  // namespace

std::unique_ptr<MapFileReader> MapFileReader::open(const std::string& path, std::string& error) {
  silenceHdf5Errors();
  std::unique_ptr<MapFileReader> r(new MapFileReader());
  if (H5Fis_hdf5(path.c_str()) <= 0) {
    error = "cannot read " + path + ": not an HDF5 file, or missing";
    return nullptr;
  }
  r->h_->file = H5Id(H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
  if (!r->h_->file.valid()) {
    error = "cannot open " + path + " (is a scan still writing it?)";
    return nullptr;
  }
  H5Id entry = openGroup(r->h_->file.get(), "entry");
  H5Id data = entry.valid() ? openGroup(entry.get(), "data") : H5Id();
  r->h_->counts = data.valid() ? openDataset(data.get(), "counts") : H5Id();
  const std::vector<hsize_t> dims = r->h_->counts.valid() ? datasetShape(r->h_->counts.get()) : std::vector<hsize_t>{};
  if (dims.size() != 3) {
    error = path + " is not a map file: no /entry/data/counts of [Y][X][channels]";
    return nullptr;
  }
  H5Id type(H5Dget_type(r->h_->counts.get()), H5Tclose);
  if (H5Tget_class(type.get()) != H5T_INTEGER) {
    error = path + ": the map's counts are not whole numbers";
    return nullptr;
  }
  MapFileSetup& s = r->setup_;
  if (dims[0] < 1 || dims[0] > kMaxMapSide || dims[1] < 1 || dims[1] > kMaxMapSide || dims[2] < 2 || dims[2] > 8192) {
    error = path + ": a map of " + std::to_string(dims[1]) + "x" + std::to_string(dims[0]) + " pixels and " +
            std::to_string(dims[2]) + " channels is outside what a map holds";
    return nullptr;
  }
  s.height = static_cast<int32_t>(dims[0]);
  s.width = static_cast<int32_t>(dims[1]);
  s.channels = static_cast<int32_t>(dims[2]);
  if (auto calibration = readDoublesDataset(data.get(), "calibration"); calibration && calibration->size() >= 2) {
    s.offsetKev = (*calibration)[0];
    s.gainKev = (*calibration)[1];
  }
  H5Id energy = openDataset(data.get(), "energy");
  s.calibrated = energy.valid() && readStringAttribute(energy.get(), "units").value_or("") == "keV";
  if (!mapSetupValid(s, error)) {
    error = path + ": " + error;
    return nullptr;
  }
  s.startTime = readStringDataset(entry.get(), "start_time").value_or("");
  readRois(entry.get(), s);
  readAnalyser(entry.get(), s);

  const size_t pixels = static_cast<size_t>(s.pixels());
  if (!readPixels(data.get(), "live_time", H5T_NATIVE_DOUBLE, s, r->liveTime_)) r->liveTime_.assign(pixels, 0.0);
  H5Id scan = openGroup(entry.get(), "scan");
  const bool ours = scan.valid() && readPixels(scan.get(), "recorded", H5T_NATIVE_UINT8, s, r->recorded_);
  if (!ours) {
    r->recorded_.assign(pixels, 1);
    r->passes_ = s.pixels();
  } else {
    r->passes_ = std::clamp<int64_t>(readIntDataset(scan.get(), "passes").value_or(0), 0, s.pixels());
  }
  if (!scan.valid() || !readPixels(scan.get(), "real_time", H5T_NATIVE_DOUBLE, s, r->realTime_))
    r->realTime_.assign(pixels, 0.0);
  if (!scan.valid() || !readStartTimes(scan.get(), s, r->passStart_)) r->passStart_.assign(pixels, "");
  return r;
}

int64_t MapFileReader::recordedCount() const {
  return std::count_if(recorded_.begin(), recorded_.end(), [](uint8_t v) { return v != 0; });
}

bool MapFileReader::readBlock(int32_t x0, int32_t y0, int32_t cols, int32_t rows, uint32_t* out,
                              std::string& error) const {
  if (x0 < 0 || y0 < 0 || cols < 1 || rows < 1 || int64_t{x0} + cols > setup_.width ||
      int64_t{y0} + rows > setup_.height) {
    error = "the region leaves the " + std::to_string(setup_.width) + "x" + std::to_string(setup_.height) + " map";
    return false;
  }
  H5Id fileSpace(H5Dget_space(h_->counts.get()), H5Sclose);
  const hsize_t start[3] = {static_cast<hsize_t>(y0), static_cast<hsize_t>(x0), 0};
  const hsize_t count[3] = {static_cast<hsize_t>(rows), static_cast<hsize_t>(cols),
                            static_cast<hsize_t>(setup_.channels)};
  H5Id memSpace(H5Screate_simple(3, count, nullptr), H5Sclose);
  if (H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, start, nullptr, count, nullptr) < 0 ||
      H5Dread(h_->counts.get(), H5T_NATIVE_UINT32, memSpace.get(), fileSpace.get(), H5P_DEFAULT, out) < 0) {
    error = "cannot read the map's counts (the file is damaged?)";
    return false;
  }
  return true;
}

bool MapFileReader::readAll(std::vector<uint32_t>& out, std::string& error) const {
  out.resize(static_cast<size_t>(setup_.pixels()) * static_cast<size_t>(setup_.channels));
  return readBlock(0, 0, setup_.width, setup_.height, out.data(), error);
}

}  // namespace tolvane
