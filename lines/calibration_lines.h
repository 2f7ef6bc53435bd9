#pragma once
// A calibration from known lines: each named line ("Mn Ka", "Zr La",
// "Cu Kb1") is looked for among the peaks the peak search fits near the
// channel a starting calibration expects it at; the fitted centroids and
// the lines' energies make the points of a least-squares calibration.
//
// A line group ("Ka") stands for the lines of the group that merge into
// one peak: those within half the detector's FWHM of the group's strongest
// line, at their intensity-weighted mean energy. A single line ("Ka1") is
// taken as it is.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/calibration_fit.h"
#include "lines/detector_resolution.h"
#include "lines/peak_search.h"
#include "records/shared_records.h"

namespace tolvane {

struct KnownLine {
  std::string label;  // "Mn Kα"
  int z = 0;
  double energyKev = 0.0;
};

struct KnownLineList {
  std::vector<KnownLine> lines;
  std::string error;  // the first item that names no line, and why; empty when all do
};

// "Mn Ka, Cu Ka; Zr La" (items separated by commas or semicolons, each an
// element and a line or group; Greek or Latin letters, any case).
KnownLineList parseKnownLines(const std::string& text, const DetectorResolution& resolution = DetectorResolution());

struct LineCentroid {
  KnownLine line;
  bool found = false;
  double channel = 0.0;  // the fitted centroid
  double net = 0.0;      // the peak's net counts
};

struct LinesCalibration {
  enum class Outcome { Fitted, NoStartingCalibration, EmptySpectrum, TooFewFound } outcome = Outcome::Fitted;
  std::vector<LineCentroid> centroids;  // in the order asked
  CalibrationFit fit;                   // keV; through the lines found
};

// The search window around a line's expected energy on the first pass: a
// starting calibration a few percent off still finds its line.
inline constexpr double kFirstPassWindowKev = 0.25;

// Finds the lines and fits the calibration (in keV). The first pass takes
// the largest peak within kFirstPassWindowKev (or two FWHM, if wider) of
// where `start` expects each line; the second pass, on the calibration
// that gives, the nearest peak within one FWHM.
LinesCalibration calibrateFromLines(const int32_t* counts, int32_t size, const EnergyScale& start,
                                    const std::vector<KnownLine>& lines, bool quadratic,
                                    const DetectorResolution& resolution = DetectorResolution());

const char* linesCalibrationOutcomeText(LinesCalibration::Outcome outcome);

// What the window keeps of the calibration from lines: the list as typed,
// the quadratic box, the last result for its table, and the calibrations
// in force before each one applied, for Undo (latest last).
struct LinesCalibrationSetup {
  std::string LineList = "Mn Ka, Cu Ka";
  bool Quadratic = false;
  std::optional<LinesCalibration> Last;
  std::vector<EnergyCalibration> Undo;
};

}  // namespace tolvane
