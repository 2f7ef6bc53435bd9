#include "xfit/batch_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

#include "files/spectrum_file.h"
#include "records/little_endian.h"
#include "records/spectrum_file_header.h"
#include "xfit/fit_quality_plan.h"
#include "xfit/xfit_batch.h"

namespace tolvane {

SpectrumFileSlot::SpectrumFileSlot() : words_(new int32_t[kHeaderWords + kMaxChannels]) {}

SpectrumFileSlot::~SpectrumFileSlot() {
  if (folderFd_ >= 0) ::close(folderFd_);
}

SpectrumFileSlot::SpectrumFileSlot(SpectrumFileSlot&& other) noexcept
    : words_(std::move(other.words_)),
      channels_(other.channels_),
      folder_(std::move(other.folder_)),
      folderFd_(std::exchange(other.folderFd_, -1)) {}

int SpectrumFileSlot::open(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash + 1 == path.size()) return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (folderFd_ < 0 || path.compare(0, slash + 1, folder_) != 0) {
    if (folderFd_ >= 0) ::close(folderFd_);
    folder_.assign(path, 0, slash + 1);
    folderFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ < 0) {
      folder_.clear();
      return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
  }
  return ::openat(folderFd_, path.c_str() + slash + 1, O_RDONLY | O_CLOEXEC);
}

SpectrumReadOutcome SpectrumFileSlot::read(const std::string& path) {
  channels_ = 0;
  const int fd = open(path);
  if (fd < 0) return SpectrumReadOutcome::CannotOpen;
  auto* bytes = reinterpret_cast<uint8_t*>(words_.get());
  const size_t capacity = 4 * static_cast<size_t>(kHeaderWords + kMaxChannels);
  size_t got = 0;
  // A regular file answers one read with all it has, up to the size asked.
  // Only an answer shorter than its header promises is read on, until the
  // end (a pipe, or a read cut short).
  for (;;) {
    const ssize_t r = ::read(fd, bytes + got, capacity - got);
    if (r < 0 && errno == EINTR) continue;
    // A folder opens but cannot be read: it is no file to open.
    if (r < 0 && errno == EISDIR) {
      ::close(fd);
      return SpectrumReadOutcome::CannotOpen;
    }
    if (r <= 0) break;
    got += static_cast<size_t>(r);
    if (got == capacity) break;
    if (got >= 4 * kHeaderWords) {
      const int16_t promised = loadI16(bytes + SpectrumFileHeader::kChannelCountOffset);
      if (got >= 4 * (static_cast<size_t>(kHeaderWords) + static_cast<size_t>(std::max<int16_t>(promised, 0)))) break;
    }
  }
  ::close(fd);
  if (got < 4 * static_cast<size_t>(kHeaderWords)) return SpectrumReadOutcome::NotASpectrum;
  // The file's rule, as File > Read applies it.
  const SpectrumBlocks verdict =
      judgeSpectrumBlocks(loadI16(bytes + SpectrumFileHeader::kChannelCountOffset),
                          static_cast<int64_t>((got - 4 * kHeaderWords) / (4 * kFileBlockChannels)), SpectrumReadRule::File);
  if (verdict.outcome != SpectrumFileRead::Outcome::Read) return SpectrumReadOutcome::NotASpectrum;
  const int32_t channels = verdict.channels;
  if constexpr (std::endian::native != std::endian::little) {
    int32_t* counts = words_.get() + kHeaderWords;
    for (int32_t c = 0; c < channels; ++c) counts[c] = loadI32(reinterpret_cast<const uint8_t*>(counts + c));
  }
  channels_ = channels;
  return SpectrumReadOutcome::Read;
}

namespace {

BatchFileStatus statusOf(SpectrumReadOutcome outcome) {
  return outcome == SpectrumReadOutcome::CannotOpen ? BatchFileStatus::CannotOpen : BatchFileStatus::NotASpectrum;
}

}  // namespace

BatchRunOutcome fitSpectrumFiles(const XfitWorkspace& loaded, const std::vector<std::string>& paths,
                                 std::vector<BatchFileResult>& results, const BatchFileOptions& options) {
  results.assign(paths.size(), BatchFileResult{});
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const auto workers = static_cast<unsigned>(options.workers > 0 ? options.workers : static_cast<int>(cores));
  const size_t lanes = static_cast<size_t>(batchLanes(options.path));
  std::atomic<size_t> next{0};
  std::atomic<bool> cancelled{false};

  // Each worker claims the next `lanes` files, reads them into its own
  // slots and fits those that were read as one group.
  const auto work = [&] {
    XfitBatch batch(loaded, options.path);
    // What the assessment needs from the standards, made once per worker.
    std::unique_ptr<FitQualityPlan> quality;
    if (options.assessQuality) quality = std::make_unique<FitQualityPlan>(loaded);
    std::vector<SpectrumFileSlot> slots(lanes);
    std::vector<const int32_t*> counts(lanes);
    std::vector<int32_t> channels(lanes);
    std::vector<size_t> index(lanes);
    std::vector<BatchFit> fits(lanes);
    for (;;) {
      if (options.cancel && options.cancel->load(std::memory_order_relaxed)) {
        cancelled = true;
        return;
      }
      const size_t first = next.fetch_add(lanes);
      if (first >= paths.size()) return;
      const size_t last = std::min(first + lanes, paths.size());
      int group = 0;
      for (size_t i = first; i < last; ++i) {
        SpectrumFileSlot& slot = slots[static_cast<size_t>(group)];
        const SpectrumReadOutcome outcome = slot.read(paths[i]);
        if (outcome != SpectrumReadOutcome::Read) {
          results[i].status = statusOf(outcome);
          continue;
        }
        std::memcpy(results[i].header.bytes().data(), slot.headerBytes(), SpectrumFileHeader::kSize);
        results[i].channels = slot.channels();
        counts[static_cast<size_t>(group)] = slot.counts();
        channels[static_cast<size_t>(group)] = slot.channels();
        index[static_cast<size_t>(group)] = i;
        ++group;
      }
      if (group > 0) batch.fitGroup(counts.data(), channels.data(), group, fits.data());
      for (int k = 0; k < group; ++k) {
        BatchFileResult& result = results[index[static_cast<size_t>(k)]];
        result.fit = fits[static_cast<size_t>(k)];
        result.status = result.fit.fitted ? BatchFileStatus::Fitted : BatchFileStatus::NotFitted;
        // Many thousands of files: keep the figures, not the curve.
        if (quality && result.fit.fitted)
          result.quality = quality->assess(result.fit.coefficients, result.fit.errors, counts[static_cast<size_t>(k)],
                                           channels[static_cast<size_t>(k)], false);
      }
      if (options.done) options.done->fetch_add(last - first, std::memory_order_relaxed);
    }
  };
  if (workers == 1) {
    work();
  } else {
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w) threads.emplace_back(work);
    for (auto& t : threads) t.join();
  }
  return cancelled ? BatchRunOutcome::Cancelled : BatchRunOutcome::Completed;
}

}  // namespace tolvane
