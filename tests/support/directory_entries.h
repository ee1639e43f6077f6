// The names in a directory. Apart from the test framework, so that the fuzz
// targets list their scratch directories with it too.
#pragma once

#include <set>
#include <string>

namespace talvek::test {

// The names in a directory, "." and ".." left out; none when it cannot be
// read.
std::set<std::string> entries(const std::string& directory);

// Everything below a directory that is not a directory itself (files, links,
// sockets ...), as paths relative to it, at any depth: what a program left
// behind where only folders may stay.
std::set<std::string> filesBelow(const std::string& directory);

}  // namespace talvek::test
