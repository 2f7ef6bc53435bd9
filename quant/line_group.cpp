#include "quant/line_group.h"

#include <xraylib.h>

#include <array>
#include <string>

namespace tolvane {

namespace {

// K-alpha3 (KL1) is dipole-forbidden and a ten-thousandth of the group; the
// K-beta group is K-beta1,3 and K-beta2, which a detector does not part.
constexpr int kKAlphaLines[] = {KL3_LINE, KL2_LINE};
constexpr int kKBetaLines[] = {KM3_LINE, KM2_LINE, KN3_LINE, KN2_LINE};
constexpr int kLAlphaLines[] = {L3M5_LINE, L3M4_LINE};
constexpr int kLBetaLines[] = {L2M4_LINE, L3N5_LINE, L1M3_LINE, L1M2_LINE, L3N1_LINE};
constexpr int kLGammaLines[] = {L2N4_LINE, L1N2_LINE, L1N3_LINE, L2O4_LINE};
constexpr int kLOtherLines[] = {L3M1_LINE, L2M1_LINE};

constexpr std::span<const int> kEnhancers[] = {kKAlphaLines, kKBetaLines, kLAlphaLines,
                                                kLBetaLines,  kLGammaLines, kLOtherLines};

}  // namespace

std::optional<LineGroup> lineGroupFromName(std::string_view name) {
  std::string lower;
  for (char c : name) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (lower == "ka" || lower == "kα" || lower == "k") return LineGroup::KAlpha;
  if (lower == "kb" || lower == "kβ") return LineGroup::KBeta;
  if (lower == "la" || lower == "lα" || lower == "l") return LineGroup::LAlpha;
  return std::nullopt;
}

const char* lineGroupName(LineGroup group) {
  switch (group) {
    case LineGroup::KAlpha:
      return "Ka";
    case LineGroup::KBeta:
      return "Kb";
    case LineGroup::LAlpha:
      return "La";
  }
  return "Ka";
}

std::span<const int> groupLines(LineGroup group) {
  switch (group) {
    case LineGroup::KAlpha:
      return kKAlphaLines;
    case LineGroup::KBeta:
      return kKBetaLines;
    case LineGroup::LAlpha:
      return kLAlphaLines;
  }
  return kKAlphaLines;
}

int groupShell(LineGroup group) { return group == LineGroup::LAlpha ? L3_SHELL : K_SHELL; }

std::span<const std::span<const int>> enhancerGroups() { return kEnhancers; }

}  // namespace tolvane
