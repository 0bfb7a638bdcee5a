// The dialogue's questions, asked when a conversion reaches them: the scan
// menu, intensity, the exclusion dialogue of the gudrunX branch, units, the
// output kind and the output name. The branches of -2 and -3 fix some of the
// later answers (driver/request.h); the fixed values are the ones remembered.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/conversion.h"

namespace orvalt {

class DialogueQuestions final : public Questions {
public:
    void scan_choice(Console& con, Answers& answers, std::int32_t nscans) override;
    void intensity(Console& con, Answers& answers) override;
    void exclusions(Console& con, Weights& weights, std::int32_t nscans) override;
    void units(Console& con, Answers& answers) override;
    void output_kind(Console& con, Answers& answers) override;
    // Asked until the run may write it: never a file the run reads, only a
    // regular file. In the output stage a Genie name is first shortened to
    // 80 characters.
    std::string output_name(Console& con, const Request& request, const RunFiles& files,
                            std::string_view extension, bool shorten) override;
};

}  // namespace orvalt
