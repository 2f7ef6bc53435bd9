#include "cli/cli_fit_quality.h"

#include <cstdio>

namespace tolvane::cli {

namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) continue;
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string fitQualityJson(const FitQuality& q, const XfitWorkspace& fit) {
  char numbers[96];
  if (q.valid)
    std::snprintf(numbers, sizeof numbers, "\"chi2_reduced\": %.4f, \"dof\": %.2f", q.chi2Reduced, q.dof);
  else
    std::snprintf(numbers, sizeof numbers, "\"chi2_reduced\": null, \"dof\": null");
  std::string out = numbers;
  out += ", \"flags\": [";
  for (size_t i = 0; i < q.flags.size(); ++i) {
    const FitFlag& f = q.flags[i];
    out += std::string(i ? ", " : "") + "{\"kind\": \"" + fitFlagKindName(f.kind) +
           "\", \"index\": " + (f.index >= 0 ? std::to_string(f.index) : std::string("null")) +
           ", \"text\": " + quoted(fitFlagText(f, fit, q.chi2Reduced)) + "}";
  }
  return out + "]";
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
