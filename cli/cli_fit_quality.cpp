#include "cli/cli_fit_quality.h"

#include <cstdio>
#include <vector>

namespace tolvane::cli {

void addFitQuality(JsonObject& object, const FitQuality& q, const XfitWorkspace& fit) {
  const auto number = [&q](const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return q.valid ? std::string(text) : std::string("null");
  };
  object.add("chi2_reduced", number("%.4f", q.chi2Reduced));
  object.add("chi2_reduced_after_spill", number("%.4f", q.chi2ReducedAfterSpill));
  object.add("dof", number("%.2f", q.dof));
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
