// Four-wide square roots: AVX on 64-bit x86 hosts whose processor has it;
// elsewhere nothing is done and the caller's own loop takes the roots.
#include "g_f/vector_roots.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define ORVALT_WIDE_ROOTS 1
#endif

namespace orvalt {

#ifdef ORVALT_WIDE_ROOTS
namespace {
// Four roots an instruction where the build itself may use only two.
__attribute__((target("avx"))) void copy_and_roots_avx(const double* in, double* copy,
                                                       double* roots, std::size_t n) {
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256d v = _mm256_loadu_pd(in + i);
        _mm256_storeu_pd(copy + i, v);
        _mm256_storeu_pd(roots + i, _mm256_sqrt_pd(v));
    }
    for (; i < n; ++i) {
        const __m128d v = _mm_load_sd(in + i);
        _mm_store_sd(copy + i, v);
        _mm_store_sd(roots + i, _mm_sqrt_sd(_mm_setzero_pd(), v));
    }
}
}  // namespace
#endif

bool copy_and_roots_wide(const double* in, double* copy, double* roots, std::size_t n) {
#ifdef ORVALT_WIDE_ROOTS
    if (__builtin_cpu_supports("avx")) {
        copy_and_roots_avx(in, copy, roots, n);
        return true;
    }
#else
    (void)in;
    (void)copy;
    (void)roots;
    (void)n;
#endif
    return false;
}

}  // namespace orvalt
