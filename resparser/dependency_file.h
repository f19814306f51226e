// The dependency file of a run, as compilers write one with -MD: a single
// make rule that names the output as its target and every file it was made
// from as a prerequisite, so that make, ninja or CMake (DEPFILE) rebuild the
// output when any of them changes.
#pragma once

#include <string>
#include <vector>

namespace resparser {

/// Appends `name` to `*text` quoted as make reads a file name in a rule:
/// "$" doubled, "#" after a backslash, and a blank after a backslash, with
/// the backslashes just before it doubled. False (and `*text` unchanged) for
/// a name that make cannot read back: one holding a line break or ending in
/// a backslash.
bool AppendMakeName(const std::string& name, std::string* text);

/// "target: prerequisite prerequisite...\n", each name quoted for make; a
/// prerequisite named twice is listed once. False, with the name in
/// `*unwritable`, when a name cannot be written.
bool DependencyRule(const std::string& target, const std::vector<std::string>& prerequisites, std::string* text,
                    std::string* unwritable);

}  // namespace resparser
