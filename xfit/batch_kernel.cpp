#include "xfit/batch_kernel.h"

#include <cstring>

namespace tolvane {

namespace {

// Bit pattern of 1.5 x 2^52: added to a whole number below 2^51 in size as
// integers and subtracted as doubles, it gives that number as a double,
// exactly (the lobe sums stay below 2^44).
constexpr int64_t kMagicBits = 0x4338000000000000;
constexpr double kMagic = 6755399441055744.0;

// Lanes x doubles and lanes x 64-bit integers, one sample per lane.
template <int W>
struct Vectors {
  typedef double D __attribute__((vector_size(8 * W), may_alias));
  typedef int64_t I __attribute__((vector_size(8 * W), may_alias));
};

// The running sums of the counts of `len` channels from c0 on, for four
// samples side by side, into out[1..len] (out[0] is 0). Four channels at a
// time: each sample's four counts are loaded together and turned into four
// vectors of one channel each, which are widened and added on. Integer
// sums, so the same values as summing sample by sample. Every sample must
// hold all those channels.
[[gnu::always_inline]] inline void columnPrefixSums4(const int32_t* const* counts, int32_t c0, int32_t len,
                                                     Vectors<4>::I* out) {
  using I = Vectors<4>::I;
  typedef int32_t Words __attribute__((vector_size(16)));
  I sum = {};
  out[0] = sum;
  int32_t k = 0;
  for (; k + 4 <= len; k += 4) {
    Words r0, r1, r2, r3;
    std::memcpy(&r0, counts[0] + c0 + k, sizeof r0);
    std::memcpy(&r1, counts[1] + c0 + k, sizeof r1);
    std::memcpy(&r2, counts[2] + c0 + k, sizeof r2);
    std::memcpy(&r3, counts[3] + c0 + k, sizeof r3);
    const Words t0 = __builtin_shufflevector(r0, r1, 0, 4, 1, 5);
    const Words t1 = __builtin_shufflevector(r0, r1, 2, 6, 3, 7);
    const Words t2 = __builtin_shufflevector(r2, r3, 0, 4, 1, 5);
    const Words t3 = __builtin_shufflevector(r2, r3, 2, 6, 3, 7);
    out[k + 1] = sum += __builtin_convertvector(__builtin_shufflevector(t0, t2, 0, 1, 4, 5), I);
    out[k + 2] = sum += __builtin_convertvector(__builtin_shufflevector(t0, t2, 2, 3, 6, 7), I);
    out[k + 3] = sum += __builtin_convertvector(__builtin_shufflevector(t1, t3, 0, 1, 4, 5), I);
    out[k + 4] = sum += __builtin_convertvector(__builtin_shufflevector(t1, t3, 2, 3, 6, 7), I);
  }
  for (; k < len; ++k) {
    const I column = {counts[0][c0 + k], counts[1][c0 + k], counts[2][c0 + k], counts[3][c0 + k]};
    out[k + 1] = sum += column;
  }
}

size_t scratchVectors(const BatchPlanView& plan) {
  return static_cast<size_t>(plan.packed) + 34 * static_cast<size_t>(plan.runCount) +
         2 * static_cast<size_t>(plan.packed) + static_cast<size_t>(kMaxStandards) * 2 * kMaxStandards + kMaxStandards;
}

// The kernel body, written once and built for each vector unit by the
// entry points below. It is forced inline so each entry point gets its own
// copy compiled for its unit.
template <int W>
[[gnu::always_inline]] inline void fitGroup(const BatchPlanView& plan, const int32_t* const* countsIn,
                                            const int32_t* nIn, int count, void* scratch, BatchFit* out) {
  using D = typename Vectors<W>::D;
  using I = typename Vectors<W>::I;
  // Lanes past `count` repeat the first sample; their results are dropped.
  const int32_t* counts[W];
  I n;
  for (int l = 0; l < W; ++l) {
    const int k = l < count ? l : 0;
    counts[l] = countsIn[k];
    n[l] = nIn[k];
  }
  const D zero = {};
  const D one = zero + 1.0;
  const I magicBits = I{} + kMagicBits;
  D asDouble;

  I* prefix = static_cast<I*>(scratch);
  D* y = reinterpret_cast<D*>(prefix + plan.packed + 34 * plan.runCount);
  D* v = y + plan.packed;
  D(*a)[2 * kMaxStandards] = reinterpret_cast<D(*)[2 * kMaxStandards]>(v + plan.packed);
  D* rhs = reinterpret_cast<D*>(a + kMaxStandards);

  // The filter and its variance on the window channels, run by run, from
  // prefix sums of the counts from 17 channels before the run to 16 after
  // it: whole numbers, so the same values as the single fit's filter.
  // The sums are formed for every run first (across the samples four
  // channels at a time with four lanes, sample by sample otherwise), and
  // read back as vectors afterwards.
  int32_t fewest = n[0];
  for (int l = 1; l < W; ++l) fewest = fewest < n[l] ? fewest : static_cast<int32_t>(n[l]);
  I* runPrefix = prefix;
  for (int32_t r = 0; r < plan.runCount; ++r) {
    const BatchRun run = plan.runs[r];
    const int32_t c0 = run.first - 17, len = run.last - run.first + 34;
    // With four lanes (AVX2) the sums go across the samples; otherwise, and
    // for a run reaching past either end of some sample's channels, lane by
    // lane (the channels a sample lacks count as 0). Two lanes gain nothing
    // from going across: without SSE4.1 the widening costs more than it saves.
    if constexpr (W == 4) {
      if (c0 >= 0 && c0 + len <= fewest) {
        columnPrefixSums4(counts, c0, len, runPrefix);
        runPrefix += len + 1;
        continue;
      }
    }
    auto* sums = reinterpret_cast<int64_t*>(runPrefix);
    for (int l = 0; l < W; ++l) {
      const int32_t* in = counts[l];
      int64_t sum = 0;
      sums[l] = 0;
      if (c0 >= 0 && c0 + len <= n[l]) {
        for (int32_t k = 0; k < len; ++k) sums[(k + 1) * W + l] = sum += in[c0 + k];
      } else {
        for (int32_t k = 0; k < len; ++k) {
          const int32_t c = c0 + k;
          sums[(k + 1) * W + l] = sum += c >= 0 && c < n[l] ? in[c] : 0;
        }
      }
    }
    runPrefix += len + 1;
  }
  runPrefix = prefix;
  for (int32_t r = 0; r < plan.runCount; ++r) {
    const BatchRun run = plan.runs[r];
    const I* p0 = runPrefix;
    for (int32_t i = run.first; i <= run.last; ++i) {
      const I* q = p0 + (i - run.first);
      const I left = q[8] - q[0];
      const I centre = q[24] - q[8];
      const I right = q[32] - q[24];
      const I total = q[33] - q[1];
      const I inside = (I{} + i) < n;  // all ones where the sample has channel i
      const I filtered = i + 14 <= kFitChannels - 1 ? inside & (centre - left - right) : I{};
      const I variance = i + 15 <= kFitChannels - 1 ? inside & total : I{};
      const int32_t p = run.index + (i - run.first);
      I bits = filtered + magicBits;
      std::memcpy(&asDouble, &bits, sizeof bits);
      y[p] = asDouble - kMagic;
      bits = variance + magicBits;
      std::memcpy(&asDouble, &bits, sizeof bits);
      const D vp = asDouble - kMagic;
      v[p] = vp == zero ? one : vp;  // a variance of 0 is taken as 1.0
    }
    runPrefix += run.last - run.first + 35;
  }

  // The right-hand side and the normal matrix: each term (S x Y) / V or
  // (S_i x S_j) / V, added in channel order from 0.
  const int m = plan.standards;
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < m; ++j) a[i][j] = zero;
  for (int i = 0; i < m; ++i) {
    const double* s = plan.filtered + static_cast<ptrdiff_t>(i) * plan.packed;
    const int32_t low = plan.low[i], high = plan.high[i];
    D r = zero, d = zero;
    if (plan.diagonal[i] >= 0) {
      const double* product = plan.products + plan.diagonal[i] - low;
      for (int32_t p = low; p < high; ++p) {
        const D vp = v[p];
        r += (s[p] * y[p]) / vp;
        d += product[p] / vp;
      }
    }
    rhs[i] = r;
    a[i][i] = d;
  }
  for (int32_t q = 0; q < plan.pairCount; ++q) {
    const BatchPair pair = plan.pairs[q];
    const double* product = plan.products + pair.product - pair.low;
    D sum = zero;
    for (int32_t p = pair.low; p < pair.high; ++p) sum += product[p] / v[p];
    a[pair.i][pair.j] = sum;
  }
  for (int i = 0; i < m - 1; ++i)
    for (int j = i + 1; j < m; ++j) a[j][i] = a[i][j];

