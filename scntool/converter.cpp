#include "converter.h"

#include <algorithm>
#include <vector>

#include "file_io.h"
#include "listing_parser.h"
#include "listing_writer.h"
#include "messages.h"
#include "platform.h"
#include "po_file.h"
#include "scenario_binary.h"
#include "translation.h"
#include "text.h"

namespace pactools {

namespace {

constexpr const char* kTool = "scntool";
constexpr const char* kReadingFailed = "An error occured while reading the scenario file\n";
constexpr const char* kWritingFailed = "An error occured while writing the scenario file\n";

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
    std::vector<std::uint8_t> rebuilt;
    Error error = parseText(listing, statements, labels);
    if (!error) error = writeBinary(statements, rebuilt);
    if (error) {
        Error warning = fileError(Fault::ListingDoesNotAssemble, path);
        warning.detail = messageText(error);
        report(out, kTool, warning);
        return;
    }
    std::size_t at = original.size() >= kScenarioHeaderSize ? 4 : 0;
    const std::size_t common = std::min(original.size(), rebuilt.size());
    while (at < common && original[at] == rebuilt[at]) ++at;
    if (at < common || original.size() != rebuilt.size()) {
        Error warning = fileError(Fault::ListingDiffers, path);
        warning.at = at;
        report(out, kTool, warning);
    }
}

// Opens `path` and reads it whole, with "Processing" once it is open.
bool readInput(const std::string& path, std::vector<std::uint8_t>& bytes, std::FILE* out) {
    InputFile input;
    if (Error error = input.open(path)) {
        report(out, kTool, error.as(Fault::CannotOpenScenario));
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

// Writes a finished output; nothing is left behind when it fails.
bool writeOutput(OutputFile& output, std::span<const std::uint8_t> bytes, std::FILE* out) {
    output.write(bytes);
    if (Error error = output.commit()) {
        report(out, kTool, error);
        say(out, "%s", kWritingFailed);
        return false;
    }
    return true;
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

bool listBinary(const std::string& binPath, const std::string& txtPath, std::FILE* out) {
    // A listing that a PO file translates is the source of its msgids:
    // listing the (translated) binary over it would lose them.
    const std::string po = txtPath.substr(0, txtPath.size() - 4) + ".po";
    if (pathExists(po) && pathExists(txtPath)) {
        Error kept = fileError(Fault::ListingKept, txtPath);
        kept.other = po;
        report(out, kTool, kept);
        return true;
    }
    std::vector<std::uint8_t> bytes;
    if (!readInput(binPath, bytes, out)) return false;
    OutputFile output;
    if (Error error = output.create(txtPath)) {
        report(out, kTool, error.as(Fault::CannotCreateScenario));
        return false;
    }
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    if (Error error = readBinary(bytes, binPath, statements, labels)) {
        report(out, kTool, error);
        say(out, "%s", kReadingFailed);
        return false;
    }
    std::string listing;
    if (Error error = writeText(statements, labels, listing)) {
        listing += messageText(error) + "\n";  // the listing ends with the reason
        say(out, "%s", kWritingFailed);
        return false;
    }
    const std::string text = withLineEnds(listing, kNativeLineEnd);
    if (!writeOutput(output, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), out)) {
        return false;
    }
    checkListing(binPath, listing, bytes, out);
    return true;
}

bool assembleListing(const std::string& txtPath, const std::string& binPath, std::FILE* out) {
    std::vector<std::uint8_t> bytes;
    if (!readInput(txtPath, bytes, out)) return false;
    OutputFile output;
    if (Error error = output.create(binPath)) {
        report(out, kTool, error.as(Fault::CannotCreateScenario));
        return false;
    }
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    if (Error error = parseText(asText(bytes), statements, labels)) {
        report(out, kTool, error);
        say(out, "%s", kReadingFailed);
        return false;
    }
    std::vector<std::uint8_t> binary;
    if (Error error = writeBinary(statements, binary)) {
        report(out, kTool, error);
        say(out, "%s", kWritingFailed);
        return false;
    }
    return writeOutput(output, binary, out);
}

namespace {

// Reads and parses a listing, with each statement's line.
bool readListing(const std::string& txtPath, StatementList& statements, LabelList& labels,
                 std::vector<std::size_t>& lines, std::FILE* out) {
    std::vector<std::uint8_t> bytes;
    if (!readInput(txtPath, bytes, out)) return false;
    if (Error error = parseText(asText(bytes), statements, labels, &lines)) {
        report(out, kTool, error);
        say(out, "%s", kReadingFailed);
        return false;
    }
    return true;
}

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The code page for a PO file: --code-page, else the file's X-Code-Page,
// else UTF-8; both given and different is an error.
Error codePageFor(const PoFile& po, const std::string& poPath, const ConvertOptions& options, CodePage& page) {
    const std::string declared = po.headerField("X-Code-Page");
    std::optional<CodePage> fromHeader;
    if (!declared.empty()) {
        fromHeader = findCodePage(declared);
        if (!fromHeader) {
            Error error = fileError(Fault::CodePageUnknown, poPath);
            error.name = declared;
            error.detail = codePageNames();
            return error;
        }
    }
    if (options.codePage && fromHeader && options.codePage->number != fromHeader->number) {
        Error error = fileError(Fault::CodePageConflict, poPath);
        error.name = options.codePage->name;
        error.other = declared;
        return error;
    }
    page = options.codePage ? *options.codePage : fromHeader ? *fromHeader : kUtf8;
    return {};
}

// The charset a PO file declares is UTF-8 (or none).
Error checkCharset(const PoFile& po, const std::string& poPath) {
    const std::string type = po.headerField("Content-Type");
    const std::size_t at = type.find("charset=");
    if (at == std::string::npos) return {};
    const std::string charset = type.substr(at + 8);
    if (equalsIgnoreCase(charset, "UTF-8") || equalsIgnoreCase(charset, "CHARSET")) return {};
    Error error = fileError(Fault::PoNotUtf8, poPath);
    error.detail = charset;
    return error;
}

// Assembles NAME.txt with the translations of NAME.po into NAME.bin.
bool assembleTranslated(const std::string& poPath, std::size_t dot, const ConvertOptions& options, std::FILE* out) {
    std::vector<std::uint8_t> poBytes;
    if (!readInput(poPath, poBytes, out)) return false;
    PoFile po;
    Error error = readPo(asText(poBytes), po);
    if (error) error.file = poPath;
    if (!error) error = checkCharset(po, poPath);
    ScenarioText where;
    if (!error) error = codePageFor(po, poPath, options, where.codePage);
    if (error) {
        report(out, kTool, error);
        return false;
    }
    const std::string txtPath = poPath.substr(0, dot) + ".txt";
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    if (!readListing(txtPath, statements, labels, where.lines, out)) return false;
    where.scenario = scenarioName(poPath);
    where.listing = txtPath;
    std::vector<Error> warnings;
    error = applyTranslations(statements, where, po, poPath, warnings);
    for (const Error& warning : warnings) report(out, kTool, warning);
    if (error) {
        report(out, kTool, error);
        return false;
    }
    const std::string binPath = binaryOutputName(poPath, dot);
    OutputFile output;
    if (Error createError = output.create(binPath)) {
        report(out, kTool, createError.as(Fault::CannotCreateScenario));
        return false;
    }
    std::vector<std::uint8_t> binary;
    if (Error writeError = writeBinary(statements, binary)) {
        report(out, kTool, writeError);
        say(out, "%s", kWritingFailed);
        return false;
    }
    return writeOutput(output, binary, out);
}

}  // namespace

bool writeTemplate(const std::string& path, const ConvertOptions& options, std::FILE* out) {
    const std::size_t dot = findExtension(path);
    const std::string_view extension = dot == std::string::npos ? std::string_view() : std::string_view(path).substr(dot);
    const bool fromBinary = equalsIgnoreCase(extension, ".bin");
    if (!fromBinary && !equalsIgnoreCase(extension, ".txt")) {
        report(out, kTool, fileError(Fault::ExtensionRefused, path));
        return false;
    }
    const std::string txtPath = path.substr(0, dot) + ".txt";
    // The template comes from the listing, made first when it is missing.
    if (fromBinary && !pathExists(txtPath) && !listBinary(path, txtPath, out)) return false;
    StatementList statements;
    LabelList labels;
    initScenarioLists(statements, labels);
    ScenarioText where;
    if (!readListing(txtPath, statements, labels, where.lines, out)) return false;
    where.scenario = scenarioName(path);
    where.listing = fileNameOf(txtPath);
    where.codePage = options.codePage.value_or(kUtf8);
    std::string pot;
    if (Error error = makeTemplate(statements, where, pot)) {
        report(out, kTool, error);
        return false;
    }
    const std::string potPath = path.substr(0, dot) + ".pot";
    OutputFile output;
    if (Error error = output.create(potPath)) {
        report(out, kTool, error.as(Fault::CannotCreateScenario));
        return false;
    }
    const std::string text = withLineEnds(pot, kNativeLineEnd);
    return writeOutput(output, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), out);
}

bool convertFile(const std::string& path, const ConvertOptions& options, std::FILE* out) {
    const std::size_t dot = findExtension(path);
    const std::string_view extension = dot == std::string::npos ? std::string_view() : std::string_view(path).substr(dot);
    if (equalsIgnoreCase(extension, ".bin")) return listBinary(path, path.substr(0, dot) + ".txt", out);
    if (equalsIgnoreCase(extension, ".txt")) return assembleListing(path, binaryOutputName(path, dot), out);
    if (equalsIgnoreCase(extension, ".po")) return assembleTranslated(path, dot, options, out);
    report(out, kTool, fileError(Fault::ExtensionRefused, path));
    return false;
}

}  // namespace pactools
