// New output text files: open_new_file creates one, with its reports, and
// the OutputFile it returns is written line by line and put in place whole.
#pragma once

#include <cstdint>
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
    // Puts the file in place; false if any write, the close or the move failed
    // (then nothing of this file is left and an older one stays).
    bool close();
    bool failed() const { return failed_; }
    // The system's error number of a failed close, when it gave one.
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
