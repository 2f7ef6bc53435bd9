#include "lines/snip_width.h"

#include <algorithm>

#include "analysis/snip_background.h"

namespace tolvane {

int snipWidthFromResolution(const DetectorResolution& resolution, double gainKev, double offsetKev, int32_t channels) {
  const double middleKev = std::max(offsetKev + gainKev * 0.5 * std::max(channels - 1, 0), 0.0);
  return snipWidthForFwhm(resolution.fwhmKev(middleKev), gainKev);
}

}  // namespace tolvane
