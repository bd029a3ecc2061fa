#pragma once

#include <stdexcept>

namespace talvo::base {

// A usage or input error that stops the whole run: a bad option, a header without the
// columns the models read, an input that cannot be read on, output that cannot be written.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace talvo::base
