#include "quant/excitation_beam.h"

#include <xraylib.h>

#include <algorithm>
#include <string>

#include "quant/xray_data.h"

namespace tolvane {

namespace {

// Lines below 1 keV are absorbed in air and any window before the sample,
// and gammas weaker than this add nothing a K-ratio could show.
constexpr double kLowestKev = 1.0;
constexpr double kWeakestShare = 1e-5;

}  // namespace

double ExcitationBeam::maxEnergyKev() const {
  double top = 0.0;
  for (const BeamLine& line : lines)
    if (line.weight > 0.0) top = std::max(top, line.energyKev);
  return top;
}

std::optional<Radionuclide> radionuclideFromName(std::string_view name) {
  std::string key;
  for (char c : name)
    if (c != '-') key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (key == "fe55" || key == "55fe") return Radionuclide::Fe55;
  if (key == "cd109" || key == "109cd") return Radionuclide::Cd109;
  if (key == "am241" || key == "241am") return Radionuclide::Am241;
  return std::nullopt;
}

const char* radionuclideName(Radionuclide source) {
  switch (source) {
    case Radionuclide::Fe55:
      return "fe55";
    case Radionuclide::Cd109:
      return "cd109";
    case Radionuclide::Am241:
      return "am241";
  }
  return "fe55";
}

ExcitationBeam radionuclideBeam(Radionuclide source) {
  const char* tableName = source == Radionuclide::Fe55 ? "55Fe" : source == Radionuclide::Cd109 ? "109Cd" : "241Am";
  xrl_error* error = nullptr;
  radioNuclideData* data = GetRadioNuclideDataByName(tableName, &error);
  if (error != nullptr) xrl_error_free(error);
  ExcitationBeam beam;
  if (data == nullptr) return beam;
  double strongest = 0.0;
  for (int i = 0; i < data->nXrays; ++i) strongest = std::max(strongest, data->XrayIntensities[i]);
  for (int i = 0; i < data->nGammas; ++i) strongest = std::max(strongest, data->GammaIntensities[i]);
  for (int i = 0; i < data->nXrays; ++i) {
    const double energy = lineEnergy(data->Z_xray, data->XrayLines[i]);
    if (energy >= kLowestKev && data->XrayIntensities[i] > kWeakestShare * strongest)
      beam.lines.push_back({energy, data->XrayIntensities[i]});
  }
  for (int i = 0; i < data->nGammas; ++i)
    if (data->GammaEnergies[i] >= kLowestKev && data->GammaIntensities[i] > kWeakestShare * strongest)
      beam.lines.push_back({data->GammaEnergies[i], data->GammaIntensities[i]});
  FreeRadioNuclideData(data);
  std::sort(beam.lines.begin(), beam.lines.end(),
            [](const BeamLine& a, const BeamLine& b) { return a.energyKev < b.energyKev; });
  return beam;
}

}  // namespace tolvane
