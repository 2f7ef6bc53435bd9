#include "xfit/fit_quality.h"

#include <cstdio>

#include "xfit/fit_quality_plan.h"

namespace tolvane {

FitQuality assessFit(const XfitWorkspace& fit, const std::array<double, kMaxStandards>& coefficients,
                     const std::array<double, kMaxStandards>& errors, const int32_t* sampleCounts, int32_t channels) {
  return FitQualityPlan(fit).assess(coefficients, errors, sampleCounts, channels);
}

const char* fitFlagKindName(FitFlagKind kind) {
  switch (kind) {
    case FitFlagKind::NegativeKratio:
      return "negative_kratio";
    case FitFlagKind::SystematicResidual:
      return "systematic_residual";
    case FitFlagKind::Chi2High:
      return "chi2_high";
  }
  return "";
}

std::string fitFlagText(const FitFlag& flag, const XfitWorkspace& fit, double chi2Reduced) {
  const std::string element =
      flag.standard >= 0 ? fit.SelectedCopy[static_cast<size_t>(flag.standard)].elemName() : std::string();
  char text[128];
  switch (flag.kind) {
    case FitFlagKind::NegativeKratio:
      return element + ": K-ratio negative beyond its error";
    case FitFlagKind::SystematicResidual:
      return element + ": systematic residual in its window";
    case FitFlagKind::Chi2High:
      std::snprintf(text, sizeof text, "χ²ᵣ %.2f > 3: a line in the sample is not in the standards", chi2Reduced);
      return text;
  }
  return {};
}

std::string fitQualityLine(const FitQuality& q, const XfitWorkspace& fit) {
  std::string line = "χ²ᵣ --";
  if (q.valid) {
    char head[48];
    std::snprintf(head, sizeof head, "χ²ᵣ %.2f, ", q.chi2Reduced);
    line = head;
    if (q.flags.empty()) {
      line += "no flags";
    } else {
      for (size_t i = 0; i < q.flags.size(); ++i) {
        const FitFlag& f = q.flags[i];
        line += i ? "; " : "";
        line += f.kind == FitFlagKind::Chi2High ? "a line in the sample is not in the standards"
                                                : fitFlagText(f, fit, q.chi2Reduced);
      }
    }
  }
  std::string missing;
  for (int k = 0; k < fit.FitCount; ++k)
    if (q.notDetected[static_cast<size_t>(k)])
      missing += (missing.empty() ? "" : ", ") + fit.SelectedCopy[static_cast<size_t>(k)].elemName();
  if (!missing.empty()) line += "; not detected: " + missing;
  return line;
}

}  // namespace tolvane
