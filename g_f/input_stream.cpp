// InputStream: plain files read through stdio; gzip through zlib's inflate,
// bzip2 through libbz2, both fed from a buffer of the compressed bytes. A
// file may hold several compressed streams one after the other (parallel
// compressors write them so); their texts follow each other.
#include "g_f/input_stream.h"

#include <algorithm>
#include <limits>

#include <zlib.h>
#ifdef ORVALT_HAVE_BZIP2
#include <bzlib.h>
#endif

#include "g_f/file_operations.h"

namespace orvalt {

namespace {

constexpr std::size_t compressed_block = std::size_t{256} << 10;

bool ends_with_any_case(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    const std::string_view tail = name.substr(name.size() - suffix.size());
    return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a + 32) : a) == b;
    });
}

// The decoders take 32-bit counts.
unsigned int chunk(std::size_t n) {
    return static_cast<unsigned int>(std::min<std::size_t>(n, std::numeric_limits<unsigned int>::max()));
}

}  // namespace

Compression compression_of(std::string_view name) {
    if (ends_with_any_case(name, ".gz")) return Compression::gzip;
    if (ends_with_any_case(name, ".bz2")) return Compression::bzip2;
    return Compression::none;
}

bool compression_supported(Compression c) {
#ifdef ORVALT_HAVE_BZIP2
    (void)c;
    return true;
#else
    return c != Compression::bzip2;
#endif
}

std::string_view without_compression_suffix(std::string_view name) {
    switch (compression_of(name)) {
        case Compression::gzip: return name.substr(0, name.size() - 3);
        case Compression::bzip2: return name.substr(0, name.size() - 4);
        case Compression::none: break;
    }
    return name;
}

std::string_view fault_text(InputStream::Fault fault, Compression compression) {
    const bool gz = compression == Compression::gzip;
    switch (fault) {
        case InputStream::Fault::none: return {};
        case InputStream::Fault::read_error: return "Error reading the file";
        case InputStream::Fault::corrupt:
            return gz ? "The gzip file is corrupt" : "The bzip2 file is corrupt";
        case InputStream::Fault::truncated:
            return gz ? "The gzip file is truncated (it ends too early)"
                      : "The bzip2 file is truncated (it ends too early)";
        case InputStream::Fault::unsupported:
            return "This build does not read .bz2 files: decompress it first";
        case InputStream::Fault::too_large:
            return gz ? "The gzip file holds more than 512 MiB of text: decompress it first"
                      : "The bzip2 file holds more than 512 MiB of text: decompress it first";
    }
    return {};
}

// One compressed stream after the other, from a buffer of compressed bytes.
struct InputStream::Decoder {
    Compression kind;
    z_stream z{};
#ifdef ORVALT_HAVE_BZIP2
    bz_stream bz{};
#endif
    bool live = false;      // a stream has begun and not ended
    bool any = false;       // a stream has begun at all
    bool input_end = false;
    std::unique_ptr<char[]> in = std::make_unique_for_overwrite<char[]>(compressed_block);
    const char* next = nullptr;
    std::size_t avail = 0;

    explicit Decoder(Compression k) : kind(k) {}
    ~Decoder() { end_stream(); }

    bool begin_stream() {
        live = kind == Compression::gzip
                   ? inflateInit2(&z, 15 + 16) == Z_OK  // gzip framing only
#ifdef ORVALT_HAVE_BZIP2
                   : BZ2_bzDecompressInit(&bz, 0, 0) == BZ_OK;
#else
                   : false;
#endif
        any = any || live;
        return live;
    }
    void end_stream() {
        if (!live) return;
        if (kind == Compression::gzip) inflateEnd(&z);
#ifdef ORVALT_HAVE_BZIP2
        else BZ2_bzDecompressEnd(&bz);
#endif
        live = false;
    }
    enum class Step { more, stream_end, error };
    // Decodes from the buffered input into out; `made` bytes written.
    Step step(char* out, std::size_t n, std::size_t& made) {
        Step result = Step::error;
        std::size_t left_in = 0, left_out = 0;
        if (kind == Compression::gzip) {
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(next));
            z.avail_in = chunk(avail);
            z.next_out = reinterpret_cast<Bytef*>(out);
            z.avail_out = chunk(n);
            const int rc = inflate(&z, Z_NO_FLUSH);
            result = rc == Z_STREAM_END ? Step::stream_end
                     : rc == Z_OK || rc == Z_BUF_ERROR ? Step::more
                                                       : Step::error;
            left_in = z.avail_in;
            left_out = z.avail_out;
        } else {
#ifdef ORVALT_HAVE_BZIP2
            bz.next_in = const_cast<char*>(next);
            bz.avail_in = chunk(avail);
            bz.next_out = out;
            bz.avail_out = chunk(n);
            const int rc = BZ2_bzDecompress(&bz);
            result = rc == BZ_STREAM_END ? Step::stream_end : rc == BZ_OK ? Step::more : Step::error;
            left_in = bz.avail_in;
            left_out = bz.avail_out;
#endif
        }
        const std::size_t taken = chunk(avail) - left_in;
        next += taken;
        avail -= taken;
        made = chunk(n) - left_out;
        return result;
    }
};

