#include "files/column_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/calibration_unit.h"

namespace tolvane {

namespace {

// A value as read, whole or not and of any size (no cast to an integer
// that may not hold it).
std::string numberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

struct Row {
  int line = 0;
  std::optional<double> x;  // channel or energy; none when the field is empty
  double y = 0.0;
};

}  // namespace

TextSpectrumRead readColumns(std::string_view text) {
  const std::vector<std::string_view> lines = textLines(text);
  TextSpectrumRead read;
  std::string header;
  size_t columns = 0;
  std::vector<Row> rows;
  bool energyGiven = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    const std::string_view line = trimmed(lines[i]);
    if (line.empty() || line.front() == '#') continue;
    const std::vector<std::string_view> fields = fieldsOf(line);
    std::vector<std::optional<double>> values;
    bool text = false;
    for (const std::string_view f : fields) {
      values.push_back(f.empty() ? std::nullopt : numberIn(f));
      text = text || (!f.empty() && !values.back());
    }
    if (text) {
      if (columns == 0 && header.empty() && rows.empty()) {
        header = upperCase(line);
        continue;
      }
      return refused("text in data", number);
    }
    if (columns == 0) {
      columns = fields.size();
      if (columns > 3) return refused("more than three columns", number);
    } else if (fields.size() != columns) {
      return refused(std::to_string(fields.size()) + " fields where the first line of numbers has " +
                         std::to_string(columns),
                     number);
    }
    const std::optional<double> count = values.back();
    if (!count) return refused("a count is missing", number);
    Row row{number, columns == 1 ? std::nullopt : values[columns == 3 ? 1 : 0], *count};
    if (columns == 3 && !values[0]) return refused("a channel is missing", number);
    if (columns == 2 && !row.x) return refused("a channel or energy is missing", number);
    // The first row says whether the file has energies; then every row has one.
    if (rows.empty()) energyGiven = columns == 3 && row.x;
    if (columns == 3 && row.x.has_value() != energyGiven)
      return refused(energyGiven ? "an energy is missing" : "an energy where the first row has none", number);
    if (!addCount(read, row.y, number)) return read;
    rows.push_back(row);
  }
  if (rows.empty())
    return refused("no spectrum found: not EMSA/MSA, the MCA text format, SPEC, nor columns of numbers",
                   std::max(1, static_cast<int>(lines.size())));

  // Channels or energies in the first column of two.
  bool energies = columns == 3 && energyGiven;
  if (columns == 2) {
    const bool namedChannels = header.find("CH") != std::string::npos && header.find("EV") == std::string::npos;
    const bool namedEnergy = header.find("EV") != std::string::npos || header.find("ENERG") != std::string::npos;
    bool counting = true;
    for (size_t k = 0; k < rows.size() && counting; ++k)
      counting = *rows[k].x == std::floor(*rows[k].x) && (k == 0 || *rows[k].x == *rows[k - 1].x + 1.0);
    if (namedChannels || (!namedEnergy && counting)) {
      for (size_t k = 1; k < rows.size(); ++k)
        if (*rows[k].x != *rows[k - 1].x + 1.0) return refused("the channels do not count up by one", rows[k].line);
      if (*rows.front().x != 0.0)
        read.warnings.push_back("the channels start at " + numberText(*rows.front().x) +
                                ": the first value is read as channel 0");
      return read;
    }
    energies = true;
  }
  if (!energies || rows.size() < 2) return read;
  const double first = *rows.front().x, last = *rows.back().x;
  const double gain = (last - first) / static_cast<double>(rows.size() - 1);
  if (!(gain > 0.0)) return refused("the energies do not increase", rows.back().line);
  for (size_t k = 0; k < rows.size(); ++k)
    if (std::fabs(*rows[k].x - (first + gain * static_cast<double>(k))) > 0.5 * gain)
      return refused("the energies are not evenly spaced", rows[k].line);
  bool inEv = false;
  if (header.find("KEV") != std::string::npos) inEv = false;
  else if (header.find("EV") != std::string::npos) inEv = true;
  else inEv = last > kEvCalibrationAbove;
  const double toKev = inEv ? 0.001 : 1.0;
  setScaleKev(read.spectrum, gain * toKev, first * toKev);
  return read;
}

}  // namespace tolvane
