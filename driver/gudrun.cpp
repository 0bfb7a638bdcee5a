// The scans left out of a gudrunX sum and the weights file.
#include "driver/gudrun.h"

#include <algorithm>
#include <string>

#include "driver/ascii_files.h"
#include "driver/messages.h"
#include "g_f/console.h"
#include "g_f/name_safety.h"
#include "g_f/text.h"

namespace orvalt {

Weights all_included(std::int32_t nscans) {
    Weights w;
    w.weight.assign(static_cast<std::size_t>(std::max(nscans, 0)), 1);
    w.nincl = nscans;
    return w;
}

void exclude(Console& con, Weights& weights, std::int32_t scan) {
    std::int32_t& w = weights.weight[static_cast<std::size_t>(scan - 1)];
    if (w == 1) {
        w = 0;
        --weights.nincl;
    }
    if (weights.nincl == 0) fail(con, "Error: All scans have been excluded");
}

void exclude_named(Console& con, std::span<const std::int32_t> scans, Weights& weights,
                   std::int32_t nscans) {
    for (const std::int32_t s : scans) {
        if (s < 1 || s > nscans)
            stop_with_error(con, "there is no scan " + std::to_string(s) +
                                     " to exclude: the file holds " + std::to_string(nscans) +
                                     " scans");
        exclude(con, weights, s);
    }
}

bool save_weights(Console& con, RunFiles& files, std::string_view given, const Weights& weights,
                  std::int32_t nscans, OutputFile& file) {
    // The weights file is not asked for: one that would be a file the run
    // reads (through a link) ends the run instead.
    const std::string_view input = trimmed(files.input_name);
    const std::string name =
        given.empty() ? default_output_name(input, ".weights") : std::string(given);
    const std::string refusal = output_name_refusal(name, {input, files.tmp_name});
    if (!refusal.empty()) fail(con, refusal);
    files.weights_name = name;
    return write_weights_file(con, name, nscans, weights.weight, file);
}

}  // namespace orvalt
