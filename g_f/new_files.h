// New output text files: open_new_file creates one, with its reports, and
// the OutputFile it returns is written line by line and put in place whole.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "g_f/staged_file.h"

namespace orvalt {

struct Console;

// An output text file of open_new_file, written line by line and put in
// place whole by close(); remembers whether every write went through.
class OutputFile {
public:
    OutputFile() = default;
    bool is_open() const { return staged_.is_open(); }
    void write_line(std::string_view line);
    // Ends the writing without putting the file in place yet (close() does
    // that later); false if any write or the close failed.
    bool finish_writing();
    // Puts the file in place; false if any write, the close or the move failed
    // (then nothing of this file is left and an older one stays). With
    // `before`, that file is put in place first, the two together
    // (StagedFile::commit).
    bool close(OutputFile* before = nullptr);
    // Puts `after` in place together with this file, this one first, when
    // this one is pending; otherwise `after` alone. The result is `after`'s;
    // failed() and in_place() tell this one's.
    bool close_before(StagedFile& after, int& error);
    // Puts every one of `files` in place, none unless each was written whole
    // (StagedFile::commit_all); false when one failed, whose failed() and
    // error() then tell it.
    static bool close_all(std::span<OutputFile* const> files);
    // Drops what was written; an older file stays.
    void abandon() { staged_.abandon(); }
    // Whether this file was put in place.
    bool in_place() const { return staged_.put_in_place(); }
    bool failed() const { return failed_; }
    // Written but not yet put in place (nor abandoned).
    bool pending() const { return staged_.active() && !failed_; }
    // The system's error number of the failure, 0 when it gave none.
    int error() const { return error_; }

private:
    friend OutputFile open_new_file(Console&, std::string_view, std::int32_t, std::int32_t,
                                    std::int32_t&, std::int32_t, std::int32_t, std::int32_t);
    StagedFile staged_;
    bool failed_ = false;
    int error_ = 0;
};

// Creates (replacing, once closed) the named file. error_number 0 = open, 1 =
// failed (with the nine-line report, whatever iout). With iout nonzero
// reports an older version and the new file's full name.
OutputFile open_new_file(Console& con, std::string_view name, std::int32_t unit,
                         std::int32_t record_length, std::int32_t& error_number, std::int32_t il,
                         std::int32_t ia, std::int32_t iout);

}  // namespace orvalt
