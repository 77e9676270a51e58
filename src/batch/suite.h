// vintrel-batch's command line: one script as it always ran, or several scripts in one call
// with a line per script, a summary and an optional JUnit XML report.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

struct SuiteOptions {
    bool strict = false;
    bool chip = false;                 // chip mode for every script
    std::string junit;                 // the report's path; empty for none
    std::string vcd;                   // the waveform's path; empty for none
    std::vector<std::string> scripts;  // "-" is standard input
    std::string appPath;               // where the outside tools are looked for
};

// What one script did.
struct ScriptResult {
    std::string name;  // the path as given
    int status = 0;
    std::string failure;  // the line that ended it with status 1 or 2
    std::string out, err;
    double seconds = 0;
};

// Runs vintrel-batch with its arguments (without the program name); returns the exit status.
int BatchMain(const std::vector<std::string>& args, const std::string& appPath, std::istream& in,
              std::ostream& out, std::ostream& err);

// The JUnit XML report of a run of scripts, one test case each.
void WriteJUnit(std::ostream& xml, const std::vector<ScriptResult>& results);

// Text as XML character data or attribute value: markup escaped, and whatever XML 1.0 cannot
// carry (control characters, malformed UTF-8) replaced by U+FFFD.
std::string XmlText(std::string_view text);

}  // namespace vintrel
