// Which of 64 bytes of text are digits and which are blanks, one bit per
// byte (bit k for byte k): the readers of long lists find their fields from
// these. With SSE2, which every x86-64 processor has, 16 bytes at a time;
// elsewhere 8 at a time in a 64-bit word, with no carry from one byte into
// the next.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvalt {

struct ByteClasses {
    std::uint64_t digits = 0;  // '0' to '9'
    std::uint64_t blanks = 0;  // ' '
};

inline ByteClasses classify_64_bytes(const char* p) {
    ByteClasses c;
#if defined(__SSE2__)
    // Bytes compare as signed: those from 0x80 up are below '0'.
    const __m128i below_zero = _mm_set1_epi8('0' - 1), above_nine = _mm_set1_epi8('9' + 1),
                  blank = _mm_set1_epi8(' ');
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(v, below_zero), _mm_cmplt_epi8(v, above_nine));
        c.digits |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(digit))} << (16 * k);
        c.blanks |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, blank)))}
                    << (16 * k);
    }
#else
    // One bit per byte of w (bit k for byte k), set where the byte's top bit is.
    const auto top_bits = [](std::uint64_t w) {
        return (((w >> 7) & 0x0101010101010101) * 0x0102040810204080) >> 56;
    };
    constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7F;
    for (int k = 0; k < 8; ++k) {
        std::uint64_t w;
        std::memcpy(&w, p + 8 * k, 8);
        const std::uint64_t a = w ^ 0x3030303030303030;  // digits become 0 to 9
        const std::uint64_t d = ~top_bits(((a & low7) + 0x7676767676767676) | a) & 0xFF;
        const std::uint64_t s = w ^ 0x2020202020202020;  // blanks become 0
        const std::uint64_t b = ~top_bits(((s & low7) + low7) | s) & 0xFF;
        c.digits |= d << (8 * k);
        c.blanks |= b << (8 * k);
    }
#endif
    return c;
}

}  // namespace orvalt
