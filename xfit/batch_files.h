#pragma once
// Batch fitting from spectrum files: each file is read with one read into a
// buffer made once per worker, its counts are used where they lie, and the
// files are fitted as the workers claim them, a group of lanes at a time,
// on every core.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "records/spectrum_file_header.h"
#include "xfit/batch_path.h"
#include "xfit/batch_plan.h"
#include "xfit/fit_quality.h"
#include "xfit/mlsq_fit.h"

namespace tolvane {

enum class [[nodiscard]] SpectrumReadOutcome {
  Read,
  CannotOpen,
  NotASpectrum,  // no whole block of counts, or the header's channel count disagrees with the blocks
};

// A reusable reader of spectrum files: the header and up to 16 blocks of
// 512 counts, as File > Read takes them.
class SpectrumFileSlot {
 public:
  SpectrumFileSlot();
  ~SpectrumFileSlot();
  SpectrumFileSlot(const SpectrumFileSlot&) = delete;
  SpectrumFileSlot& operator=(const SpectrumFileSlot&) = delete;
  SpectrumFileSlot(SpectrumFileSlot&& other) noexcept;
  SpectrumReadOutcome read(const std::string& path);
  const int32_t* counts() const { return words_.get() + kHeaderWords; }
  const uint8_t* headerBytes() const { return reinterpret_cast<const uint8_t*>(words_.get()); }
  int32_t channels() const { return channels_; }

 private:
  static constexpr int kHeaderWords = 1024 / 4;
  static constexpr int kMaxChannels = 16 * 512;
  // Opens a file, by its name in the folder last opened when it lies in the
  // same folder (the folder's path is then not looked up again).
  int open(const std::string& path);
  std::unique_ptr<int32_t[]> words_;
  int32_t channels_ = 0;
  std::string folder_;
  int folderFd_ = -1;
};

enum class BatchFileStatus { Fitted, CannotOpen, NotASpectrum, NotFitted };

struct [[nodiscard]] BatchFileResult {
  BatchFileStatus status = BatchFileStatus::NotFitted;
  BatchFit fit;
  // The file's header and channel count when it was read (live time and
  // calibration for the checks against the standards).
  SpectrumFileHeader header;
  int32_t channels = 0;
  // With BatchFileOptions::assessQuality: the fit's reduced chi-square and
  // flags (the residual curve itself is not kept).
  FitQuality quality;
};

struct BatchFileOptions {
  int workers = 0;  // 0: one per core
  BatchPath path = widestBatchPath();
  std::atomic<size_t>* done = nullptr;        // counts the files finished, if given
  const std::atomic<bool>* cancel = nullptr;  // stops the run at the next group when set
  bool assessQuality = false;                 // also assess each fit (a few microseconds each)
};

enum class [[nodiscard]] BatchRunOutcome { Completed, Cancelled };

// Fits every file of `paths` against the loaded standards into results
// (resized to match). Cancelled leaves some results unset.
BatchRunOutcome fitSpectrumFiles(const XfitWorkspace& loaded, const std::vector<std::string>& paths,
                                 std::vector<BatchFileResult>& results, const BatchFileOptions& options = {});

}  // namespace tolvane
