#include "lines/line_markers.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <utility>

namespace tolvane {

namespace {

constexpr int32_t kLabelHeight = 13;
// The plot's top rows lie under the readouts (times, rates): labels stay below.
constexpr int32_t kLabelTop = 26;
constexpr int32_t kLabelCharWidth = 7;  // room a label needs per character, generously

int32_t labelWidth(const std::string& text) {
  // Count characters, not UTF-8 bytes.
  int32_t n = 0;
  for (const char ch : text) n += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
  return n * kLabelCharWidth;
}

}  // namespace

Colour24 elementColour(size_t index) {
  // Bright colours apart from the trace (lime), the cursor (red) and the
  // grid (maroon), stored as 0x00BBGGRR.
  static constexpr Colour24 kPalette[] = {0x00FFFF, 0xFF00FF, 0xFFFF00, 0x0080FF, 0xFFFFFF,
                                          0xFF8080, 0x80FFFF, 0xC080FF, 0x80C0FF, 0xFFC0C0};
  return kPalette[index % (sizeof kPalette / sizeof kPalette[0])];
}

std::vector<MarkedLine> markedLines(const std::vector<int>& elements, double maxKev) {
  std::vector<MarkedLine> out;
  for (size_t i = 0; i < elements.size(); ++i) {
    const ElementLines e = emissionLines(elements[i], maxKev);
    std::vector<XrayLine> lines = e.lines;
    const std::vector<XrayLine> detector = detectorLines(e.lines);
    lines.insert(lines.end(), detector.begin(), detector.end());
    std::map<std::string, size_t> strongest;  // group -> index into `lines`
    for (size_t k = 0; k < lines.size(); ++k) {
      auto it = strongest.find(lines[k].group);
      if (it == strongest.end() || lines[k].relative > lines[it->second].relative) strongest[lines[k].group] = k;
    }
    for (size_t k = 0; k < lines.size(); ++k) out.push_back({lines[k], i, strongest[lines[k].group] == k});
  }
  return out;
}

int32_t markerHeight(double relative, int32_t height, bool logScale) {
  const double top = 0.6 * height;
  const double r = std::clamp(relative, 0.0, 1.0);
  // On the log axis (six decades over the plot) a line a tenth as strong
  // stands one decade lower, as its peak does; a linear height would put
  // a 13 % line near the bottom, at a few counts.
  const double rows = logScale ? (r > 0.0 ? top + std::log10(r) * height / 6.0 : 0.0) : r * top;
  return std::max<int32_t>(6, static_cast<int32_t>(std::lround(rows)));
}

std::vector<LineMarker> placeMarkers(const std::vector<MarkedLine>& lines, const EnergyScale& scale,
                                     const MarkerView& view) {
  std::vector<LineMarker> out;
  if (!scale.valid() || view.width <= 0 || view.height <= 0) return out;
  const bool expanded = view.stride <= 0;
  for (const MarkedLine& m : lines) {
    const double channel = scale.channel(m.line.energyKev);
    if (!std::isfinite(channel) || channel < view.first - 1.0 || channel > 1e9) continue;
    // The column of the nearest channel, by the rules the trace and the
    // cursor use: the middle of an expanded channel's pixels.
    const auto nearest = static_cast<int64_t>(std::floor(channel + 0.5));
    const int64_t offset = nearest - view.first;
    const int64_t x = expanded ? offset * view.pixelsPerChannel + view.pixelsPerChannel / 2
                               : (offset >= 0 ? offset / view.stride : -1);
    if (offset < 0 || x < 0 || x >= view.width) continue;
    LineMarker marker;
    marker.channel = channel;
    marker.x = static_cast<int32_t>(x);
    marker.topRow = view.height - 1 - markerHeight(m.line.relative, view.height, view.logScale);
    marker.colour = elementColour(m.elementIndex);
    marker.dashed = m.line.kind != LineKind::Emission;
    marker.relative = m.line.relative;
    if (m.labelled) marker.label = m.line.element.empty() ? m.line.group : m.line.element + " " + m.line.group;
    out.push_back(std::move(marker));
  }
  // Labels left to right; one that would touch an earlier label moves above
  // it, or else below it. A label with no free place left is dropped (its
  // marker stays) rather than piled onto the others at the plot's edge.
  std::vector<size_t> order(out.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return out[a].x < out[b].x; });
  struct Placed {
    int32_t start, end, y;
  };
  std::vector<Placed> placed;
  for (size_t i : order) {
    LineMarker& m = out[i];
    if (m.label.empty()) continue;
    m.labelX = m.x + 2;
    const int32_t end = m.labelX + labelWidth(m.label);
    // The label this row would touch, or none.
    const auto clash = [&](int32_t y) -> const Placed* {
      for (const Placed& p : placed)
        if (m.labelX < p.end && end > p.start && std::abs(y - p.y) < kLabelHeight) return &p;
      return nullptr;
    };
    const int32_t wanted = std::max(m.topRow - kLabelHeight, kLabelTop);
    std::optional<int32_t> row;
    for (int32_t y = wanted; y >= kLabelTop;) {
      const Placed* other = clash(y);
      if (!other) {
        row = y;
        break;
      }
      y = other->y - kLabelHeight;
    }
    for (int32_t y = wanted; !row && y <= view.height - kLabelHeight;) {
      const Placed* other = clash(y);
      if (!other) {
        row = y;
        break;
      }
      y = other->y + kLabelHeight;
    }
    if (!row) {
      m.label.clear();
      continue;
    }
    m.labelY = *row;
    placed.push_back({m.labelX, end, m.labelY});
  }
  return out;
}

}  // namespace tolvane
