// Attenuation factors and the lists they scale, as the intensity passes meet
// them line by line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "xrdml/lines.h"
#include "xrdml/reader.h"

namespace orvalt::xrdml {

// Attenuation factors: a counts list holds raw counts, and where the dataPoints
// of its scan also hold a beamAttenuationFactors list (on one line, before or
// after the counts), point i was counted through an attenuator of factor
// f(i). Intensities lists are corrected already and take none.
class AttenuationFactors {
public:
    // Watches every line of a pass. True when the line holds the factors of
    // the counts list read last, which met none before it.
    bool note(const FirstElement& first, std::string_view line) {
        if (first.matches("beamAttenuationFactors")) {
            const ElementText t = element_text(line);
            text_.assign(t.text);
            closed_ = t.closed;
            const bool after = awaiting_;
            before_ = !after;
            awaiting_ = false;
            return after;
        }
        if (first.matches("dataPoints") || first.matches("/dataPoints")) before_ = awaiting_ = false;
        return false;
    }
    // After an intensity line: factors before it are used up, and a counts
    // list that met none awaits them after it, within its dataPoints.
    void list_read(bool counts) {
        awaiting_ = counts && !before_;
        before_ = false;
    }
    bool before() const { return before_; }
    bool awaiting() const { return awaiting_; }
    // Takes up reading right after an intensity line, as list_read left it.
    void resume(bool awaiting) {
        awaiting_ = awaiting;
        before_ = false;
    }

    // The factors last met, for a list of n counts of scan `scan`: false
    // (ierr 17, saying why) unless they are n positive numbers on one line.
    bool read(std::int32_t n, std::int32_t scan, Values& f, ReaderStatus& status) const;

private:
    std::string text_;
    bool closed_ = false;
    bool before_ = false;    // met since the last intensity line, in the same dataPoints
    bool awaiting_ = false;  // the last list read was counts without factors before it
};

}  // namespace orvalt::xrdml
