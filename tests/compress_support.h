// Compressed copies of test texts, made with the same libraries the reader
// decompresses with.
#pragma once

#include <bzlib.h>
#include <zlib.h>

#include <stdexcept>
#include <string>

namespace orvalt::test {

// One gzip member holding `text`.
inline std::string gzip(const std::string& text) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, static_cast<uLong>(text.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

// One bzip2 stream holding `text`.
inline std::string bzip2(const std::string& text) {
    std::string out(text.size() + text.size() / 100 + 600, '\0');
    auto n = static_cast<unsigned int>(out.size());
    if (BZ2_bzBuffToBuffCompress(out.data(), &n, const_cast<char*>(text.data()),
                                 static_cast<unsigned int>(text.size()), 9, 0, 0) != BZ_OK)
        throw std::runtime_error("BZ2_bzBuffToBuffCompress");
    out.resize(n);
    return out;
}

}  // namespace orvalt::test
