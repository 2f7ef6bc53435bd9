#pragma once
// The line tools on the session's spectrum: whether its calibration can
// place lines, the peaks with the elements they point to, and the lines at
// one energy. Results are outcomes; lines_texts.h turns them into texts.
#include <optional>
#include <string>
#include <vector>

#include "lines/element_proposal.h"
#include "lines/line_candidates.h"
#include "lines/line_markers.h"
#include "lines/peak_search.h"

namespace tolvane {

class EngineState;

// What the line tools of the window keep: the "Lines" field, its on/off
// box, the excitation energy and the last measured peak width.
struct LinesSetup {
  std::string Elements;  // "Fe Mn Cu"
  bool Shown = false;
  double MaxKev = kDefaultMaxKev;
  // The last FWHM measured on a calibrated spectrum, with its energy.
  std::optional<double> MeasuredFwhmKev;
  double MeasuredAtKev = 0.0;
  DetectorResolution resolution() const {
    return MeasuredFwhmKev ? DetectorResolution(*MeasuredFwhmKev, MeasuredAtKev) : DetectorResolution();
  }
  // The last identification's full list (the tool tip) and peak search.
  std::string IdentifyDetails;
  struct SearchOutcome {
    std::optional<PeakSearchError> error;
    Identification identification;
  } LastPeaks;
  // The marked lines of `Elements`, kept while the field is unchanged.
  std::string CachedElements;
  double CachedMaxKev = 0.0;
  std::vector<MarkedLine> CachedLines;
};

enum class CalibrationError { NotCalibrated, NotIncreasing, NotFinite };

struct [[nodiscard]] CalibrationCheck {
  std::optional<CalibrationError> error;
  EnergyScale scale;  // keV; a calibration made in eV is converted
};
CalibrationCheck lineCalibration(const EngineState& state);

// The elements of a "Lines" field ("Fe Mn, Cu" or "26 25"); `unknown`
// receives the words that name no element.
std::vector<int> parseElementList(const std::string& text, std::vector<std::string>* unknown = nullptr);

using SpectrumLinesResult = LinesSetup::SearchOutcome;
// Peaks of the working spectrum (its first ChannelCount channels).
SpectrumLinesResult spectrumPeaks(const EngineState& state, const EnergyScale& scale, double maxKev,
                                  const PeakSearchOptions& options = {},
                                  const DetectorResolution& resolution = DetectorResolution(),
                                  const ProposalOptions& proposal = {});
// The energy of the working spectrum's last channel.
double spectrumTopKev(const EngineState& state, const EnergyScale& scale);

struct CursorIdentification {
  double energyKev = 0.0;
  double fwhmKev = 0.0;
  std::vector<LineCandidate> candidates;
};
// The lines within one FWHM of the energy, the lines of `present` elements
// first (nearest first); escape and sum peaks only of `present` elements.
CursorIdentification identifyAtEnergy(double energyKev, const DetectorResolution& resolution, double maxKev,
                                      const std::vector<int>& present);

// "5.90 keV: Mn Kα (5.899), Cr Kβ (5.947)…" with at most `most` lines.
std::string identifyText(const CursorIdentification& id, size_t most = 4);
// One line per candidate, for a tool tip.
std::string identifyDetails(const CursorIdentification& id);
const char* calibrationErrorText(CalibrationError error);

}  // namespace tolvane
