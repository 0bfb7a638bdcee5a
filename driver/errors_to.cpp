#include "driver/errors_to.h"

namespace orvalt {

ErrorsTo::ErrorsTo(std::ostream& to) : old_(std::cerr.rdbuf(to.rdbuf())) {}

ErrorsTo::~ErrorsTo() { std::cerr.rdbuf(old_); }

}  // namespace orvalt
