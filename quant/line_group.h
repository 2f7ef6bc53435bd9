#pragma once
// The line groups a K-ratio is measured on: a detector of 130-150 eV
// resolution sees K-alpha1 and K-alpha2 as one peak, and likewise the
// K-beta and L-alpha lines. A group is its xraylib lines and the shell
// whose edge the beam must pass to excite them.
#include <optional>
#include <span>
#include <string_view>

namespace tolvane {

enum class LineGroup { KAlpha, KBeta, LAlpha };

// "Ka", "Kb", "La" (and "Kα", "Kβ", "Lα"); nothing for any other name.
std::optional<LineGroup> lineGroupFromName(std::string_view name);
const char* lineGroupName(LineGroup group);  // "Ka", "Kb", "La"

// The xraylib line macros of the group.
std::span<const int> groupLines(LineGroup group);
// The xraylib shell macro whose vacancy the group's lines fill.
int groupShell(LineGroup group);

// The lines of a matrix element that can excite others (secondary
// fluorescence), as groups of lines close in energy: K-alpha, K-beta,
// L-alpha, L-beta, L-gamma. Each entry is a span of xraylib line macros.
std::span<const std::span<const int>> enhancerGroups();

}  // namespace tolvane