InputStream::InputStream() = default;
InputStream::~InputStream() { close(); }

bool InputStream::open(const std::string& path, std::uint64_t text_limit) {
    close();
    text_limit_ = text_limit;
    file_ = open_regular_for_reading(path);
    if (file_ == nullptr) return false;
    // The readers have blocks of their own; a second buffer in stdio would only copy.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    compression_ = compression_of(path);
    if (compression_ != Compression::none) {
        if (compression_supported(compression_)) decoder_ = std::make_unique<Decoder>(compression_);
        else fault_ = Fault::unsupported;
    }
    return true;
}

void InputStream::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    decoder_.reset();
    compression_ = Compression::none;
    position_ = 0;
    fault_ = Fault::none;
    copy_ = nullptr;
    copied_ = 0;
    copy_failed_ = false;
    text_size_.reset();
}

std::size_t InputStream::read(char* out, std::size_t n) {
    if (file_ == nullptr || fault_ != Fault::none) return 0;
    std::size_t got = 0;
    if (decoder_) {
        // One byte past the limit tells a text that ends at it from a longer one.
        const std::uint64_t room = position_ < text_limit_ ? text_limit_ - position_ : 0;
        const std::size_t want = room < n ? static_cast<std::size_t>(room) + 1 : n;
        got = decode(out, want);
        if (position_ + got > text_limit_) {
            got = static_cast<std::size_t>(text_limit_ - position_);
            fault_ = Fault::too_large;
        }
    } else {
        got = std::fread(out, 1, n, file_);
        if (std::ferror(file_) != 0) fault_ = Fault::read_error;
    }
    if (got < n && fault_ == Fault::none) text_size_ = position_ + got;
    // Only what lies beyond the copy's end: a line read again is in it already.
    if (copy_ != nullptr && !copy_failed_ && position_ <= copied_ && position_ + got > copied_) {
        const auto skip = static_cast<std::size_t>(copied_ - position_);
        const std::size_t more = got - skip;
        if (std::fwrite(out + skip, 1, more, copy_) != more) copy_failed_ = true;
        copied_ += more;
    }
    position_ += got;
    return got;
}

std::size_t InputStream::decode(char* out, std::size_t n) {
    Decoder& d = *decoder_;
    std::size_t got = 0;
    while (got < n) {
        if (d.avail == 0 && !d.input_end) {
            const std::size_t read = std::fread(d.in.get(), 1, compressed_block, file_);
            if (std::ferror(file_) != 0) {
                fault_ = Fault::read_error;
                break;
            }
            d.next = d.in.get();
            d.avail = read;
            d.input_end = read == 0;
        }
        if (!d.live) {
            // The text ends with the last stream; an empty file holds none.
            if (d.avail == 0) {
                if (!d.any) fault_ = Fault::truncated;
                break;
            }
            // Zero bytes after a gzip member are padding (tape blocks), as
            // gzip itself takes them; no member begins with one.
            if (d.any && d.kind == Compression::gzip && *d.next == '\0') {
                fault_ = padding_fault();
                break;
            }
            if (!d.begin_stream()) {
                fault_ = Fault::corrupt;
                break;
            }
        }
        const std::size_t had = d.avail;
        std::size_t made = 0;
        const Decoder::Step s = d.step(out + got, n - got, made);
        got += made;
        if (s == Decoder::Step::error) {
            fault_ = Fault::corrupt;
            break;
        }
        if (s == Decoder::Step::stream_end) {
            d.end_stream();
        } else if (made == 0 && d.avail == had && (d.avail > 0 || d.input_end)) {
            // No way on: the input ended inside a stream, or it will not decode.
            fault_ = d.input_end ? Fault::truncated : Fault::corrupt;
            break;
        }
    }
    return got;
}

InputStream::Fault InputStream::padding_fault() {
    Decoder& d = *decoder_;
    for (;;) {
        for (; d.avail > 0; ++d.next, --d.avail)
            if (*d.next != '\0') return Fault::corrupt;
        if (d.input_end) return Fault::none;
        const std::size_t read = std::fread(d.in.get(), 1, compressed_block, file_);
        if (std::ferror(file_) != 0) return Fault::read_error;
        d.next = d.in.get();
        d.avail = read;
        d.input_end = read == 0;
    }
}

bool InputStream::seek(std::uint64_t offset) {
    if (file_ == nullptr) return false;
    if (!decoder_) {
        if (fault_ == Fault::unsupported || !seek_to(file_, offset)) return false;
        fault_ = Fault::none;
        position_ = offset;
        return true;
    }
    if (offset < position_ || fault_ != Fault::none) {
        if (!seek_to(file_, 0)) return false;
        decoder_ = std::make_unique<Decoder>(compression_);
        position_ = 0;
        fault_ = Fault::none;
    }
    char skipped[16384];
    while (position_ < offset) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof skipped, offset - position_));
        if (read(skipped, want) != want) return false;
    }
    return true;
}

}  // namespace orvalt
