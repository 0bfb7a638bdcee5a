// The bytes of an input file as its readers see them: a plain file as it
// stands, a .gz or .bz2 file decompressed as it is read. Offsets count bytes
// of the text, so every pass over a compressed file sees what it would see
// in the plain one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "g_f/file_identity.h"

namespace orvalt {

// By the name's last extension, in any case: ".gz" gzip, ".bz2" bzip2.
enum class Compression { none, gzip, bzip2 };
Compression compression_of(std::string_view name);

// False where this build has no decoder for it (bzip2 in the Windows build).
bool compression_supported(Compression c);

// The name without a ".gz" or ".bz2" at its end.
std::string_view without_compression_suffix(std::string_view name);

class InputStream {
public:
    // What ended the reading early; none at the end of the text.
    enum class Fault { none, read_error, corrupt, truncated, unsupported, too_large };

    // The most text a compressed file may hold. Far more than a measurement
    // within the program's limits can: 200 scans of 25,000 points, each
    // number in full precision in the four lists a scan may carry, come to
    // about 480 MiB. A file that decompresses beyond it (a few kilobytes can
    // hold gigabytes of blanks) ends the reading with Fault::too_large.
    static constexpr std::uint64_t max_text = std::uint64_t{512} << 20;

    InputStream();
    ~InputStream();
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

    // False unless `path` is a regular file that could be opened. Whether
    // it is compressed follows from its name; a damaged archive opens and
    // then fails at the first read of the damaged part. `text_limit` is the
    // most a compressed file's text may hold.
    bool open(const std::string& path, std::uint64_t text_limit = max_text);
    void close();
    bool is_open() const { return file_ != nullptr; }

    // Up to n bytes of the text; fewer only at its end or at a fault.
    std::size_t read(char* out, std::size_t n);
    // Goes on reading at `offset` bytes from the text's start. In
    // compressed text that decompresses what lies between, from the file's
    // start when the offset lies behind. False when the text is shorter, or
    // cannot be positioned (a fault).
    bool seek(std::uint64_t offset);
    Fault fault() const { return fault_; }
    // What the file open is now (file_identity.h): its identity, size and
    // modification time; false when it cannot be told.
    bool stamp(FileStamp& out) const { return file_stamp(file_, out); }

    // From here on every byte of the text read for the first time is also
    // written to `copy` (a decompressed copy that later passes read instead
    // of decompressing again); a write that fails ends the copying.
    void copy_to(std::FILE* copy) { copy_ = copy; }
    // The whole text has been read and written to the copy.
    bool copy_complete() const {
        return copy_ != nullptr && !copy_failed_ && text_size_ && copied_ == *text_size_;
    }
    // A write to the copy failed (a full disk): the copy is of no use.
    bool copy_failed() const { return copy_failed_; }

private:
    struct Decoder;
    std::size_t decode(char* out, std::size_t n);
    // What the rest of a compressed file after a stream's end is: none when
    // it is zero bytes (read to its end), else corrupt or read_error.
    Fault padding_fault();
    std::FILE* file_ = nullptr;
    std::unique_ptr<Decoder> decoder_;
    Compression compression_ = Compression::none;
    std::uint64_t text_limit_ = max_text;
    std::uint64_t position_ = 0;  // in the text
    Fault fault_ = Fault::none;
    std::FILE* copy_ = nullptr;
    std::uint64_t copied_ = 0;    // bytes of the text written to copy_
    bool copy_failed_ = false;
    std::optional<std::uint64_t> text_size_;  // known once a read has met the end
};

// One line telling what a fault means for the user.
std::string_view fault_text(InputStream::Fault fault, Compression compression);

}  // namespace orvalt
