// The commands of the edb tool, apart from the entry point, so that they read and write UTF-8
// the same way on every system.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace rudi::edbtool {

// Runs one command line (without the program name), every argument UTF-8. Writes the results
// to out and diagnostics to err, both UTF-8. Returns the exit code: 0 done, 1 failed, 2 usage.
int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// A GBK text shown as UTF-8: bytes that are not GBK, quotes, backslashes and control bytes
// appear as \xNN, \" and \\.
std::string showText(const std::string& gbk);

} // namespace rudi::edbtool
