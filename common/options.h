// The command-line options of both tools, in the usual form: options may
// stand before or after other words, "--" ends them, a value follows its
// option as the next word (`-j 4`, `--threads 4`), right after a short one
// (`-j4`) or after '=' for a long one (`--threads=4`).  A word `@FILE`
// before "--" stands for the lines of FILE, each one word that is never an
// option (the makefile hands scntool its scenarios so: no command line
// grows with the number of members).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pactools {

struct OptionName {
    const char* shortName;  // "-j", or nullptr
    const char* longName;   // "--threads", or nullptr
    bool takesValue;
};

struct ParsedOption {
    const OptionName* which;  // one of those given to the parser
    std::string value;
};

struct ParsedCommandLine {
    std::vector<ParsedOption> options;  // in the order given
    std::vector<std::string> words;     // everything else, in order
    std::string error;                  // one line when the command line is wrong
};

// Sorts argv[1..] into options of `known` and other words.  A word starting
// with '-' (other than "-" alone) that names no option sets `error`, unless
// `unknownAreWords` (file names may start with '-'); so does an option whose
// value is missing, and one with a value given twice ("--code-page may be
// given once": the second would silently replace the first).
ParsedCommandLine parseCommandLine(int argc, char** argv, const std::vector<const OptionName*>& known,
                                   bool unknownAreWords = false);

// The value of a thread count option: a number from 0 to 1024.
bool parseThreadCount(std::string_view text, unsigned& threads);

}  // namespace pactools
