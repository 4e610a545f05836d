#include "scntool_output.h"

#include <algorithm>

#include "messages.h"
#include "scntool_faults.h"
#include "text.h"

namespace pactools {

namespace {

// True when `path` is a file holding exactly `bytes`.
bool holds(const std::string& path, std::span<const std::uint8_t> bytes) {
    InputFile file;
    std::uint64_t size = 0;
    if (file.open(path) || file.size(size) || size != bytes.size()) return false;
    std::vector<std::uint8_t> held;
    return !readRest(file, held) && std::equal(held.begin(), held.end(), bytes.begin(), bytes.end());
}

}  // namespace

bool readInput(const std::string& path, std::vector<std::uint8_t>& bytes, std::FILE* out) {
    InputFile input;
    if (Error error = input.open(path)) {
        report(out, kTool, error.as(ScntoolFault::CannotOpenScenario));
        return false;
    }
    say(out, "Processing: %s\n", shown(path).c_str());
    if (Error error = readRest(input, bytes)) {
        report(out, kTool, error);
        say(out, "%s", kReadingFailed);
        return false;
    }
    return true;
}

bool writeOutput(const std::string& path, std::span<const std::uint8_t> bytes, std::FILE* out,
                 const std::string& timeOf) {
    if (holds(path, bytes)) return true;
    OutputFile output;
    if (Error error = output.create(path)) {
        report(out, kTool, error.as(ScntoolFault::CannotCreateScenario));
        return false;
    }
    if (!timeOf.empty()) output.takeTimeOf(timeOf);
    output.write(bytes);
    if (Error error = output.commit()) {
        report(out, kTool, error);
        say(out, "%s", kWritingFailed);
        return false;
    }
    return true;
}

}  // namespace pactools