  // Gauss-Jordan on [A | I], pivots in order without exchanges; a lane
  // meeting a zero or non-finite pivot is not fitted.
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < m; ++j) a[i][m + j] = i == j ? one : zero;
  I bad = {};
  for (int p = 0; p < m; ++p) {
    const D d = a[p][p];
    bad |= (d == zero) | (d * 0.0 != zero);
    for (int k = 0; k < 2 * m; ++k) a[p][k] /= d;
    for (int r = 0; r < m; ++r) {
      if (r == p) continue;
      const D f = a[r][p];
      for (int k = 0; k < 2 * m; ++k) a[r][k] -= f * a[p][k];
    }
  }
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < m; ++j) a[i][j] = a[i][m + j];

  // Coefficients, and the errors from the diagonal of the inverse.
  for (int i = 0; i < m; ++i) {
    D sum = zero;
    for (int j = 0; j < m; ++j) sum += a[i][j] * rhs[j];
    const D e = static_cast<double>(plan.factor) * a[i][i];
    for (int l = 0; l < count; ++l) {
      const double err = e[l] > 0 ? __builtin_sqrt(e[l]) * 3 * 100 : 100;
      out[l].coefficients[static_cast<size_t>(i)] = sum[l];
      out[l].errors[static_cast<size_t>(i)] = err;
      if (sum[l] * 0.0 != 0.0 || err * 0.0 != 0.0) bad[l] = -1;
    }
  }
  for (int l = 0; l < count; ++l) out[l].fitted = bad[l] == 0;
}

