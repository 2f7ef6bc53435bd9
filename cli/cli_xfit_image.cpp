#include "cli/cli_xfit_image.h"

#include <algorithm>
#include <cstdio>

#include "cli/cli_common.h"
#include "cli/cli_xfit_map.h"
#include "cli/file_session.h"
#include "cli/xfit_checks.h"
#include "files/map_file_reader.h"
#include "xfit/standards_load.h"
#include "xfit/xfit_batch.h"

namespace tolvane::cli {

int runBatchImage(const std::string& table, const std::string& image, const std::string& folder) {
  const StandardsCheck check = checkStandards(table);
  if (const auto stop = refuseStandards(table, check)) return *stop;
  FileSession f;
  TDmVQRN& module = f.session.DataModule;
  if (const StandardsLoad load = LoadStandardTable(module, table); !load.loaded())
    return fail(code::kRefused, "cannot load the standards of " + table + ": " + standardsLoadProblem(load));
  std::string error;
  auto reader = MapFileReader::open(image, error);
  if (!reader) return fail(code::kRefused, error);

  const int32_t width = reader->width(), channels = reader->channels();
  const int32_t n = std::min(channels, kFitChannels);
  XfitBatch batch(module.Fit);
  std::vector<BatchFileResult> results(static_cast<size_t>(reader->setup().pixels()));
  std::vector<uint32_t> row(static_cast<size_t>(width) * static_cast<size_t>(channels));
  std::vector<const int32_t*> group;
  std::vector<size_t> groupPixels;
  std::vector<int32_t> sizes(static_cast<size_t>(batch.lanes()), n);
  std::vector<BatchFit> fits(static_cast<size_t>(batch.lanes()));
  int64_t fitted = 0;
  const auto flush = [&] {
    if (group.empty()) return;
    batch.fitGroup(group.data(), sizes.data(), static_cast<int>(group.size()), fits.data());
    for (size_t k = 0; k < group.size(); ++k) {
      BatchFileResult& r = results[groupPixels[k]];
      r.fit = fits[k];
      r.channels = channels;
      r.status = fits[k].fitted ? BatchFileStatus::Fitted : BatchFileStatus::NotFitted;
      fitted += fits[k].fitted ? 1 : 0;
    }
    group.clear();
    groupPixels.clear();
  };
  for (int32_t y = 0; y < reader->height(); ++y) {
    if (!reader->readBlock(0, y, width, 1, row.data(), error)) return fail(code::kRefused, image + ": " + error);
    for (int32_t x = 0; x < width; ++x) {
      const size_t pixel = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
      // A pixel the scan never reached is no spectrum: not fitted.
      results[pixel].status = BatchFileStatus::CannotOpen;
      if (!reader->recorded()[pixel]) continue;
      group.push_back(reinterpret_cast<const int32_t*>(row.data() + static_cast<size_t>(x) * channels));
      groupPixels.push_back(pixel);
      if (static_cast<int>(group.size()) == batch.lanes()) flush();
    }
    flush();  // the row buffer is reused for the next row
  }
  if (const int written = writeKratioMaps({{width, reader->height()}, folder}, module.Fit, results)) return written;
  std::printf("%lld of %lld pixels fitted\n", static_cast<long long>(fitted),
              static_cast<long long>(reader->setup().pixels()));
  return kExitOk;
}

}  // namespace tolvane::cli
