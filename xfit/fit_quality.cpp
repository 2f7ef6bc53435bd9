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
    case FitFlagKind::WindowSpill:
      return "window_spill";
  }
  return "";
}

std::string fitFlagText(const FitFlag& flag, const XfitWorkspace& fit, double chi2Reduced,
                        const std::string& spillingLine) {
  const auto nameOf = [&fit](int32_t standard) {
    return standard >= 0 && standard < kMaxStandards ? fit.SelectedCopy[static_cast<size_t>(standard)].elemName()
                                                     : std::string();
  };
  const std::string element = nameOf(flag.standard);
  char text[160];
  switch (flag.kind) {
    case FitFlagKind::NegativeKratio:
      return element + ": K-ratio negative beyond its error";
    case FitFlagKind::SystematicResidual:
      return element + ": systematic residual in its window";
    case FitFlagKind::Chi2High:
      std::snprintf(text, sizeof text, "χ²ᵣ %.2f > 3: a line in the sample is not in the standards", chi2Reduced);
      return text;
    case FitFlagKind::WindowSpill: {
      const std::string other = nameOf(flag.otherStandard);
      std::snprintf(text, sizeof text, " (channels %d-%d)", flag.firstChannel, flag.lastChannel);
      return element + ": its " + (spillingLine.empty() ? std::string("spectrum") : spillingLine) +
             " spills into the " + other + " window beyond their overlap" + text + "; K-ratios of " + element +
             " and " + other + " may be biased";
    }
  }
  return {};
}

std::string fitQualityLine(const FitQuality& q, const XfitWorkspace& fit) {
  std::string line = "χ²ᵣ --";
  if (q.valid) {
    char head[96];
    if (q.chi2ReducedAfterSpill != q.chi2Reduced)
      std::snprintf(head, sizeof head, "χ²ᵣ %.2f (%.2f without the spill's bias), ", q.chi2Reduced,
                    q.chi2ReducedAfterSpill);
    else
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
