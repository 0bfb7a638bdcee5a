// The staged writing of a pattern file, block by block.
#include "formats/pattern_file.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "g_f/console.h"
#include "g_f/file_operations.h"
#include "g_f/file_system.h"
#include "g_f/numbers.h"

namespace orvalt {

namespace {

constexpr std::int32_t output_unit = 98;

std::string unwritten(std::string_view name, int error) {
    std::string text = "Could not write " + std::string(name);
    if (error != 0) text += ": " + error_text(error);
    return text;
}

}  // namespace

PatternFile::PatternFile(Console& con, std::string_view name, OutputFormat format,
                         const PatternDescription& d, bool several)
    : con_(con), name_(name), block_(format_row(format).block), d_(d), several_(several) {}

bool PatternFile::add(const Pattern& given) {
    if (failed_) return false;
    Pattern p = given;
    const std::size_t n = std::min({p.x.size(), p.y.size(), p.e.size()});
    p.x = p.x.first(n);
    p.y = p.y.first(n);
    p.e = p.e.first(n);
    BlockText block;
    if (const std::size_t k = first_not_finite(p.x, p.y, p.e); k != 0)
        block.refusal = not_finite_text(k);
    else if (block_ != nullptr)
        block = block_(d_, p, blocks_, several_);
    if (!block.refusal.empty()) return fail(block.refusal);
    if (blocks_ == 0) {
        std::int32_t error_number = 0;
        file_ = open_new_file(con_, name_, output_unit, 0, error_number, 0, 0, 1);
        if (error_number != 0 || !file_.is_open()) {  // reported by open_new_file
            failed_ = true;
            return false;
        }
    }
    // write_line ends the text with the last line's line end.
    if (block.text.ends_with('\n')) block.text.pop_back();
    file_.write_line(block.text);
    ++blocks_;
    return !file_.failed() || fail(unwritten(name_, file_.error()));
}

bool PatternFile::fail(std::string_view why) {
    say_error(con_, "**ERROR in orvalt: " + std::string(why));
    failed_ = true;
    file_ = OutputFile();  // an open temporary is removed
    return false;
}

bool PatternFile::commit(OutputFile* before) {
    if (failed_) return false;
    if (blocks_ == 0) return true;
    return file_.close(before) || fail(unwritten(name_, file_.error()));
}

bool PatternFile::finish() {
    if (failed_) return false;
    return blocks_ == 0 || file_.finish_writing() || fail(unwritten(name_, file_.error()));
}

bool commit_together(std::deque<PatternFile>& files) {
    std::vector<OutputFile*> staged;
    for (PatternFile& f : files) {
        if (f.failed_) return false;
        if (f.blocks_ > 0) staged.push_back(&f.file_);
    }
    if (OutputFile::close_all(staged)) return true;
    for (PatternFile& f : files)
        if (f.file_.failed()) return f.fail(unwritten(f.name_, f.file_.error()));
    return false;
}

std::string scan_file_name(std::string_view output, std::int32_t scan, std::int32_t count) {
    std::filesystem::path p = path_of(output);
    const std::string number = std::to_string(scan);
    const std::size_t width = std::to_string(std::max(count, scan)).size();
    const std::string leaf = name_of(p.stem()) + "_" + std::string(width - number.size(), '0') +
                             number + name_of(p.extension());
    p.replace_filename(path_of(leaf));
    return name_of(p);
}

bool write_pattern_file(Console& con, std::string_view name, OutputFormat format,
                        const PatternDescription& d, std::span<const Pattern> patterns,
                        OutputFile* before) {
    PatternFile file(con, name, format, d, patterns.size() > 1);
    for (const Pattern& p : patterns)
        if (!file.add(p)) return false;
    return file.commit(before);
}

}  // namespace orvalt
