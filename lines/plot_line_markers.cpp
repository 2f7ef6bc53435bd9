#include "lines/plot_line_markers.h"

#include "app/engine_state.h"
#include "display/plot_mapping.h"
#include "lines/pileup_peaks.h"
#include "lines/spectrum_lines.h"

#include <algorithm>

namespace tolvane {

namespace {

bool cacheCurrent(const LinesSetup& l) { return l.CachedElements == l.Elements && l.CachedMaxKev == l.MaxKev; }

// The sum and escape peaks of the last peak search's strongest peaks, at
// the spectrum's live time; as tall, relative to the strongest peak, as
// they are expected to be (escape and sum markers are drawn dashed).
std::vector<MarkedLine> artefactMarks(const EngineState& s, const EnergyScale& scale, size_t colourIndex) {
  const auto& found = s.Lines.LastPeaks;
  if (found.error || found.identification.peaks.empty()) return {};
  const std::vector<ParentPeak> parents = parentPeaks(found.identification);
  double strongest = 0.0;
  for (const ParentPeak& p : parents) strongest = std::max(strongest, p.net);
  if (!(strongest > 0.0)) return {};
  std::vector<MarkedLine> out;
  for (const ArtefactPeak& a : artefactPeaks(parents, s.Acquisition.LiveTime / 10.0, spectrumTopKev(s, scale))) {
    XrayLine line;
    line.kind = a.kind == ArtefactPeak::Kind::Sum ? LineKind::Sum : LineKind::Escape;
    line.name = line.group = a.label;
    line.energyKev = a.energyKev;
    // Unknown size (no live time): a small marker that still shows where.
    line.relative = a.expectedCounts < 0.0 ? 0.01 : std::clamp(a.expectedCounts / strongest, 0.0, 1.0);
    out.push_back({line, colourIndex, true});
  }
  return out;
}

}  // namespace

void refreshMarkedLines(LinesSetup& l) {
  // The lines of the field's elements change only with the field.
  if (cacheCurrent(l)) return;
  l.CachedLines = markedLines(parseElementList(l.Elements), l.MaxKev);
  l.CachedElements = l.Elements;
  l.CachedMaxKev = l.MaxKev;
}

std::vector<LineMarker> plotLineMarkers(const EngineState& s, const ColumnMapping& mapping, int32_t width,
                                        int32_t height) {
  const LinesSetup& l = s.Lines;
  if (!l.Shown) return {};
  const CalibrationCheck check = lineCalibration(s);
  if (check.error) return {};
  const MarkerView view{s.Display.FirstShown, mapping.s, mapping.p, width, height, s.Display.LogScale};
  std::vector<MarkedLine> lines =
      cacheCurrent(l) ? l.CachedLines : markedLines(parseElementList(l.Elements), l.MaxKev);
  const std::vector<MarkedLine> artefacts = artefactMarks(s, check.scale, lines.size());
  lines.insert(lines.end(), artefacts.begin(), artefacts.end());
  return placeMarkers(lines, check.scale, view);
}

}  // namespace tolvane
