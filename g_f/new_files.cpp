// open_new_file and the OutputFile it returns.
#include "g_f/new_files.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "g_f/console.h"
#include "g_f/file_operations.h"
#include "g_f/input_files.h"
#include "g_f/text.h"

namespace orvalt {

namespace {

constexpr std::size_t own_full_name_length = 4096;  // open_new_file's full-name field

}  // namespace

void OutputFile::write_line(std::string_view line) {
    std::FILE* f = staged_.stream();
    if (f == nullptr) {
        failed_ = true;
        return;
    }
    if (failed_) return;
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), f) != line.size() || std::fputc('\n', f) == EOF) {
        failed_ = true;
        error_ = errno;
    }
}

bool OutputFile::finish_writing() {
    if (!staged_.active() || failed_) return !failed_;
    int error = 0;
    if (!staged_.close_stream(error)) {
        failed_ = true;
        if (error_ == 0) error_ = error;
        staged_.abandon();
    }
    return !failed_;
}

bool OutputFile::close_before(StagedFile& after, int& error) {
    if (!pending()) return after.commit(error);
    const bool done = after.commit(error, &staged_);
    if (!staged_.put_in_place()) failed_ = true;
    return done;
}

bool OutputFile::close(OutputFile* before) {
    if (!staged_.active()) {
        // Nothing of this one to put in place: the other still goes.
        if (before != nullptr && before->pending()) before->close();
        return !failed_;
    }
    if (failed_) {
        staged_.abandon();
        if (before != nullptr && before->pending()) before->close();
        return false;
    }
    int error = 0;
    StagedFile* first = before != nullptr && before->pending() ? &before->staged_ : nullptr;
    if (!staged_.commit(error, first)) {
        failed_ = true;
        if (error_ == 0) error_ = error;
    }
    if (first != nullptr && !first->put_in_place()) before->failed_ = true;
    return !failed_;
}

bool OutputFile::close_all(std::span<OutputFile* const> files) {
    std::vector<StagedFile*> staged;
    for (OutputFile* f : files) {
        if (!f->finish_writing()) {
            for (OutputFile* g : files) g->abandon();
            return false;
        }
        staged.push_back(&f->staged_);
    }
    int error = 0;
    if (StagedFile::commit_all(staged, error)) return true;
    // The one that failed is the first not in place.
    for (OutputFile* f : files) {
        if (f->in_place()) continue;
        f->failed_ = true;
        if (f->error_ == 0) f->error_ = error;
        break;
    }
    return false;
}

OutputFile open_new_file(Console& con, std::string_view name, std::int32_t unit,
                         std::int32_t record_length, std::int32_t& error_number, std::int32_t il,
                         std::int32_t ia, std::int32_t iout) {
    error_number = 0;
    std::string name_field(name);
    std::string full_name(own_full_name_length, ' ');
    std::int32_t status = 0;
    check_file(con, name_field, full_name, 3, iout, status);

    // The record length and carriage control have no meaning for a stream
    // file: every record is a plain line.
    const std::string path(trimmed(name));
    OutputFile out;
    int iostat = 0;
    if (path.empty() || !out.staged_.create(path, true, iostat)) {
        if (iostat == 0) iostat = ENOENT;
        error_number = 1;
        say_error(con, "** Error in open_new_file **",
                  "could not write " + path + ": " + error_text(iostat));
        say_integer(con, "iostat (see page 7-2 of Fortran Users Guide) = ", iostat);
        say_line(con, "File = " + path);
        say_integer(con, "Unit number = ", unit);
        say_integer(con, "Record length = ", record_length);
        say_integer(con, "Error number = ", error_number);
        say_integer(con, "il = ", il);
        say_integer(con, "ia = ", ia);
        say_integer(con, "iout = ", iout);
        return out;
    }
    if (iout != 0) {
        check_file(con, name_field, full_name, 3, 0, status);
        say_line(con, "New file: " + std::string(trimmed(full_name)));
    }
    return out;
}

}  // namespace orvalt
