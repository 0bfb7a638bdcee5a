// Output names compared with the files a run reads, by what they reach.
#include "g_f/name_safety.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "g_f/file_identity.h"
#include "g_f/file_system.h"

namespace orvalt {

namespace {

// The one spelling of a name that may not exist yet: links of the folders
// resolved, "." and ".." gone.
std::filesystem::path spelling(std::string_view name) {
    std::error_code ec;
    // Absolute first: of a relative name none of whose parts exists yet, the
    // canonical form would stay relative.
    const std::filesystem::path target =
        std::filesystem::absolute(write_target(path_of(name)), ec);
    std::filesystem::path p = std::filesystem::weakly_canonical(target, ec);
    if (ec) p = target.lexically_normal();
    return p;
}

}  // namespace

bool reaches_any(std::string_view name, std::initializer_list<std::string_view> files) {
    FileId id, other_id;
    const bool exists = file_id(name, id);
    std::string written;  // the spelling, worked out only when needed
    for (std::string_view other : files) {
        if (other.empty()) continue;
        // An existing file is known by its identity, whatever reaches it; a
        // name spelt as its path would reach it too.
        if (file_id(other, other_id)) {
            if (exists && id == other_id) return true;
            continue;
        }
        if (written.empty()) written = spelling(name).string();
        if (same_spelling(spelling(other).string(), written)) return true;
    }
    return false;
}

std::string_view without_trailing_blanks(std::string_view name) {
    const std::size_t last = name.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view() : name.substr(0, last + 1);
}

std::string file_name_refusal(std::string_view name, std::size_t max_length) {
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 32 || b == 127) return "A file name must not hold control characters";
    }
    if (name.size() > max_length)
        return "The file name is too long (at most " +
               std::to_string(std::min<std::size_t>(max_length, 0x7fffffff)) + " characters)";
    return {};
}

OutputProblem output_problem(std::string_view name,
                             std::initializer_list<std::string_view> read_files) {
    if (file_kind(name) == FileKind::other) return OutputProblem::not_regular;
    if (reaches_any(name, read_files)) return OutputProblem::read_file;
    return OutputProblem::none;
}

std::string output_name_refusal(std::string_view name,
                                std::initializer_list<std::string_view> read_files) {
    switch (output_problem(name, read_files)) {
        case OutputProblem::not_regular: return "The output file must be a regular file";
        case OutputProblem::read_file:
            return "The output file must not be the input file, orvalt.tmp or the weights file";
        case OutputProblem::none: break;
    }
    return {};
}

}  // namespace orvalt
