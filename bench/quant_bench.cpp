// One quantification of an 8-element steel under a 30 kV Rh tube by
// fundamental parameters: the atomic data looked up, the standards'
// intensities, the iteration and the error propagation (one re-solve per
// element). The tube spectrum is made once, as a table's conditions are.
#include <benchmark/benchmark.h>

#include "quant/concentration_solver.h"
#include "quant/ebel_tube.h"

namespace tolvane {
namespace {

QuantRequest steelRequest() {
  QuantRequest request;
  TubeSettings tube;
  tube.anodeZ = 45;
  request.beam = ebelTubeBeam(tube);
  const std::vector<ElementFraction> steel = {{26, 0.68}, {24, 0.18}, {28, 0.08}, {25, 0.015},
                                              {14, 0.005}, {42, 0.02}, {29, 0.012}, {23, 0.008}};
  for (const ElementFraction& f : steel) request.measured.push_back({f.z, LineGroup::KAlpha, {{f.z, 1.0}}, 0.0, 0.0});
  const auto k = forwardKratios(request.measured, steel, request.beam, request.geometry);
  for (size_t i = 0; i < k.size(); ++i) {
    request.measured[i].kratio = k[i].kratio;
    request.measured[i].kratioError = 0.01 * k[i].kratio;
  }
  return request;
}

void BM_QuantifySteel8Elements(benchmark::State& state) {
  const QuantRequest request = steelRequest();
  for (auto _ : state) {
    const QuantResult result = quantify(request);
    benchmark::DoNotOptimize(result.total);
  }
}
BENCHMARK(BM_QuantifySteel8Elements)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_EbelTubeSpectrum(benchmark::State& state) {
  TubeSettings tube;
  tube.anodeZ = 45;
  for (auto _ : state) benchmark::DoNotOptimize(ebelTubeBeam(tube).lines.size());
}
BENCHMARK(BM_EbelTubeSpectrum)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

// The model's set-up alone (the xraylib look-ups), and one evaluation.
void BM_FluorescenceModelSetUp(benchmark::State& state) {
  const QuantRequest request = steelRequest();
  std::vector<int> elements;
  std::vector<AnalyteLine> analytes;
  for (const MeasuredElement& m : request.measured) {
    elements.push_back(m.z);
    analytes.push_back({m.z, m.group});
  }
  for (auto _ : state) {
    const FluorescenceModel model(elements, analytes, request.beam);
    benchmark::DoNotOptimize(model.excited(0));
  }
}
BENCHMARK(BM_FluorescenceModelSetUp)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_FluorescenceModelEvaluation(benchmark::State& state) {
  const QuantRequest request = steelRequest();
  std::vector<int> elements;
  std::vector<AnalyteLine> analytes;
  for (const MeasuredElement& m : request.measured) {
    elements.push_back(m.z);
    analytes.push_back({m.z, m.group});
  }
  const FluorescenceModel model(elements, analytes, request.beam);
  const std::vector<double> steel = {0.68, 0.18, 0.08, 0.015, 0.005, 0.02, 0.012, 0.008};
  for (auto _ : state) benchmark::DoNotOptimize(model.intensities(steel).front().primary);
}
BENCHMARK(BM_FluorescenceModelEvaluation)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace tolvane
