// One conversion, whoever asks for it: the census of the file, the answers,
// the branch, the output. The dialogue and the command line both fill a
// Request and call `convert`.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/request.h"
#include "driver/run.h"

namespace orvalt {

struct Console;

// The answers a request does not hold yet. The dialogue asks each one at the
// point a run needs it; the command line has given them all, and these ask
// nothing.
class Questions {
public:
    virtual ~Questions() = default;
    virtual void scan_choice(Console&, Answers&, std::int32_t /*nscans*/) {}
    virtual void intensity(Console&, Answers&) {}
    virtual void exclusions(Console&, Weights&, std::int32_t /*nscans*/) {}
    virtual void units(Console&, Answers&) {}
    virtual void output_kind(Console&, Answers&) {}
    // The output file's name; `extension` forms the default, and with
    // `shorten` a Genie name is first cut to 80 characters.
    virtual std::string output_name(Console&, const Request& request, const RunFiles&,
                                    std::string_view /*extension*/, bool /*shorten*/) {
        return request.output;
    }
};

// The conversion of run.files' input as `request` asks. run.files names the
// input and orvalt.tmp; its output names are filled on the way. False when
// an output could not be written (said why); a conversion that cannot go on
// throws Stop.
bool convert(Console& con, Request& request, Questions& ask, RunState& run);

// The spectrum the request asks for (one scan, the sum, the gudrunX data) in
// run.spectrum, x in its units, as convert makes it, with nothing asked and
// nothing written: for a caller that takes the numbers themselves. Every
// scan separately makes no one spectrum (refused); a request that cannot be
// met throws Stop, as convert does.
void compute_spectrum(Console& con, Request& request, RunState& run);

}  // namespace orvalt
