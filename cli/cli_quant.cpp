// tolvane-cli quant: concentrations from K-ratios by fundamental
// parameters. The K-ratios come from an MLSQ fit of a sample against a
// table (per live time and beam current), or are given directly; --forward
// prints the K-ratios the model predicts for a composition instead.
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>

#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "cli/json_text.h"
#include "cli/quant_setup.h"
#include "cli/xfit_checks.h"
#include "files/spectrum_file.h"
#include "lines/line_data.h"
#include "quant/concentration_solver.h"
#include "quant/quant_conditions.h"
#include "xfit/fit_quantification.h"
#include "xfit/mlsq_fit.h"
#include "xfit/standards_load.h"
#include "xfit/standards_check.h"

namespace tolvane::cli {

namespace {

// "Ti=0.671,Fe=0.3" (with an optional ":ERROR" after each value).
struct ElementValue {
  int z = 0;
  double value = 0.0;
  double error = 0.0;
};

std::optional<std::vector<ElementValue>> elementValues(const QString& text, const char* option) {
  std::vector<ElementValue> out;
  for (const QString& item : text.split(',', Qt::SkipEmptyParts)) {
    const QStringList parts = item.split('=');
    const auto z = parts.size() == 2 ? parseElement(parts[0].trimmed().toStdString()) : std::nullopt;
    const QStringList numbers = parts.size() == 2 ? parts[1].split(':') : QStringList();
    bool ok = z && numbers.size() >= 1 && numbers.size() <= 2;
    ElementValue v;
    if (ok) v = {*z, numbers[0].toDouble(&ok), 0.0};
    if (ok && numbers.size() == 2) v.error = numbers[1].toDouble(&ok);
    if (!ok || !std::isfinite(v.value) || v.value < 0.0 || v.error < 0.0) {
      usageError(std::string("--") + option + ": '" + item.toStdString() + "' is not ELEMENT=VALUE[:ERROR]");
      return std::nullopt;
    }
    if (std::any_of(out.begin(), out.end(), [&](const ElementValue& e) { return e.z == v.z; })) {
      usageError(std::string("--") + option + ": " + elementSymbol(v.z) + " is given twice");
      return std::nullopt;
    }
    out.push_back(v);
  }
  if (out.empty()) usageError(std::string("--") + option + " needs at least one ELEMENT=VALUE");
  return out.empty() ? std::nullopt : std::optional(out);
}

std::optional<std::vector<ElementFraction>> formula(const std::string& text) { return formulaFractions(text); }

// The conditions: the table's file when there is one, then the options.
bool applyOptions(const QCommandLineParser& parser, QuantConditions& c) {
  if (parser.isSet("source") && parser.isSet("tube")) return usageError("--source and --tube exclude each other") == 0;
  if (parser.isSet("beam") && (parser.isSet("source") || parser.isSet("tube")))
    return usageError("--beam excludes --source and --tube") == 0;
  if (parser.isSet("beam")) {
    const std::string path = parser.value("beam").toLocal8Bit().toStdString();
    std::ifstream in(path);
    if (!in) return fail(code::kNotFound, "cannot open " + path + ": " + unreadableReason(path)) == 0;
    c.userBeam = ExcitationBeam{};
    double energy = 0.0, weight = 0.0;
    while (in >> energy >> weight) {
      if (!(energy > 0.0) || !(weight >= 0.0) || !std::isfinite(energy) || !std::isfinite(weight))
        return fail(code::kRefused, path + ": energies must be positive and weights not negative") == 0;
      c.userBeam->lines.push_back({energy, weight});
    }
    if (!in.eof() || c.userBeam->lines.empty())
      return fail(code::kRefused, path + ": not a list of 'ENERGY_KEV WEIGHT' lines") == 0;
  }
  if (parser.isSet("source")) {
    c.source = radionuclideFromName(parser.value("source").toStdString());
    if (!c.source) return usageError("--source is fe55, cd109 or am241") == 0;
    c.tube.reset();
  }
  if (parser.isSet("tube")) {
    const TubeSettings angles = c.tube.value_or(TubeSettings{});
    c.tube = parseTube(parser.value("tube").toStdString());
    if (!c.tube) return usageError("--tube is ANODE:KV[:WINDOW_UM], e.g. Rh:30:125 (4 to 100 kV)") == 0;
    c.tube->electronAngleDeg = angles.electronAngleDeg;
    c.tube->takeoffAngleDeg = angles.takeoffAngleDeg;
  }
  for (const char* option : {"angles", "tube-angles"}) {
    if (!parser.isSet(option)) continue;
    const QStringList parts = parser.value(option).split(',');
    bool okIn = false, okOut = false;
    const double in = parts.size() == 2 ? parts[0].toDouble(&okIn) : 0.0;
    const double out = parts.size() == 2 ? parts[1].toDouble(&okOut) : 0.0;
    if (!okIn || !okOut || in < 1.0 || in > 90.0 || out < 1.0 || out > 90.0)
      return usageError(std::string("--") + option + " is IN,OUT in degrees, each 1 to 90") == 0;
    if (std::string(option) == "angles") {
      c.geometry = {in, out};
    } else {
      if (!c.tube) return usageError("--tube-angles goes with --tube") == 0;
      c.tube->electronAngleDeg = in;
      c.tube->takeoffAngleDeg = out;
    }
  }
  if (parser.isSet("balance")) c.balance = parser.value("balance").toStdString();
  if (parser.isSet("line")) {
    const auto group = lineGroupFromName(parser.value("line").toStdString());
    if (!group) return usageError("--line is Ka, Kb or La") == 0;
    c.line = *group;
  }
  if (parser.isSet("standards")) {
    for (const QString& item : parser.value("standards").split(',', Qt::SkipEmptyParts)) {
      const QStringList parts = item.split('=');
      const auto z = parts.size() == 2 ? parseElement(parts[0].trimmed().toStdString()) : std::nullopt;
      if (!z || !formula(parts[1].trimmed().toStdString()))
        return usageError("--standards: '" + item.toStdString() + "' is not ELEMENT=FORMULA (Ti=Ti, Fe=Fe2O3)") == 0;
      c.standards[*z].formula = parts[1].trimmed().toStdString();
    }
  }
  return true;
}

std::optional<double> arealDensity(const QCommandLineParser& parser) {
  if (!parser.isSet("areal-density")) return 0.0;
  return numberOption(parser, "areal-density", 1e-9, 1e3, std::nullopt, "g/cm2");
}

std::string wtText(const std::optional<double>& fraction) {
  if (!fraction) return "null";
  return jsonRounded(*fraction * 100.0, 4);
}

int printForward(const QCommandLineParser& parser, const QuantConditions& c, double density) {
  const auto given = elementValues(parser.value("forward"), "forward");
  if (!given) return kExitUsage;
  std::vector<ElementFraction> composition;
  double sum = 0.0;
  for (const ElementValue& v : *given) sum += v.value;
  if (!(sum > 0.0)) return usageError("--forward: the composition adds up to 0");
  for (const ElementValue& v : *given) composition.push_back({v.z, v.value / sum});
  std::vector<MeasuredElement> measured;
  for (const ElementValue& v : *given) {
    const auto standard = standardOf(c, v.z);
    if (!standard) return kExitUsage;
    measured.push_back({v.z, c.line, *standard, 0.0, 0.0});
  }
  const ExcitationBeam beam = c.beam();
  const auto kratios = forwardKratios(measured, composition, beam, c.geometry, density);
  std::vector<std::string> rows;
  for (size_t i = 0; i < measured.size(); ++i) {
    const bool excited = kratios[i].kratio > 0.0;
    const std::string element = elementSymbol(measured[i].z);
    if (parser.isSet("json"))
      rows.push_back(JsonObject()
                         .addText("element", element)
                         .addText("line", lineGroupName(c.line))
                         .add("kratio", excited ? jsonNumber(kratios[i].kratio) : "null")
                         .add("wt_pct", jsonRounded(composition[i].fraction * 100.0, 6))
                         .addBool("excited", excited)
                         .add("secondary_share", jsonRounded(kratios[i].secondaryShare, 6))
                         .text());
    else if (excited)
      std::printf("%-3s %s  kratio %.6f  wt%% %8.3f  secondary/primary %.3f\n", element.c_str(),
                  lineGroupName(c.line), kratios[i].kratio, composition[i].fraction * 100.0, kratios[i].secondaryShare);
    else
      std::printf("%-3s %s  not excited          wt%% %8.3f\n", element.c_str(), lineGroupName(c.line),
                  composition[i].fraction * 100.0);
  }
  if (parser.isSet("json")) std::printf("%s\n", JsonObject().add("elements", jsonArray(rows)).text().c_str());
  return kExitOk;
}

int printResult(const QCommandLineParser& parser, const QuantResult& result) {
  std::vector<std::string> rows;
  for (const QuantElementResult& r : result.elements) {
    const std::string element = elementSymbol(r.z);
    const bool measured = r.measured;
    if (parser.isSet("json")) {
      JsonObject row;
      row.addText("element", element).addText("line", lineGroupName(r.group));
      row.add("kratio", measured ? jsonNumber(r.kratio) : "null");
      row.add("wt_pct", wtText(r.fraction));
      row.add("wt_err", r.fraction ? jsonRounded(r.fractionError * 100.0, 4) : "null");
      row.addBool("excited", r.excited);
      if (r.byDifference) row.addBool("by_difference", true);
      rows.push_back(row.text());
    } else if (r.fraction && !measured) {
      std::printf("%-3s     balance           wt%% %8.3f +/- %6.3f  by difference\n", element.c_str(),
                  *r.fraction * 100.0, r.fractionError * 100.0);
    } else if (r.fraction) {
      std::printf("%-3s %s  kratio %9.5f  wt%% %8.3f +/- %6.3f%s%s\n", element.c_str(), lineGroupName(r.group),
                  r.kratio, *r.fraction * 100.0, r.fractionError * 100.0, r.byDifference ? "  by difference" : "",
                  r.excited ? "" : "  (not excited)");
    } else {
      std::printf("%-3s %s  kratio %9.5f  not excited\n", element.c_str(), lineGroupName(r.group), r.kratio);
    }
  }
  if (parser.isSet("json")) {
    std::printf("%s\n", JsonObject()
                            .add("elements", jsonArray(rows))
                            .addNumber("iterations", result.iterations)
                            .addBool("converged", result.converged)
                            .add("total", jsonRounded(result.total * 100.0, 4))
                            .text()
                            .c_str());
  } else {
    std::printf("total %.3f wt%%, %d iterations%s\n", result.total * 100.0, result.iterations,
                result.converged ? "" : ", NOT converged");
  }
  if (!result.converged) warn("the iteration did not converge to 1e-6 in " + std::to_string(result.iterations) + " steps");
  return kExitOk;
}

// K-ratios of a sample against a table: the MLSQ fit's K-ratio per live
// time and per beam current (xfit/fit_quantification.h).
bool kratiosFromTable(const std::string& samplePath, const std::string& table, const QuantConditions& c,
                      std::vector<MeasuredElement>& measured) {
  const SpectrumFileRead sample = readSpectrumPath(samplePath);
  if (sample.outcome == SpectrumFileRead::Outcome::CannotOpen)
    return fail(code::kNotFound, "cannot open " + samplePath + ": " + unreadableReason(samplePath)) == 0;
  if (!sample.ok()) return fail(code::kRefused, refusedSpectrumMessage(samplePath, sample)) == 0;
  const StandardsCheck check = checkStandards(table);
  if (const auto stop = refuseStandards(table, check)) return false;
  FileSession f;
  TDmVQRN& module = f.session.DataModule;
  if (const StandardsLoad load = LoadStandardTable(module, table); !load.loaded())
    return fail(code::kRefused, "cannot load the standards of " + table + ": " + standardsLoadProblem(load)) == 0;
  XfitWorkspace& fit = module.Fit;
  const int32_t n = std::clamp(sample.channels, 0, kFitChannels);
  std::fill(fit.SampleCounts.begin(), fit.SampleCounts.end(), 0);
  std::copy_n(sample.counts.begin(), n, fit.SampleCounts.begin());
  fit.SampleChannels = n;
  if (RunMlsqFit(module, true, "") != FitOutcome::Fitted) return fail(code::kFailed, "the MLSQ fit failed") == 0;
  FitKratios kratios = fitKratios(module, sample.header.liveTime(), check.standards, c);
  if (!kratios.error.empty()) return fail(code::kRefused, kratios.error) == 0;
  measured = std::move(kratios.measured);
  return true;
}

}  // namespace

int runQuant(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Concentrations by fundamental parameters from the K-ratios of a sample against its standards\n"
      "(an MLSQ fit per live time and beam current, or --kratios), iterated with a sum constraint.\n"
      "--forward prints the K-ratios the model predicts for a composition. A table's excitation,\n"
      "geometry and standards are read from TABLE.quant beside it when present.");
  parser.addPositionalArgument("SAMPLE.dat", "The sample's spectrum file (not with --kratios or --forward).",
                               "[SAMPLE.dat TABLE.ref]");
  parser.addPositionalArgument("TABLE.ref", "The standards table.", "");
  parser.addOption({"source", "Radionuclide source: fe55 (default), cd109 or am241.", "NAME"});
  parser.addOption({"tube", "X-ray tube instead of a source: anode, kV, Be window (um, default 125).",
                    "ANODE:KV[:WINDOW_UM]"});
  parser.addOption({"beam", "The beam as a text file of lines 'ENERGY_KEV WEIGHT' (instead of a source or tube).",
                    "FILE"});
  parser.addOption({"tube-angles", "Electron incidence and take-off angles at the anode (degrees, default 90,45).",
                    "IN,OUT"});
  parser.addOption({"angles", "Beam and detector angles to the sample's surface (degrees, default 45,45).", "IN,OUT"});
  parser.addOption({"balance", "normalise (default), or an element or formula taken by difference (Fe, O, CH2O).",
                    "EL|normalise"});
  parser.addOption({"line", "Line group the K-ratios are measured on: Ka (default), Kb or La.", "GROUP"});
  parser.addOption({"kratios", "K-ratios given directly (optionally with their errors).", "EL=K[:ERR],..."});
  parser.addOption({"standards", "Standards' compositions (default: the pure element).", "EL=FORMULA,..."});
  parser.addOption({"forward", "Print the K-ratios predicted for this composition (wt%).", "EL=WT,..."});
  parser.addOption({"areal-density", "The sample is a layer of this areal density (g/cm2); thick when absent.",
                    "G_CM2"});
  parser.addOption({"json", "Print one JSON object."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (const auto repeated = repeatedOption(parser)) return usageError("--" + repeated->toStdString() + " is given twice");
  const QStringList files = parser.positionalArguments();
  const bool direct = parser.isSet("kratios") || parser.isSet("forward");
  if (parser.isSet("kratios") && parser.isSet("forward")) return usageError("--kratios and --forward exclude each other");
  if (!expectPositionals(parser, direct ? 0 : 2, direct ? 0 : 2,
                         direct ? "--kratios EL=K,... or --forward EL=WT,... (no files)" : "SAMPLE.dat TABLE.ref"))
    return kExitUsage;

  QuantConditions conditions;
  if (!direct) {
    const auto fromFile = tableConditions(files[1].toLocal8Bit().toStdString());
    if (!fromFile) return kExitFailure;
    conditions = *fromFile;
  }
  if (!applyOptions(parser, conditions)) return kExitUsage;
  const auto density = arealDensity(parser);
  if (!density) return kExitUsage;
  if (parser.isSet("forward")) return printForward(parser, conditions, *density);

  const auto constraint = sumConstraintOf(conditions.balance);
  if (!constraint) return usageError("--balance is normalise, an element or a formula, not '" + conditions.balance + "'");

  QuantRequest request;
  request.constraint = *constraint;
  request.beam = conditions.beam();
  request.geometry = conditions.geometry;
  request.arealDensity = *density;
  if (parser.isSet("kratios")) {
    const auto given = elementValues(parser.value("kratios"), "kratios");
    if (!given) return kExitUsage;
    for (const ElementValue& v : *given) {
      const auto standard = standardOf(conditions, v.z);
      if (!standard) return kExitUsage;
      request.measured.push_back({v.z, conditions.line, *standard, v.value, v.error});
    }
  } else if (!kratiosFromTable(files[0].toLocal8Bit().toStdString(), files[1].toLocal8Bit().toStdString(), conditions,
                               request.measured)) {
    return kExitFailure;
  }
  const QuantResult result = quantify(request);
  for (const QuantElementResult& r : result.elements)
    if (r.measured && !r.excited && !r.byDifference)
      warn(elementSymbol(r.z) + " " + lineGroupName(r.group) +
           " is not excited by this beam: it is not quantified and not in the total");
  return printResult(parser, result);
}

std::optional<std::vector<ElementFraction>> standardOf(const QuantConditions& c, int z) {
  std::string error;
  auto fractions = standardComposition(c, z, &error);
  if (!fractions) usageError(error);
  return fractions;
}

std::optional<QuantConditions> tableConditions(const std::string& tablePath) {
  const TableConditionsRead read = readTableConditions(tablePath);
  if (!read.conditions) fail(code::kRefused, read.error);
  return read.conditions;
}

}  // namespace tolvane::cli
