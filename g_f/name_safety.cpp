// Output names compared with the files a run reads, by what they reach.
#include "g_f/name_safety.h"

#include <filesystem>
#include <system_error>

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

std::string output_name_refusal(std::string_view name,
                                std::initializer_list<std::string_view> read_files) {
    if (file_kind(name) == FileKind::other) return "The output file must be a regular file";
    if (reaches_any(name, read_files))
        return "The output file must not be the input file, orvalt.tmp or the weights file";
    return {};
}

}  // namespace orvalt
