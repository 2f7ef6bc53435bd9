#include "cli/cli_fit_quality.h"

#include <vector>

namespace tolvane::cli {

void addFitQuality(JsonObject& object, const FitQuality& q, const XfitWorkspace& fit) {
  // Rounded to the places the figures carry, in their shortest form.
  const auto number = [&q](double value, int decimals) {
    return q.valid ? jsonRounded(value, decimals) : std::string("null");
  };
  object.add("chi2_reduced", number(q.chi2Reduced, 4));
  object.add("chi2_reduced_after_spill", number(q.chi2ReducedAfterSpill, 4));
  object.add("dof", number(q.dof, 2));
  std::vector<std::string> flags;
  for (const FitFlag& f : q.flags) {
    JsonObject flag;
    flag.addText("kind", fitFlagKindName(f.kind))
        .add("index", f.index >= 0 ? std::to_string(f.index) : std::string("null"));
    if (f.kind == FitFlagKind::WindowSpill)
      flag.addNumber("other_index", f.otherIndex)
          .addNumber("first_channel", f.firstChannel)
          .addNumber("last_channel", f.lastChannel);
    flags.push_back(flag.addText("text", fitFlagText(f, fit, q.chi2ReducedAfterSpill)).text());
  }
  object.add("flags", jsonArray(flags));
}

}  // namespace tolvane::cli
