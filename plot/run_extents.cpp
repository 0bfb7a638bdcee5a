// Vector lanes: four at a time with AVX on 64-bit x86 hosts whose processor
// has it, two at a time where the build has SSE2 (x86-64, and the 32-bit
// build, which asks for it), a plain loop of the same comparisons elsewhere.
#include "plot/run_extents.h"

#include <algorithm>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ORVALT_SSE2_EXTENT 1
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define ORVALT_AVX_EXTENT 1
#endif

namespace orvalt::plot {

// Each step keeps a < low ? a : low (and the like for high), which is what
// the minimum and maximum instructions do, a value that is not a number
// included. Finiteness is told apart by v - v, 0 for every finite value and
// not a number for the others, or (in AVX lanes, a step fewer) by the sum.
namespace {

// The values from i on, one at a time, into what the lanes found.
ValueExtent finish(const double* v, std::size_t i, std::size_t n, double low, double high,
                   double zero) {
    for (; i < n; ++i) {
        low = v[i] < low ? v[i] : low;
        high = v[i] > high ? v[i] : high;
        zero += v[i] - v[i];
    }
    return {low, high, zero == 0.0};
}

inline ValueExtent extent_in_lanes(const double* v, std::size_t n) {
    std::size_t i = 0;
#ifdef ORVALT_SSE2_EXTENT
    __m128d lo0 = _mm_set1_pd(v[0]), lo1 = lo0, hi0 = lo0, hi1 = lo0;
    __m128d z0 = _mm_setzero_pd(), z1 = z0;
    for (; i + 4 <= n; i += 4) {
        const __m128d a = _mm_loadu_pd(v + i), b = _mm_loadu_pd(v + i + 2);
        lo0 = _mm_min_pd(a, lo0);
        lo1 = _mm_min_pd(b, lo1);
        hi0 = _mm_max_pd(a, hi0);
        hi1 = _mm_max_pd(b, hi1);
        z0 = _mm_add_pd(z0, _mm_sub_pd(a, a));
        z1 = _mm_add_pd(z1, _mm_sub_pd(b, b));
    }
    double lo[2], hi[2], z[2];
    _mm_storeu_pd(lo, _mm_min_pd(lo0, lo1));
    _mm_storeu_pd(hi, _mm_max_pd(hi0, hi1));
    _mm_storeu_pd(z, _mm_add_pd(z0, z1));
    return finish(v, i, n, std::min(lo[0], lo[1]), std::max(hi[0], hi[1]), z[0] + z[1]);
#else
    return finish(v, i, n, v[0], v[0], 0.0);
#endif
}

#ifdef ORVALT_AVX_EXTENT
// Eight values a step in two sets of lanes. Finiteness comes from a running
// sum, one instruction a step: it is not finite when a value is not. Finite
// values whose sum overflows make a run look otherwise, and their caller
// then takes it value by value, as it would one that is not finite.
__attribute__((target("avx"))) void runs_avx(const double* v, std::size_t n, std::size_t per_run,
                                             ValueExtent* out) {
    for (std::size_t start = 0; start < n; start += per_run) {
        const double* r = v + start;
        const std::size_t m = std::min(per_run, n - start);
        if (m < 4) {
            *out++ = finish(r, 0, m, r[0], r[0], 0.0);
            continue;
        }
        __m256d lo0 = _mm256_loadu_pd(r), hi0 = lo0, s0 = lo0;
        __m256d lo1 = lo0, hi1 = lo0, s1 = _mm256_setzero_pd();
        std::size_t i = 4;
        for (; i + 8 <= m; i += 8) {
            const __m256d a = _mm256_loadu_pd(r + i), b = _mm256_loadu_pd(r + i + 4);
            lo0 = _mm256_min_pd(a, lo0);
            lo1 = _mm256_min_pd(b, lo1);
            hi0 = _mm256_max_pd(a, hi0);
            hi1 = _mm256_max_pd(b, hi1);
            s0 = _mm256_add_pd(s0, a);
            s1 = _mm256_add_pd(s1, b);
        }
        if (i + 4 <= m) {
            const __m256d a = _mm256_loadu_pd(r + i);
            lo0 = _mm256_min_pd(a, lo0);
            hi0 = _mm256_max_pd(a, hi0);
            s0 = _mm256_add_pd(s0, a);
            i += 4;
        }
        if (i < m) {
            // The last four values: a value taken twice changes no extreme.
            const __m256d a = _mm256_loadu_pd(r + m - 4);
            lo1 = _mm256_min_pd(a, lo1);
            hi1 = _mm256_max_pd(a, hi1);
            s1 = _mm256_add_pd(s1, a);
        }
        // Across the lanes in registers: four to two to one.
        const __m256d lo = _mm256_min_pd(lo0, lo1), hi = _mm256_max_pd(hi0, hi1);
        const __m256d sum = _mm256_add_pd(s0, s1);
        const __m128d l = _mm_min_pd(_mm256_castpd256_pd128(lo), _mm256_extractf128_pd(lo, 1));
        const __m128d h = _mm_max_pd(_mm256_castpd256_pd128(hi), _mm256_extractf128_pd(hi, 1));
        const __m128d s = _mm_add_pd(_mm256_castpd256_pd128(sum), _mm256_extractf128_pd(sum, 1));
        const double low = _mm_cvtsd_f64(_mm_min_sd(l, _mm_unpackhi_pd(l, l)));
        const double high = _mm_cvtsd_f64(_mm_max_sd(h, _mm_unpackhi_pd(h, h)));
        const double total = _mm_cvtsd_f64(_mm_add_sd(s, _mm_unpackhi_pd(s, s)));
        *out++ = {low, high, total - total == 0.0};
    }
}
#endif

}  // namespace

void extents_of_runs(const double* v, std::size_t n, std::size_t per_run, ValueExtent* out) {
#ifdef ORVALT_AVX_EXTENT
    if (__builtin_cpu_supports("avx")) {
        runs_avx(v, n, per_run, out);
        return;
    }
#endif
    for (std::size_t start = 0; start < n; start += per_run)
        *out++ = extent_in_lanes(v + start, std::min(per_run, n - start));
}

}  // namespace orvalt::plot
