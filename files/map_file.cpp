#include "files/map_file.h"

#include <cmath>
#include <filesystem>

#include "files/hdf5_io.h"

namespace tolvane {

namespace {

constexpr size_t kTimeTextLength = 19;  // "YYYY-MM-DDTHH:MM:SS"

// A dataset of `type` with one value per pixel, laid out contiguously:
// a pass writes one value in place, and nothing is allocated on disk
// before the first.
H5Id makePixelDataset(hid_t parent, const char* name, hid_t type, const MapFileSetup& s) {
  const hsize_t dims[2] = {static_cast<hsize_t>(s.height), static_cast<hsize_t>(s.width)};
  H5Id space(H5Screate_simple(2, dims, nullptr), H5Sclose);
  return H5Id(H5Dcreate2(parent, name, type, space.get(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Dclose);
}

// The counts, one chunk per pixel's spectrum. A pass then writes exactly
// one whole chunk: no chunk is read back and rewritten, no chunk of
// earlier passes is touched again after its flush (so a crash cannot
// spoil them), and the chunks lie in the file in raster order, so reading
// the whole map, a row or a region is a run of sequential reads. At
// 2048 channels a chunk is 8 KiB, at 4096 16 KiB: inside the 10 KiB -
// 1 MiB range where HDF5's per-chunk cost stays small.
H5Id makeCountsDataset(hid_t parent, const MapFileSetup& s) {
  const hsize_t dims[3] = {static_cast<hsize_t>(s.height), static_cast<hsize_t>(s.width),
                           static_cast<hsize_t>(s.channels)};
  const hsize_t chunk[3] = {1, 1, static_cast<hsize_t>(s.channels)};
  H5Id space(H5Screate_simple(3, dims, nullptr), H5Sclose);
  H5Id create(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
  if (H5Pset_chunk(create.get(), 3, chunk) < 0) return {};
  const uint32_t zero = 0;
  H5Pset_fill_value(create.get(), H5T_NATIVE_UINT32, &zero);
  return H5Id(H5Dcreate2(parent, "counts", H5T_STD_U32LE, space.get(), H5P_DEFAULT, create.get(), H5P_DEFAULT),
              H5Dclose);
}

bool writeAxis(hid_t data, const char* name, int32_t size, double offset, double step, const char* units) {
  std::vector<double> axis(static_cast<size_t>(size));
  for (int32_t i = 0; i < size; ++i) axis[static_cast<size_t>(i)] = offset + step * i;
  return writeDoublesDataset(data, name, axis, units);
}

// Writes one value at a pixel of a [Y][X] dataset.
bool writePixel(hid_t set, hid_t memType, int32_t x, int32_t y, const void* value) {
  H5Id fileSpace(H5Dget_space(set), H5Sclose);
  const hsize_t start[2] = {static_cast<hsize_t>(y), static_cast<hsize_t>(x)};
  const hsize_t count[2] = {1, 1};
  const hsize_t one = 1;
  H5Id memSpace(H5Screate_simple(1, &one, nullptr), H5Sclose);
  return H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, start, nullptr, count, nullptr) >= 0 &&
         H5Dwrite(set, memType, memSpace.get(), fileSpace.get(), H5P_DEFAULT, value) >= 0;
}

bool writeScalar(hid_t set, hid_t memType, const void* value) {
  return H5Dwrite(set, memType, H5S_ALL, H5S_ALL, H5P_DEFAULT, value) >= 0;
}

bool writeRois(hid_t entry, const MapFileSetup& s) {
  H5Id rois = makeNxGroup(entry, "rois", "NXcollection");
  if (!rois.valid()) return false;
  bool ok = writeIntDataset(rois.get(), "skip_blank", s.skipBlank ? 1 : 0) &&
            writeIntsDataset(rois.get(), "blank_reference_channels", {s.blankReference.low, s.blankReference.high});
  // No zero-length datasets: HyperSpy reads every small dataset as a value.
  if (!s.rois.empty()) {
    std::vector<int32_t> index, low, high;
    std::vector<std::string> label;
    for (const MapRoi& r : s.rois) {
      index.push_back(r.index);
      low.push_back(r.low);
      high.push_back(r.high);
      label.push_back(r.label);
    }
    ok = ok && writeIntsDataset(rois.get(), "index", index) && writeStringsDataset(rois.get(), "label", label) &&
         writeIntsDataset(rois.get(), "low_channel", low) && writeIntsDataset(rois.get(), "high_channel", high);
  }
  return ok;
}

bool writeAnalyser(hid_t entry, const MapFileSetup& s) {
  H5Id instrument = makeNxGroup(entry, "instrument", "NXinstrument");
  H5Id analyser = instrument.valid() ? makeNxGroup(instrument.get(), "analyser", "NXcollection") : H5Id();
  const hid_t a = analyser.get();
  return analyser.valid() && writeStringDataset(a, "serial", s.serial) &&
         writeIntDataset(a, "memory_size", s.memorySize) &&
         writeDoubleDataset(a, "dwell_time", s.dwellTenths * 0.1, "s") &&
         writeIntDataset(a, "preset_time_tenths", s.dwellTenths) &&
         writeIntDataset(a, "refresh_interval_ms", s.refreshMs) &&
         writeDoubleDataset(a, "dead_time_per_event", s.deadTimePerEventUs, "us") &&
         writeStringDataset(a, "comment", s.comment) && writeStringDataset(a, "sample_id", s.sampleId);
}

}  // namespace

bool mapSetupValid(const MapFileSetup& s, std::string& reason) {
  if (s.width < 1 || s.width > kMaxMapSide || s.height < 1 || s.height > kMaxMapSide) {
    reason = "the map must be 1 to 4096 pixels each way, not " + std::to_string(s.width) + "x" +
             std::to_string(s.height);
    return false;
  }
  if (s.channels < 2 || s.channels > 8192) {
    reason = "a map's spectra have 2 to 8192 channels, not " + std::to_string(s.channels);
    return false;
  }
  if (!std::isfinite(s.gainKev) || !std::isfinite(s.offsetKev) || s.gainKev <= 0) {
    reason = "the energy scale must rise with the channel";
    return false;
  }
  if (s.rois.size() > 8) {
    reason = "at most 8 ROIs become maps";
    return false;
  }
  return true;
}

struct MapFileWriter::Handles {
  H5Id file, counts, liveTime, realTime, recorded, passStart, passes, meanLiveTime;
  H5Id timeType;
};

MapFileWriter::MapFileWriter(MapFileSetup setup, std::unique_ptr<Handles> handles)
    : setup_(std::move(setup)), h_(std::move(handles)) {}

MapFileWriter::~MapFileWriter() {
  if (h_ && h_->file.valid()) H5Fflush(h_->file.get(), H5F_SCOPE_LOCAL);
}

std::unique_ptr<MapFileWriter> MapFileWriter::create(const std::string& path, const MapFileSetup& s,
                                                     std::string& error) {
  if (!mapSetupValid(s, error)) return nullptr;
  silenceHdf5Errors();
  std::error_code exists;
  if (std::filesystem::exists(std::filesystem::symlink_status(path, exists))) {
    error = path + " exists: a map file is never replaced";
    return nullptr;
  }
  auto h = std::make_unique<Handles>();
  // The oldest file format HDF5 writes: its superblock has no "open for
  // writing" flag, so a file left by a killed scan opens as it stands.
  h->file = H5Id(H5Fcreate(path.c_str(), H5F_ACC_EXCL, H5P_DEFAULT, H5P_DEFAULT), H5Fclose);
  if (!h->file.valid()) {
    error = "cannot create " + path;
    return nullptr;
  }
  const auto fail = [&](const char* what) {
    error = std::string("cannot lay out ") + what + " in " + path;
    h.reset();
    std::filesystem::remove(path, exists);
    return nullptr;
  };
  const hid_t root = h->file.get();
  if (!writeStringAttribute(root, "default", "entry") || !writeStringAttribute(root, "file_writer", "hyperspy_nexus_v3") ||
      !writeStringAttribute(root, "file_format", "nexus") || !writeStringAttribute(root, "NX_class", "NXroot"))
    return fail("the root");

  H5Id entry = makeNxGroup(root, "entry", "NXentry");
  if (!entry.valid() || !writeStringAttribute(entry.get(), "default", "data") ||
      !writeStringDataset(entry.get(), "start_time", s.startTime) ||
      !writeStringDataset(entry.get(), "program_name", "tolvane"))
    return fail("the entry");

  H5Id data = makeNxGroup(entry.get(), "data", "NXdata");
  if (!data.valid() || !writeStringAttribute(data.get(), "signal", "counts") ||
      !writeStringArrayAttribute(data.get(), "axes", {"y", "x", "energy"}) ||
      !writeStringAttribute(data.get(), "interpretation", "spectrum") ||
      !writeIntAttribute(data.get(), "y_indices", 0) || !writeIntAttribute(data.get(), "x_indices", 1) ||
      !writeIntAttribute(data.get(), "energy_indices", 2))
    return fail("the data group");
  h->counts = makeCountsDataset(data.get(), s);
  const double gain = s.calibrated ? s.gainKev : 1.0;
  const double offset = s.calibrated ? s.offsetKev : 0.0;
  if (!h->counts.valid() || !writeAxis(data.get(), "energy", s.channels, offset, gain, s.calibrated ? "keV" : "channel") ||
      !writeAxis(data.get(), "x", s.width, 0.0, 1.0, "") || !writeAxis(data.get(), "y", s.height, 0.0, 1.0, "") ||
      !writeDoublesDataset(data.get(), "calibration", {offset, gain, 0.0}))
    return fail("the counts and axes");
  h->liveTime = makePixelDataset(data.get(), "live_time", H5T_IEEE_F64LE, s);
  if (!h->liveTime.valid() || !writeStringAttribute(h->liveTime.get(), "units", "s"))
    return fail("the live times");

  H5Id scan = makeNxGroup(entry.get(), "scan", "NXcollection");
  h->timeType = H5Id(H5Tcopy(H5T_C_S1), H5Tclose);
  H5Tset_size(h->timeType.get(), kTimeTextLength);
  H5Tset_strpad(h->timeType.get(), H5T_STR_NULLPAD);
  if (!scan.valid() || !writeIntDataset(scan.get(), "width", s.width) ||
      !writeIntDataset(scan.get(), "height", s.height) || !writeIntDataset(scan.get(), "passes", 0))
    return fail("the scan group");
  h->realTime = makePixelDataset(scan.get(), "real_time", H5T_IEEE_F64LE, s);
  h->recorded = makePixelDataset(scan.get(), "recorded", H5T_STD_U8LE, s);
  h->passStart = makePixelDataset(scan.get(), "pass_start_time", h->timeType.get(), s);
  h->passes = openDataset(scan.get(), "passes");
  if (!h->realTime.valid() || !writeStringAttribute(h->realTime.get(), "units", "s") || !h->recorded.valid() ||
      !h->passStart.valid() || !h->passes.valid())
    return fail("the scan's times");

  if (!writeRois(entry.get(), s)) return fail("the ROIs");
  if (!writeAnalyser(entry.get(), s)) return fail("the analyser setup");

  H5Id auxiliary = makeNxGroup(entry.get(), "auxiliary", "NXentry");
  H5Id metadata = auxiliary.valid() ? makeNxGroup(auxiliary.get(), "hyperspy_metadata", "NXcollection") : H5Id();
  H5Id signal = metadata.valid() ? H5Id(H5Gcreate2(metadata.get(), "Signal", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
                                        H5Gclose)
                                 : H5Id();
  H5Id eds = metadata.valid() ? H5Id(H5Gcreate2(metadata.get(), "Acquisition_instrument/SEM/Detector/EDS", [] {
                                       const hid_t p = H5Pcreate(H5P_LINK_CREATE);
                                       H5Pset_create_intermediate_group(p, 1);
                                       return p;
                                     }(),
                                                H5P_DEFAULT, H5P_DEFAULT),
                                     H5Gclose)
                              : H5Id();
  // HyperSpy's metadata holds plain values: no attributes on these.
  if (!signal.valid() || !writeStringDataset(signal.get(), "signal_type", "EDS_SEM") || !eds.valid() ||
      !writeDoubleDataset(eds.get(), "live_time", 0.0))
    return fail("the metadata");
  h->meanLiveTime = openDataset(eds.get(), "live_time");
  if (!h->meanLiveTime.valid() || H5Fflush(root, H5F_SCOPE_LOCAL) < 0) return fail("the metadata");
  return std::unique_ptr<MapFileWriter>(new MapFileWriter(s, std::move(h)));
}

bool MapFileWriter::appendPass(const MapPass& pass, std::string& error) {
  const MapFileSetup& s = setup_;
  if (pass.index < 0 || pass.index >= s.pixels()) {
    error = "pass " + std::to_string(pass.index + 1) + " lies outside the " + std::to_string(s.width) + "x" +
            std::to_string(s.height) + " map";
    return false;
  }
  const auto x = static_cast<int32_t>(pass.index % s.width);
  const auto y = static_cast<int32_t>(pass.index / s.width);
  H5Id fileSpace(H5Dget_space(h_->counts.get()), H5Sclose);
  const hsize_t start[3] = {static_cast<hsize_t>(y), static_cast<hsize_t>(x), 0};
  const hsize_t count[3] = {1, 1, static_cast<hsize_t>(s.channels)};
  const hsize_t channels = static_cast<hsize_t>(s.channels);
  H5Id memSpace(H5Screate_simple(1, &channels, nullptr), H5Sclose);
  std::string startText = pass.startTime.substr(0, kTimeTextLength);
  startText.resize(kTimeTextLength, '\0');
  const uint8_t one = 1;
  // A pass written again (never in a scan) replaces its pixel.
  const bool again = recordedPixel(pass.index);
  const double newLiveSum = liveTimeSum_ - (again ? liveTimeAt_[static_cast<size_t>(pass.index)] : 0.0) + pass.liveTimeS;
  const int64_t newRecorded = recorded_ + (again ? 0 : 1);
  const int64_t passes = std::max(highestPass_, pass.index + 1);
  const double meanLive = newLiveSum / static_cast<double>(newRecorded);
  const bool written =
      H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, start, nullptr, count, nullptr) >= 0 &&
      H5Dwrite(h_->counts.get(), H5T_NATIVE_UINT32, memSpace.get(), fileSpace.get(), H5P_DEFAULT, pass.counts) >= 0 &&
      writePixel(h_->liveTime.get(), H5T_NATIVE_DOUBLE, x, y, &pass.liveTimeS) &&
      writePixel(h_->realTime.get(), H5T_NATIVE_DOUBLE, x, y, &pass.realTimeS) &&
      writePixel(h_->passStart.get(), h_->timeType.get(), x, y, startText.data()) &&
      writePixel(h_->recorded.get(), H5T_NATIVE_UINT8, x, y, &one) &&
      writeScalar(h_->passes.get(), H5T_NATIVE_INT64, &passes) &&
      writeScalar(h_->meanLiveTime.get(), H5T_NATIVE_DOUBLE, &meanLive) &&
      H5Fflush(h_->file.get(), H5F_SCOPE_LOCAL) >= 0;
  if (!written) {
    error = "cannot write pass " + std::to_string(pass.index + 1) + " to the map file (disk full?)";
    return false;
  }
  if (liveTimeAt_.empty()) liveTimeAt_.assign(static_cast<size_t>(s.pixels()), -1.0);
  liveTimeAt_[static_cast<size_t>(pass.index)] = pass.liveTimeS;
  liveTimeSum_ = newLiveSum;
  recorded_ = newRecorded;
  highestPass_ = passes;
  return true;
}

bool MapFileWriter::recordedPixel(int64_t index) const {
  return !liveTimeAt_.empty() && liveTimeAt_[static_cast<size_t>(index)] >= 0.0;
}

}  // namespace tolvane
