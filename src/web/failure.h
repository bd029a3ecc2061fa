#pragma once

#include <exception>
#include <string>

namespace talvo::web {

// The text of a failure, as talvo-batch's tool reports it, for the page: a C++ exception
// would reach JavaScript as a bare number.
std::string failureText(const std::exception_ptr& failure);

} // namespace talvo::web
