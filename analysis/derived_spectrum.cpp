#include "analysis/derived_spectrum.h"

#include <cmath>

namespace tolvane {

namespace {
constexpr size_t kCommentRoom = SpectrumFileHeader::kTextFieldSize - 1;
bool calibrated(const SpectrumFileHeader& h) { return h.calibrationMarker() != 1.0f; }
}  // namespace

bool calibrationsAgree(const SpectrumFileHeader& a, const SpectrumFileHeader& b) {
  if (calibrated(a) != calibrated(b)) return false;
  if (!calibrated(a)) return true;
  const double gain = std::fabs(static_cast<double>(a.gain()));
  return std::fabs(static_cast<double>(a.gain()) - b.gain()) <= 1e-6 * gain &&
         std::fabs(static_cast<double>(a.offset()) - b.offset()) <= 1e-3 * gain;
}

std::string describeRefusal(const DerivedSpectrum& d, const std::vector<SpectrumPart>& parts) {
  const auto name = [&](size_t i) { return i < parts.size() ? parts[i].name : std::string("?"); };
  const size_t i = static_cast<size_t>(d.part);
  switch (d.refusal) {
    case DerivedSpectrum::Refusal::None:
      return "";
    case DerivedSpectrum::Refusal::NoSpectra:
      return "no spectrum given";
    case DerivedSpectrum::Refusal::ChannelsDiffer:
      return name(i) + " has " + std::to_string(i < parts.size() ? parts[i].counts.size() : 0) + " channels, " +
             name(0) + " " + std::to_string(parts.empty() ? 0 : parts[0].counts.size());
    case DerivedSpectrum::Refusal::CalibrationsDiffer:
      return name(i) + " has another energy calibration than " + name(0) +
             ": their channels hold different energies";
    case DerivedSpectrum::Refusal::CountOverflow:
      return "a channel's sum exceeds the 2147483647 counts a channel holds (at " + name(i) + ")";
    case DerivedSpectrum::Refusal::TimeOverflow:
      return "the summed times exceed what the header holds (at " + name(i) + ")";
    case DerivedSpectrum::Refusal::NoLiveTime:
      return name(i) + " has no live time: the background cannot be scaled to the sample's";
  }
  return "";
}

std::string commentFitting(const std::string& full, const std::string& brief) {
  if (full.size() <= kCommentRoom) return full;
  return brief.substr(0, kCommentRoom);
}

}  // namespace tolvane
