#include "xfit/batch_report.h"

#include <cstdio>

namespace tolvane {

namespace {

std::string percentCell(std::optional<double> value) {
  if (!value) return "";
  char cell[32];
  std::snprintf(cell, sizeof cell, "%.9g", static_cast<double>(static_cast<float>(*value)));
  return cell;
}

// 2000 -> "2,000".
std::string grouped(size_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string batchCsvHeader(const XfitWorkspace& fit) {
  std::string header = "file";
  for (int k = 0; k < fit.FitCount; ++k) {
    const std::string element = fit.SelectedCopy[static_cast<size_t>(k)].elemName();
    header += "," + csvField(element + "_kratio_pct") + "," + csvField(element + "_kratio_err");
  }
  for (int k = 0; k < fit.FitCount; ++k)
    header += "," + csvField(fit.SelectedCopy[static_cast<size_t>(k)].elemName() + "_kratio_pct_lt");
  return header + kFitQualityColumns;
}

std::string chi2Cell(double chi2Reduced) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4f", chi2Reduced);
  return text;
}

std::string fitFlagsCell(const FitQuality& q, const std::vector<SampleWarning>& warnings) {
  std::string flags;
  for (const FitFlag& f : q.flags) {
    flags += (flags.empty() ? "" : ";") + std::string(fitFlagKindName(f.kind));
    if (f.index >= 0) flags += ":" + std::to_string(f.index);
    if (f.otherIndex >= 0) flags += ">" + std::to_string(f.otherIndex);
  }
  for (const SampleWarning& w : warnings)
    flags += (flags.empty() ? "" : ";") + std::string(sampleWarningToken(w.cause));
  return flags;
}

std::string fitQualityCells(const FitQuality& q, const std::vector<SampleWarning>& warnings) {
  const std::string chi2 =
      q.valid ? "," + chi2Cell(q.chi2Reduced) + "," + chi2Cell(q.chi2ReducedAfterSpill) + "," : ",,,";
  return chi2 + fitFlagsCell(q, warnings);
}

std::string batchCsvRow(const std::string& path, const BatchFileResult& result,
                        const std::vector<StandardInUse>& standards, const std::vector<SampleWarning>& warnings) {
  const bool ok = result.status == BatchFileStatus::Fitted;
  std::string pairs, normalised;
  for (size_t k = 0; k < standards.size(); ++k) {
    if (!ok) {
      pairs += ",,";
      normalised += ",";
      continue;
    }
    const double kratio = static_cast<float>(result.fit.coefficients[k] * 100);
    pairs += "," + percentCell(kratio) + "," + percentCell(static_cast<float>(result.fit.errors[k]));
    normalised +=
        "," + percentCell(liveTimeKratio(kratio, result.header.liveTime(), standards[k].read.header.liveTime()));
  }
  return csvField(path) + pairs + normalised + fitQualityCells(ok ? result.quality : FitQuality{}, warnings);
}

void WarningSummary::add(const std::string& path, const std::vector<SampleWarning>& warnings) {
  for (const SampleWarning& w : warnings) {
    Cause& cause = causes_[w.cause];
    if (cause.files++ == 0) {
      order_.push_back(w.cause);
      cause.firstPath = path;
      cause.firstText = w.text;
    }
  }
}

std::vector<std::string> WarningSummary::lines() const {
  std::vector<std::string> out;
  for (const SampleWarningCause c : order_) {
    const Cause& cause = causes_.at(c);
    out.push_back(grouped(cause.files) + (cause.files == 1 ? " file: " : " files: ") + sampleWarningSummary(c) +
                  " (first " + cause.firstPath + ": " + cause.firstText + ")");
  }
  return out;
}

}  // namespace tolvane
