#include "converter.h"

#include <algorithm>
#include <vector>

#include "file_io.h"
#include "listing_parser.h"
#include "listing_writer.h"
#include "platform.h"
#include "scenario_binary.h"
#include "text.h"

namespace pactools {

namespace {

std::string_view asText(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Assembles a listing just written and compares the result with the binary
// it came from (the reserved word aside, which is always written as 0).
// Anything the listing cannot carry shows up here.
void checkListing(const std::string& path, const std::string& listing, const std::vector<std::uint8_t>& original,
                  std::FILE* out) {
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    std::string error;
    std::vector<std::uint8_t> rebuilt;
    if (!parseText(listing, statements, labels, error) || !writeBinary(statements, rebuilt, error)) {
        say(out, "Warning: %s: the listing does not assemble back (%s)\n", shown(path).c_str(), error.c_str());
        return;
    }
    std::size_t at = kScenarioHeaderSize < original.size() ? 4 : 0;
    const std::size_t common = std::min(original.size(), rebuilt.size());
    while (at < common && original[at] == rebuilt[at]) ++at;
    if (at < common || original.size() != rebuilt.size()) {
        say(out, "Warning: %s: the listing assembles to a different binary (first difference at offset 0x%llX)\n",
            shown(path).c_str(), static_cast<unsigned long long>(at));
    }
}

}  // namespace

std::size_t findExtension(std::string_view path) {
    const std::size_t separator = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (separator != std::string_view::npos && dot < separator)) {
        return std::string_view::npos;
    }
    return dot;
}

std::string binaryOutputName(std::string_view txtPath, std::size_t dot) {
    const std::string stem(txtPath.substr(0, dot));
    if (!platform::kWindows) {
        // On a case-sensitive file system, an existing STEM.BIN is the file meant.
        for (const char* ending : {".bin", ".BIN", ".Bin", ".BIn", ".BiN", ".bIN", ".bIn", ".biN"}) {
            if (pathExists(stem + ending)) return stem + ending;
        }
    }
    return stem + ".bin";
}

bool convertFile(const std::string& path, std::FILE* out) {
    const std::size_t dot = findExtension(path);
    const std::string_view extension = dot == std::string::npos ? std::string_view() : std::string_view(path).substr(dot);
    const bool fromBinary = equalsIgnoreCase(extension, ".bin");
    if (!fromBinary && !equalsIgnoreCase(extension, ".txt")) {
        say(out, "%s: file extension must be 'bin' or 'txt'.\n", shown(path).c_str());
        return false;
    }
    InputFile input;
    std::string error;
    if (!input.open(path, error)) {
        say(out, "%s: Can't open file!\n", shown(path).c_str());
        sayReason("scntool", path, error);
        return false;
    }
    say(out, "Processing: %s\n", shown(path).c_str());

    const std::string outputName = fromBinary ? path.substr(0, dot) + ".txt" : binaryOutputName(path, dot);
    OutputFile output;
    if (!output.create(outputName, error)) {
        say(out, "%s: Can't open/create file!\n", shown(outputName).c_str());
        sayReason("scntool", outputName, error);
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (!readRest(input, bytes, error)) {
        say(out, "Error reading %s: %s\n", shown(path).c_str(), error.c_str());
        say(out, "An error occured while reading the scenario file\n");
        return false;
    }
    input.close();

    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    const bool read = fromBinary ? readBinary(bytes, path, statements, labels, error)
                                 : parseText(asText(bytes), statements, labels, error);
    if (!read) {
        say(out, "%s\n", error.c_str());
        say(out, "An error occured while reading the scenario file\n");
        return false;
    }

    std::string listing;
    std::vector<std::uint8_t> binary;
    const bool written = fromBinary ? writeText(statements, labels, listing) : writeBinary(statements, binary, error);
    if (!written) {
        if (!fromBinary) say(out, "%s\n", error.c_str());
        say(out, "An error occured while writing the scenario file\n");
        return false;
    }
    if (fromBinary) output.write(withLineEnds(listing, kNativeLineEnd));
    else output.write(binary);
    if (!output.commit(error)) {
        say(out, "Error writing %s: %s\n", shown(outputName).c_str(), error.c_str());
        say(out, "An error occured while writing the scenario file\n");
        return false;
    }
    if (fromBinary) checkListing(path, listing, bytes, out);
    return true;
}

int scntoolMain(int argc, char** argv, std::FILE* out) {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "--version") {
        say(out, "scntool %s\n", PACTOOLS_VERSION);
        return 0;
    }
    if (argc < 2 || first == "-h" || first == "--help") {
        say(out, "Usage: %s <input files>\nWhere input files can be either binary or text scenario files\n\n",
            argc > 0 ? argv[0] : "scntool");
        return 0;
    }
    bool allConverted = true;
    for (int i = 1; i < argc; ++i) allConverted = convertFile(argv[i], out) && allConverted;
    return allConverted ? 0 : 1;
}

}  // namespace pactools
