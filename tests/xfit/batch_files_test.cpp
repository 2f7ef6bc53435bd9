// The batch from spectrum files: the reusable file reader on good and
// broken files and across folders, the run over files on one worker and
// on several, and the fit quality it assesses against the single-spectrum
// assessment, bit for bit.
#include "xfit/batch_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "files/spectrum_file.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

struct Folder {
  Folder() {
    path = (fs::temp_directory_path() / ("tolvane-batch-files-" + std::to_string(::getpid()))).string();
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() { fs::remove_all(path); }
  std::string path;
};

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A spectrum file whose header says `headerChannels` and which holds
// `counts` after it.
void writeSpectrum(const std::string& path, const std::vector<int32_t>& counts, int headerChannels) {
  SpectrumFileHeader h;
  h.setChannelCount(static_cast<int16_t>(headerChannels));
  h.setLiveTime(1250);
  writeBytes(path, encodeSpectrumFile(h, counts.data(), static_cast<int>(counts.size())));
}

void writeSpectrum(const std::string& path, const std::vector<int32_t>& counts) {
  writeSpectrum(path, counts, static_cast<int>(counts.size()));
}

std::vector<int32_t> ramp(int channels, int32_t start) {
  std::vector<int32_t> c(static_cast<size_t>(channels));
  for (int i = 0; i < channels; ++i) c[static_cast<size_t>(i)] = start + i;
  return c;
}

std::vector<int32_t> slotCounts(const SpectrumFileSlot& slot) {
  return {slot.counts(), slot.counts() + slot.channels()};
}

TEST(SpectrumFileSlot, ReadsAWholeFileAndRefusesOnesThatDisagreeWithTheirHeader) {
  Folder folder;
  SpectrumFileSlot slot;
  const std::string good = folder.path + "/good.dat";
  writeSpectrum(good, ramp(2048, 7));
  ASSERT_EQ(slot.read(good), SpectrumReadOutcome::Read);
  EXPECT_EQ(slot.channels(), 2048);
  EXPECT_EQ(slotCounts(slot), ramp(2048, 7));
  SpectrumFileHeader header;
  std::memcpy(header.bytes().data(), slot.headerBytes(), SpectrumFileHeader::kSize);
  EXPECT_EQ(header.channelCount(), 2048);
  EXPECT_EQ(header.liveTime(), 1250);

  // Cut short: the header promises 2048 channels, the file holds 1024.
  const std::string shortFile = folder.path + "/short.dat";
  SpectrumFileHeader promises2048;
  promises2048.setChannelCount(2048);
  auto bytes = encodeSpectrumFile(promises2048, ramp(2048, 1).data(), 2048);
  bytes.resize(SpectrumFileHeader::kSize + 4 * 1024);
  writeBytes(shortFile, bytes);
  EXPECT_EQ(slot.read(shortFile), SpectrumReadOutcome::NotASpectrum);
  EXPECT_EQ(slot.channels(), 0);
  // Cut inside a block: 2048 promised, 2047 and a half there.
  bytes.resize(SpectrumFileHeader::kSize + 4 * 2047 + 2);
  writeBytes(shortFile, bytes);
  EXPECT_EQ(slot.read(shortFile), SpectrumReadOutcome::NotASpectrum);

  // The header says 1024 channels, the file holds 2048; and the reverse
  // with a header saying more than the largest spectrum.
  const std::string disagrees = folder.path + "/disagrees.dat";
  writeSpectrum(disagrees, ramp(2048, 1), 1024);
  EXPECT_EQ(slot.read(disagrees), SpectrumReadOutcome::NotASpectrum);
  writeSpectrum(disagrees, ramp(8192 + 512, 1), 8192 + 512);
  EXPECT_EQ(slot.read(disagrees), SpectrumReadOutcome::NotASpectrum);
  writeSpectrum(disagrees, ramp(512, 1), -512);
  EXPECT_EQ(slot.read(disagrees), SpectrumReadOutcome::NotASpectrum);

  // A header alone, a file shorter than a header, an empty file.
  writeSpectrum(disagrees, {}, 0);
  EXPECT_EQ(slot.read(disagrees), SpectrumReadOutcome::NotASpectrum);
  writeBytes(disagrees, std::vector<uint8_t>(100, 0));
  EXPECT_EQ(slot.read(disagrees), SpectrumReadOutcome::NotASpectrum);
  writeBytes(disagrees, {});
  EXPECT_EQ(slot.read(disagrees), SpectrumReadOutcome::NotASpectrum);

  // Missing files, a missing folder, a folder in place of a file.
  EXPECT_EQ(slot.read(folder.path + "/missing.dat"), SpectrumReadOutcome::CannotOpen);
  EXPECT_EQ(slot.read(folder.path + "/no-such-folder/good.dat"), SpectrumReadOutcome::CannotOpen);
  EXPECT_EQ(slot.read(""), SpectrumReadOutcome::CannotOpen);
  EXPECT_EQ(slot.read(folder.path), SpectrumReadOutcome::CannotOpen);  // a folder is no file to open

  // The largest spectrum, and the good file again after all that.
  const std::string largest = folder.path + "/largest.dat";
  writeSpectrum(largest, ramp(8192, -3));
  ASSERT_EQ(slot.read(largest), SpectrumReadOutcome::Read);
  EXPECT_EQ(slotCounts(slot), ramp(8192, -3));
  ASSERT_EQ(slot.read(good), SpectrumReadOutcome::Read);
  EXPECT_EQ(slotCounts(slot), ramp(2048, 7));
}

TEST(SpectrumFileSlot, FilesOfTheSameNameInDifferentFoldersAreEachReadFromTheirOwn) {
  Folder folder;
  const std::string a = folder.path + "/a", b = folder.path + "/b", nested = folder.path + "/a/a";
  fs::create_directories(nested);
  fs::create_directories(b);
  writeSpectrum(a + "/s.dat", ramp(512, 100));
  writeSpectrum(b + "/s.dat", ramp(1024, 200));
  writeSpectrum(nested + "/s.dat", ramp(512, 300));
  writeSpectrum(b + "/t.dat", ramp(512, 400));
  SpectrumFileSlot slot;
  const std::pair<std::string, std::vector<int32_t>> order[] = {
      {a + "/s.dat", ramp(512, 100)},      {b + "/s.dat", ramp(1024, 200)}, {b + "/t.dat", ramp(512, 400)},
      {nested + "/s.dat", ramp(512, 300)}, {a + "/s.dat", ramp(512, 100)},  {b + "//s.dat", ramp(1024, 200)},
      {a + "/s.dat", ramp(512, 100)},
  };
  for (const auto& [path, counts] : order) {
    ASSERT_EQ(slot.read(path), SpectrumReadOutcome::Read) << path;
    EXPECT_EQ(slotCounts(slot), counts) << path;
  }
  // A missing file in the folder last read, then a folder that went away.
  EXPECT_EQ(slot.read(b + "/gone.dat"), SpectrumReadOutcome::CannotOpen);
  EXPECT_EQ(slot.read(folder.path + "/c/s.dat"), SpectrumReadOutcome::CannotOpen);
  ASSERT_EQ(slot.read(b + "/s.dat"), SpectrumReadOutcome::Read);
  EXPECT_EQ(slotCounts(slot), ramp(1024, 200));

  // A slot moved to another keeps reading the folder it had open.
  SpectrumFileSlot moved(std::move(slot));
  ASSERT_EQ(moved.read(b + "/t.dat"), SpectrumReadOutcome::Read);
  EXPECT_EQ(slotCounts(moved), ramp(512, 400));
}

// Standards with fit windows, two of them overlapping, loaded in memory as
// "Load Std" loads them (their raw counts kept for their noise).
constexpr int kChannels = 1024;

double peak(int c, double centre, double height) { return height * std::exp(-0.5 * std::pow((c - centre) / 6.0, 2)); }

struct Standards {
  Standards() {
    std::mt19937_64 random(17);
    fit.FitCount = 3;
    fit.StdChannels = kChannels;
    for (int k = 0; k < 3; ++k) {
      StandardRecord& r = fit.SelectedCopy[static_cast<size_t>(k)];
      r.setInUse(1);
      r.setElemName("E" + std::to_string(k));
      r.setFitLowCh(windows[k].first);
      r.setFitHighCh(windows[k].second);
      fit.SelectedIndex[static_cast<size_t>(k)] = k;
      for (int c = 0; c < kChannels; ++c)
        fit.stdCounts(k)[c] = std::poisson_distribution<int32_t>(15 + peak(c, centres[k], 3000))(random);
      TopHatFilter(fit.stdCounts(k), fit.filteredStd(k), kChannels, fit.Widths);
    }
  }
  // A sample of the three at the given K-ratios, with an extra line where
  // `extra` is set (a line no standard carries).
  std::vector<int32_t> sample(uint64_t seed, const std::array<double, 3>& ratios, double extra = 0) const {
    std::mt19937_64 random(seed);
    std::vector<int32_t> counts(kChannels);
    for (int c = 0; c < kChannels; ++c) {
      double mean = 40 + peak(c, 522, extra);
      for (int k = 0; k < 3; ++k) mean += peak(c, centres[k], 3000 * ratios[static_cast<size_t>(k)]);
      counts[static_cast<size_t>(c)] = std::poisson_distribution<int32_t>(std::max(mean, 0.0))(random);
    }
    return counts;
  }
  const std::pair<int32_t, int32_t> windows[3] = {{265, 335}, {315, 385}, {465, 535}};
  const double centres[3] = {300, 350, 500};
  XfitWorkspace fit;
};

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool sameFlags(const FitQuality& a, const FitQuality& b) {
  if (a.flags.size() != b.flags.size()) return false;
  for (size_t i = 0; i < a.flags.size(); ++i)
    if (a.flags[i].kind != b.flags[i].kind || a.flags[i].index != b.flags[i].index ||
        a.flags[i].standard != b.flags[i].standard || a.flags[i].otherIndex != b.flags[i].otherIndex ||
        a.flags[i].otherStandard != b.flags[i].otherStandard || a.flags[i].firstChannel != b.flags[i].firstChannel ||
        a.flags[i].lastChannel != b.flags[i].lastChannel)
      return false;
  return true;
}

bool sameQuality(const FitQuality& a, const FitQuality& b) {
  return a.valid == b.valid && sameBits(a.chi2, b.chi2) && sameBits(a.chi2Reduced, b.chi2Reduced) &&
         sameBits(a.chi2ReducedAfterSpill, b.chi2ReducedAfterSpill) && sameBits(a.dof, b.dof) && sameFlags(a, b) &&
         a.notDetected == b.notDetected;
}

bool sameResult(const BatchFileResult& a, const BatchFileResult& b) {
  bool same = a.status == b.status && a.fit.fitted == b.fit.fitted && a.channels == b.channels &&
              a.header.bytes() == b.header.bytes() && sameQuality(a.quality, b.quality);
  for (size_t k = 0; k < kMaxStandards; ++k)
    same = same && sameBits(a.fit.coefficients[k], b.fit.coefficients[k]) && sameBits(a.fit.errors[k], b.fit.errors[k]);
  return same;
}

// A raster's worth of files: good samples (some with a line the standards
// lack, some without the middle element), with broken files among them.
struct Raster {
  explicit Raster(const Standards& standards) {
    for (int i = 0; i < 23; ++i) {
      const std::string path = folder.path + "/p" + std::to_string(i) + ".dat";
      paths.push_back(path);
      const std::array<double, 3> ratios = {0.3 + 0.05 * i, i % 4 == 1 ? 0.0 : 0.8, 0.5};
      samples.push_back(standards.sample(static_cast<uint64_t>(i) + 1, ratios, i % 5 == 2 ? 2500 : 0));
      if (i == 6) {
        writeSpectrum(path, samples.back(), 2048);  // shorter than its header promises
      } else if (i == 11) {
        continue;  // missing
      } else if (i == 15) {
        writeSpectrum(path, {}, 0);  // a header and no counts
      } else {
        writeSpectrum(path, samples.back());
      }
    }
  }
  Folder folder;
  std::vector<std::string> paths;
  std::vector<std::vector<int32_t>> samples;
};

TEST(BatchFiles, QualityOfEveryFileEqualsTheSingleSpectrumAssessmentBitForBit) {
  const Standards standards;
  const Raster run(standards);
  std::vector<BatchFileResult> results;
  BatchFileOptions options;
  options.workers = 1;
  options.assessQuality = true;
  ASSERT_EQ(fitSpectrumFiles(standards.fit, run.paths, results, options), BatchRunOutcome::Completed);
  ASSERT_EQ(results.size(), run.paths.size());
  int fitted = 0, flagged = 0;
  for (size_t i = 0; i < results.size(); ++i) {
    if (results[i].status != BatchFileStatus::Fitted) continue;
    ++fitted;
    const FitQuality single =
        assessFit(standards.fit, results[i].fit.coefficients, results[i].fit.errors, run.samples[i].data(), kChannels);
    ASSERT_TRUE(single.valid) << i;
    EXPECT_TRUE(sameQuality(results[i].quality, single))
        << "file " << i << ": " << results[i].quality.chi2Reduced << " against " << single.chi2Reduced;
    EXPECT_TRUE(results[i].quality.residual.empty());  // the batch keeps the figures only
    flagged += single.flags.empty() ? 0 : 1;
  }
  EXPECT_EQ(fitted, 20);
  EXPECT_GE(flagged, 4);  // the samples with a line the standards lack
}

TEST(BatchFiles, BrokenFilesAreMarkedAndTheRestFitted) {
  const Standards standards;
  const Raster run(standards);
  std::vector<BatchFileResult> results;
  std::atomic<size_t> done{0};
  BatchFileOptions options;
  options.workers = 1;
  options.done = &done;
  ASSERT_EQ(fitSpectrumFiles(standards.fit, run.paths, results, options), BatchRunOutcome::Completed);
  EXPECT_EQ(done.load(), run.paths.size());
  EXPECT_EQ(results[6].status, BatchFileStatus::NotASpectrum);
  EXPECT_EQ(results[11].status, BatchFileStatus::CannotOpen);
  EXPECT_EQ(results[15].status, BatchFileStatus::NotASpectrum);
  for (size_t i : {size_t{6}, size_t{11}, size_t{15}}) EXPECT_EQ(results[i].channels, 0) << i;
  for (size_t i = 0; i < results.size(); ++i) {
    if (i == 6 || i == 11 || i == 15) continue;
    ASSERT_EQ(results[i].status, BatchFileStatus::Fitted) << i;
    EXPECT_EQ(results[i].channels, kChannels);
    EXPECT_EQ(results[i].header.liveTime(), 1250);
    if (i % 5 != 2) {
      EXPECT_NEAR(results[i].fit.coefficients[2], 0.5, 0.05) << i;
    }
    EXPECT_FALSE(results[i].quality.valid);  // not asked for
  }
}

TEST(BatchFiles, SeveralWorkersGiveTheResultsOfOne) {
  const Standards standards;
  const Raster run(standards);
  // Longer than one group per worker, so the workers interleave.
  std::vector<std::string> paths;
  for (int r = 0; r < 4; ++r) paths.insert(paths.end(), run.paths.begin(), run.paths.end());
  BatchFileOptions options;
  options.assessQuality = true;
  std::vector<std::vector<BatchFileResult>> byWorkers;
  for (int workers : {1, 2, 3}) {
    options.workers = workers;
    for (BatchPath path : kBatchPaths) {
      if (!batchPathRuns(path)) continue;
      options.path = path;
      byWorkers.emplace_back();
      ASSERT_EQ(fitSpectrumFiles(standards.fit, paths, byWorkers.back(), options), BatchRunOutcome::Completed);
    }
  }
  for (size_t run2 = 1; run2 < byWorkers.size(); ++run2)
    for (size_t i = 0; i < paths.size(); ++i)
      EXPECT_TRUE(sameResult(byWorkers[0][i], byWorkers[run2][i])) << "run " << run2 << " file " << i;
}

TEST(BatchFiles, ACancelledRunSaysSo) {
  const Standards standards;
  const Raster run(standards);
  std::vector<BatchFileResult> results;
  std::atomic<bool> cancel{true};
  BatchFileOptions options;
  options.workers = 2;
  options.cancel = &cancel;
  EXPECT_EQ(fitSpectrumFiles(standards.fit, run.paths, results, options), BatchRunOutcome::Cancelled);
  EXPECT_EQ(results.size(), run.paths.size());
}

}  // namespace
}  // namespace tolvane
