// The files of a command-line batch: each input's request with its output
// names, and the checks that no output is an input of the batch or a file
// it has written already, however named.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "driver/options.h"
#include "driver/request.h"
#include "g_f/file_identity.h"

namespace orvalt {

struct Console;

// The request for one input: the input's name as the extension rule makes
// it, and the output names, as -o and -d say or the defaults. Default names
// are formed from the file name alone, then placed in the -d folder.
Request request_for(Console& con, const Choices& c, const std::string& argument);

// The files of the batch, by identity: an output is never one of its
// inputs or a file it has written, whatever its name (another spelling, a
// case the file system ignores, a hard or symbolic link).
struct Batch {
    std::set<FileId> inputs;
    std::set<FileId> written;
    void add(std::set<FileId>& to, std::string_view name);
};

// Why the request's picture cannot be written, or empty (no picture asked).
std::string picture_problem(const Request& r, const Batch& batch);

// Why the request's names cannot be used, or empty. `given` is the input's
// name as given, without trailing blanks.
std::string names_problem(std::string_view given, const Request& r, const Batch& batch);

}  // namespace orvalt