void fitGroupBaseline(const BatchPlanView& plan, const int32_t* const* counts, const int32_t* n, int count,
                      void* scratch, BatchFit* out) {
  fitGroup<2>(plan, counts, n, count, scratch, out);
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] void fitGroupAvx2(const BatchPlanView& plan, const int32_t* const* counts, const int32_t* n,
                                          int count, void* scratch, BatchFit* out) {
  fitGroup<4>(plan, counts, n, count, scratch, out);
}

[[gnu::target("avx512f")]] void fitGroupAvx512(const BatchPlanView& plan, const int32_t* const* counts,
                                               const int32_t* n, int count, void* scratch, BatchFit* out) {
  fitGroup<8>(plan, counts, n, count, scratch, out);
}
#endif

}  // namespace

size_t batchScratchBytes(const BatchPlanView& plan, BatchPath path) {
  return scratchVectors(plan) * 8 * static_cast<size_t>(batchLanes(path));
}

void fitBatchGroup(BatchPath path, const BatchPlanView& plan, const int32_t* const* counts, const int32_t* n, int count,
                   void* scratch, BatchFit* out) {
#if defined(__x86_64__)
  if (path == BatchPath::Avx512) return fitGroupAvx512(plan, counts, n, count, scratch, out);
  if (path == BatchPath::Avx2) return fitGroupAvx2(plan, counts, n, count, scratch, out);
#endif
  fitGroupBaseline(plan, counts, n, count, scratch, out);
}

}  // namespace tolvane
