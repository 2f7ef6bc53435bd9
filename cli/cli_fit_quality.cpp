#include "cli/cli_fit_quality.h"

#include <cstdio>
#include <vector>

namespace tolvane::cli {

void addFitQuality(JsonObject& object, const FitQuality& q, const XfitWorkspace& fit) {
  char number[32];
  std::snprintf(number, sizeof number, "%.4f", q.chi2Reduced);
  object.add("chi2_reduced", q.valid ? number : "null");
  std::snprintf(number, sizeof number, "%.2f", q.dof);
  object.add("dof", q.valid ? number : "null");
  std::vector<std::string> flags;
  for (const FitFlag& f : q.flags)
    flags.push_back(JsonObject()
                        .addText("kind", fitFlagKindName(f.kind))
                        .add("index", f.index >= 0 ? std::to_string(f.index) : std::string("null"))
                        .addText("text", fitFlagText(f, fit, q.chi2Reduced))
                        .text());
  object.add("flags", jsonArray(flags));
}

std::string fitQualityCells(const FitQuality& q) {
  if (!q.valid) return ",,";
  char chi2[32];
  std::snprintf(chi2, sizeof chi2, ",%.4f,", q.chi2Reduced);
  std::string out = chi2;
  for (size_t i = 0; i < q.flags.size(); ++i) {
    out += (i ? ";" : "") + std::string(fitFlagKindName(q.flags[i].kind));
    if (q.flags[i].index >= 0) out += ":" + std::to_string(q.flags[i].index);
  }
  return out;
}

}  // namespace tolvane::cli
