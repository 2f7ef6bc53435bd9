#include "files/emsa_writer.h"

#include "files/number_text.h"

namespace tolvane {

namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr size_t kYValuesPerLine = 5;

std::string twoDigits(int v) { return std::string(1, static_cast<char>('0' + v / 10 % 10)) + char('0' + v % 10); }

// "#KEYWORD    : value", the keyword (and its "-unit") filling columns 2 to
// 13 so the colon stands in column 14 as the format lays it out.
void keyword(std::string& out, const std::string& name, const std::string& value, const std::string& unit = "") {
  std::string field = name;
  if (!unit.empty()) {
    const size_t room = 12 > unit.size() + 1 ? 12 - unit.size() - 1 : 0;
    if (field.size() < room) field.resize(room, ' ');
    field += "-" + unit;
  }
  if (field.size() < 12) field.resize(12, ' ');
  out += "#" + field + ": " + asciiOnly(value) + "\r\n";
}

}  // namespace

std::string emsaText(const ExportedSpectrum& e, EmsaDataForm form) {
  const size_t n = e.counts.size();
  const bool calibrated = e.calibrated();
  std::string xUnits = "Channel";
  std::string xPerChannel = "1";
  std::string offset = "0";
  if (calibrated) {
    xUnits = e.unit == EnergyUnit::EV ? "eV" : "keV";
    xPerChannel = shortestText(e.gain);
    offset = shortestText(e.offset);
  }

  std::string out;
  out.reserve(600 + 12 * n);
  keyword(out, "FORMAT", "EMSA/MAS Spectral Data File");
  keyword(out, "VERSION", "1.0");
  keyword(out, "TITLE", e.comment);
  if (e.hasStartTime()) {
    keyword(out, "DATE",
            twoDigits(e.start.day) + "-" + kMonths[e.start.month - 1] + "-" + std::to_string(e.start.year));
    keyword(out, "TIME", twoDigits(e.start.hour) + ":" + twoDigits(e.start.minute));
  } else {
    keyword(out, "DATE", "");
    keyword(out, "TIME", "");
  }
  keyword(out, "OWNER", "");
  keyword(out, "NPOINTS", std::to_string(n));
  keyword(out, "NCOLUMNS", form == EmsaDataForm::Y ? std::to_string(n < kYValuesPerLine ? n : kYValuesPerLine) : "1");
  keyword(out, "XUNITS", xUnits);
  keyword(out, "YUNITS", "counts");
  keyword(out, "DATATYPE", form == EmsaDataForm::Y ? "Y" : "XY");
  keyword(out, "XPERCHAN", xPerChannel);
  keyword(out, "OFFSET", offset);
  keyword(out, "SIGNALTYPE", "EDS");
  keyword(out, "LIVETIME", secondsText(e.liveTime), "s");
  keyword(out, "REALTIME", secondsText(e.realTime), "s");
  keyword(out, "XLABEL", calibrated ? "Energy" : "Channel");
  keyword(out, "YLABEL", "Counts");
  // Our own fields that have no keyword of the format's, as user keywords.
  if (e.hasStartTime()) keyword(out, "#SECOND", std::to_string(e.start.second));
  // The format's scale is a straight line; a quadratic term rides along
  // as a user keyword (the XY form's energies include it).
  if (calibrated && e.quadratic != 0.0f) keyword(out, "#XPERCHAN2", shortestText(e.quadratic));
  keyword(out, "#PRESETTIME", secondsText(e.presetTime), "s");
  keyword(out, "#SAMPLEID", e.sampleId);
  for (const ExportedRoi& roi : e.rois)
    keyword(out, "#ROI" + twoDigits(roi.index),
            roi.label + ", " + std::to_string(roi.low) + ", " + std::to_string(roi.high));
  keyword(out, "SPECTRUM", "Spectral Data Starts Here");

  if (form == EmsaDataForm::Y) {
    for (size_t i = 0; i < n; ++i) {
      out += std::to_string(e.counts[i]);
      out += (i + 1) % kYValuesPerLine == 0 || i + 1 == n ? "\r\n" : ", ";
    }
  } else {
    for (size_t i = 0; i < n; ++i) {
      const int c = static_cast<int>(i);
      out += calibrated ? shortestText(e.energy(c)) : std::to_string(c);
      out += ", " + std::to_string(e.counts[i]) + "\r\n";
    }
  }
  keyword(out, "ENDOFDATA", "");
  return out;
}

}  // namespace tolvane
