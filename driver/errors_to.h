// Standard error sent elsewhere for a while: the Genie library reports
// there, and its reports belong with the run's own messages.
#pragma once

#include <iostream>
#include <ostream>
#include <streambuf>

namespace orvalt {

// Sends standard error to `to` while it lives (nothing changes when `to` is
// standard error itself).
class ErrorsTo {
public:
    explicit ErrorsTo(std::ostream& to);
    ~ErrorsTo();
    ErrorsTo(const ErrorsTo&) = delete;
    ErrorsTo& operator=(const ErrorsTo&) = delete;

private:
    std::streambuf* old_;
};

}  // namespace orvalt
