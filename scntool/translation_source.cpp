#include "translation_source.h"

#include <vector>

#include "content_hash.h"
#include "file_io.h"
#include "messages.h"
#include "scntool_faults.h"
#include "text.h"

namespace pactools {

namespace {

constexpr const char* kTool = "scntool";

// The code page for a PO file: --code-page, else the file's X-Code-Page,
// else UTF-8; both given and different is an error.
Error codePageFor(const PoFile& po, const std::string& poPath, const std::optional<CodePage>& given, CodePage& page) {
    const std::string declared = po.headerField("X-Code-Page");
    std::optional<CodePage> fromHeader;
    if (!declared.empty()) {
        fromHeader = findCodePage(declared);
        if (!fromHeader) {
            Error error = fileError(ScntoolFault::CodePageUnknown, poPath);
            error.name = declared;
            error.detail = codePageNames();
            return error;
        }
    }
    if (given && fromHeader && given->number != fromHeader->number) {
        Error error = fileError(ScntoolFault::CodePageConflict, poPath);
        error.name = given->name;
        error.other = declared;
        return error;
    }
    page = given ? *given : fromHeader ? *fromHeader : kUtf8;
    return {};
}

// The charset a PO file declares is UTF-8 (or none).
Error checkCharset(const PoFile& po, const std::string& poPath) {
    const std::string type = po.headerField("Content-Type");
    const std::size_t at = type.find("charset=");
    if (at == std::string::npos) return {};
    const std::string charset = type.substr(at + 8);
    if (equalsIgnoreCase(charset, "UTF-8") || equalsIgnoreCase(charset, "CHARSET")) return {};
    Error error = fileError(ScntoolFault::PoNotUtf8, poPath);
    error.detail = charset;
    return error;
}

}  // namespace

std::unique_ptr<Translations> loadTranslations(const std::string& path, const std::optional<CodePage>& codePage,
                                               std::FILE* out, bool announce) {
    InputFile input;
    if (Error error = input.open(path)) {
        report(out, kTool, error.as(ScntoolFault::CannotOpenScenario));
        return nullptr;
    }
    if (announce) say(out, "Processing: %s\n", shown(path).c_str());
    std::vector<std::uint8_t> bytes;
    if (Error error = readRest(input, bytes)) {
        report(out, kTool, error);
        return nullptr;
    }
    auto translations = std::make_unique<Translations>();
    translations->fileHash = contentHash(bytes);
    Error error = readPo({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, translations->po);
    if (error) error.file = path;
    if (!error) error = checkCharset(translations->po, path);
    CodePage page = kUtf8;
    if (!error) error = codePageFor(translations->po, path, codePage, page);
    if (!error) error = makeTranslationTable(translations->po, path, page, translations->table);
    if (error) {
        report(out, kTool, error);
        return nullptr;
    }
    if (translations->table.withContext > 0) {
        Error warning = fileError(ScntoolFault::PoEntriesWithContext, path);
        warning.at = translations->table.withContext;
        report(out, kTool, warning);
    }
    return translations;
}

}  // namespace pactools
