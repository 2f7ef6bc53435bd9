#include "files/csv_export.h"

#include "files/number_text.h"

namespace tolvane {

std::string csvText(const ExportedSpectrum& e) {
  std::string out = "channel,energy_kev,counts\r\n";
  out.reserve(out.size() + 24 * e.counts.size());
  for (size_t i = 0; i < e.counts.size(); ++i) {
    const int c = static_cast<int>(i);
    out += std::to_string(c) + ",";
    if (e.calibrated()) out += fixedText(e.energyKev(c), 6);
    out += "," + std::to_string(e.counts[i]) + "\r\n";
  }
  return out;
}

}  // namespace tolvane
