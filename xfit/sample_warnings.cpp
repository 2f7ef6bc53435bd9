#include "xfit/sample_warnings.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "analysis/calibration_unit.h"
#include "xfit/top_hat_filter.h"

namespace tolvane {

namespace {

struct Calibration {
  double gain, offset;  // as stored, in the unit the user calibrated in
  KevCalibration kev;   // the same in keV, its unit told from the spectrum's own channel count
};

// The calibration a header carries, as File > Read takes it.
std::optional<Calibration> calibrationOf(const SpectrumFileHeader& h, int32_t channels) {
  if (h.calibrationMarker() == 1.0f || h.gain() == 0.0f || !std::isfinite(h.gain()) || !std::isfinite(h.offset()))
    return std::nullopt;
  return Calibration{h.gain(), h.offset(), calibrationInKev(h.gain(), h.offset(), channels)};
}

// Two calibrations give the same energy scale when every channel the fit
// can use lands within a tenth of a channel of the same energy. The
// energies are compared in keV, so a sample calibrated in eV and standards
// calibrated in keV on the same scale agree.
bool sameScale(const Calibration& a, const Calibration& b) {
  const double tolerance = 0.1 * std::fabs(b.kev.gainKev);
  const double last = kFitChannels - 1;
  return std::fabs(a.kev.energyKev(0.0) - b.kev.energyKev(0.0)) <= tolerance &&
         std::fabs(a.kev.energyKev(last) - b.kev.energyKev(last)) <= tolerance;
}

std::string seconds(int32_t tenths) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", tenths / 10.0);
  return text;
}

std::string calibrationText(const Calibration& c) {
  char text[64];
  std::snprintf(text, sizeof text, "%g per channel from %g", c.gain, c.offset);
  return text;
}

// "standards No.1 (Ti), No.2 (Cr)" or "standard No.3 (Fe)".
std::string standardsText(const std::vector<const StandardInUse*>& list) {
  std::string text = list.size() > 1 ? "standards " : "standard ";
  for (size_t i = 0; i < list.size(); ++i)
    text += (i ? ", " : "") + ("No." + std::to_string(list[i]->index + 1)) + " (" + list[i]->element + ")";
  return text;
}

// The standards grouped by a value they carry, in the order first seen,
// as "standards No.1 (Ti), No.2 (Cr) 2048" pieces joined by "; ".
template <typename Key>
std::string groupedText(const std::vector<std::pair<Key, const StandardInUse*>>& items,
                        std::string (*valueText)(const Key&)) {
  std::vector<Key> order;
  std::map<Key, std::vector<const StandardInUse*>> groups;
  for (const auto& [key, standard] : items) {
    if (!groups.count(key)) order.push_back(key);
    groups[key].push_back(standard);
  }
  std::string text;
  for (size_t i = 0; i < order.size(); ++i)
    text += (i ? "; " : "") + standardsText(groups[order[i]]) + " " + valueText(order[i]);
  return text;
}

std::string channelsText(const int32_t& channels) { return std::to_string(channels) + " channels"; }
std::string secondsText(const int32_t& tenths) { return seconds(tenths); }

}  // namespace

std::vector<SampleWarning> sampleWarnings(const SpectrumFileHeader& sample, int32_t sampleChannels,
                                          const std::vector<StandardInUse>& standards) {
  std::vector<SampleWarning> warnings;
  const auto sampleCalibration = calibrationOf(sample, sampleChannels);
  std::vector<const StandardInUse*> otherScale;
  std::vector<std::pair<int32_t, const StandardInUse*>> otherChannels, otherLive;
  for (const StandardInUse& s : standards) {
    if (!s.read.ok()) continue;  // nothing known to compare
    const auto standardCalibration = calibrationOf(s.read.header, s.read.channels);
    if (sampleCalibration && standardCalibration) {
      if (!sameScale(*sampleCalibration, *standardCalibration)) otherScale.push_back(&s);
    } else if (s.read.channels != sampleChannels) {
      otherChannels.emplace_back(s.read.channels, &s);
    }
    if (s.read.header.liveTime() != sample.liveTime()) otherLive.emplace_back(s.read.header.liveTime(), &s);
  }
  if (!otherScale.empty())
    warnings.push_back({SampleWarningCause::CalibrationsDiffer,
                        "the sample's energy calibration (" + calibrationText(*sampleCalibration) + ") differs from " +
                            standardsText(otherScale) + ": the fit windows do not mean the same energies"});
  if (!otherChannels.empty())
    warnings.push_back({SampleWarningCause::ChannelsDiffer,
                        "the sample has " + std::to_string(sampleChannels) + " channels, " +
                            groupedText(otherChannels, channelsText) +
                            ", and no calibrations show the same energy scale: the fit windows may not mean the "
                            "same energies"});
  if (!otherLive.empty())
    warnings.push_back(
        {SampleWarningCause::LiveTimesDiffer, "live times differ: sample " + seconds(sample.liveTime()) + ", " +
                                                  groupedText(otherLive, secondsText) +
                                                  "; the K-ratio is a count ratio, kratio_pct_lt is per live time"});
  return warnings;
}

const char* sampleWarningToken(SampleWarningCause cause) {
  switch (cause) {
    case SampleWarningCause::CalibrationsDiffer:
      return "calibration_differs";
    case SampleWarningCause::ChannelsDiffer:
      return "channels_differ";
    case SampleWarningCause::LiveTimesDiffer:
      return "live_time_differs";
  }
  return "";
}

const char* sampleWarningSummary(SampleWarningCause cause) {
  switch (cause) {
    case SampleWarningCause::CalibrationsDiffer:
      return "energy calibration differs from the standards': the fit windows do not mean the same energies";
    case SampleWarningCause::ChannelsDiffer:
      return "channel count differs from the standards' and no calibrations show the same energy scale: the fit "
             "windows may not mean the same energies";
    case SampleWarningCause::LiveTimesDiffer:
      return "live time differs from the standards': K-ratios are count ratios, kratio_pct_lt is per live time";
  }
  return "";
}

std::optional<double> liveTimeKratio(double kratioPct, int32_t sampleLiveTenths, int32_t standardLiveTenths) {
  if (sampleLiveTenths <= 0 || standardLiveTenths <= 0) return std::nullopt;
  return kratioPct * static_cast<double>(standardLiveTenths) / static_cast<double>(sampleLiveTenths);
}

}  // namespace tolvane
