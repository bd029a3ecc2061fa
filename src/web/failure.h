#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace talvo::web {

// The text of a failure, as talvo-batch's tool reports it, in the page's words (pageWords):
// a C++ exception would reach JavaScript as a bare number.
std::string failureText(const std::exception_ptr& failure);

// A library's message with its command-line options put in the page's words, by one rule:
// a clause (between ": ", "; ", "? ", "(" and ")") that begins with an option names the
// page's choice instead ("--root-depth '0'" as "root depth '0'"); any other clause naming an
// option, or a placeholder such as fc=HEADER, becomes what to do on the page ("name it with
// --column, such as --column sand=HEADER" as "choose the column above"). Text without options
// is returned as it is.
std::string pageWords(std::string_view message);

} // namespace talvo::web
