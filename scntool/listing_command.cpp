#include "listing_command.h"

#include <algorithm>

#include "assembly_check.h"
#include "content_hash.h"
#include "converter.h"
#include "file_io.h"
#include "line_diff.h"
#include "listing_writer.h"
#include "messages.h"
#include "scenario_binary.h"
#include "scenario_faults.h"
#include "scenario_files.h"
#include "scntool_faults.h"
#include "scntool_output.h"
#include "text.h"

namespace pactools {

namespace {

// Assembles a listing just written and compares the result with the binary
// it came from (the reserved word aside, which is always written as 0).
// Anything the listing cannot carry shows up here.
void checkListing(const std::string& path, const std::string& listing, const std::vector<std::uint8_t>& original,
                  std::FILE* out) {
    std::vector<std::uint8_t> rebuilt;
    if (Error error = assembleInMemory(listing, path, nullptr, rebuilt, nullptr)) {
        Error warning = fileError(ScntoolFault::ListingDoesNotAssemble, path);
        warning.detail = messageText(error);
        report(out, kTool, warning);
        return;
    }
    std::size_t at = original.size() >= kScenarioHeaderSize ? 4 : 0;
    const std::size_t common = std::min(original.size(), rebuilt.size());
    while (at < common && original[at] == rebuilt[at]) ++at;
    if (at < common || original.size() != rebuilt.size()) {
        Error warning = fileError(ScntoolFault::ListingDiffers, path);
        warning.at = at;
        report(out, kTool, warning);
    }
}

// What listing a binary scenario again makes of a listing without a record.
struct ListingVerdict {
    bool kept = false;              // the listing is the binary's source
    bool withTranslations = false;  // ... with the translations
    bool exact = false;             // ... it assembles to the binary itself
    std::size_t otherTranslation = 0;  // ... with other translations of the strings: the first line that differs
    Error error;                    // the listing cannot be compared (it does not assemble)
};

// Whether the listing `listing` (at `txtPath`), which has no record, is the
// source of `binary`: it assembles to it, without translations or with
// them, or the binary differs from it only in strings that the
// translations translate (it was built with earlier translations of them).
ListingVerdict judgeListing(std::string_view listing, const std::string& txtPath, const std::vector<std::uint8_t>& binary,
                            const Translations* translations) {
    ListingVerdict verdict;
    std::vector<std::uint8_t> assembled;
    verdict.error = assembleInMemory(listing, txtPath, nullptr, assembled, nullptr);
    if (verdict.error.fault == ScenarioFault::ScenarioEmpty) verdict.error = {};  // nothing in it to lose
    if (verdict.error || assembled.empty()) return verdict;
    verdict.kept = verdict.exact = sameScenario(assembled, binary);
    if (verdict.kept || translations == nullptr) return verdict;
    verdict.error = assembleInMemory(listing, txtPath, translations, assembled, nullptr);
    if (verdict.error) return verdict;
    verdict.kept = verdict.withTranslations = verdict.exact = sameScenario(assembled, binary);
    if (verdict.kept) return verdict;
    const TranslationTable& table = translations->table;
    std::string text;
    const Error different = compareWithListing(
        listing, binary,
        [&](std::uint32_t, std::size_t line, std::span<const std::uint8_t> listed,
            std::span<const std::uint8_t> got) -> const char* {
            if (std::equal(listed.begin(), listed.end(), got.begin(), got.end())) return nullptr;
            const auto entry = stringAsPoText(table.codePage, asText(listed), text) == Fault{}
                                   ? table.byText.find(text)
                                   : table.byText.end();
            if (entry == table.byText.end() || entry->second->translation.empty()) return "another string";
            // Not the translation the PO file holds now: the first such line is told.
            std::string now;
            std::uint32_t character = 0;
            const bool current = poTextAsString(table.codePage, entry->second->translation, asText(listed), now,
                                                character) == Fault{} &&
                                 std::equal(now.begin(), now.end(), got.begin(), got.end(),
                                            [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
            if (!current && verdict.otherTranslation == 0) verdict.otherTranslation = line;
            return nullptr;
        });
    verdict.kept = verdict.withTranslations = !different;
    return verdict;
}

// Writes `text` as the whole of the file `path`; a listing takes the time
// of its binary (`timeOf`), so make does not take the binary for older.
bool writeWhole(const std::string& path, std::string_view text, std::FILE* out, const std::string& timeOf = {}) {
    return writeOutput(path, asBytes(text), out, timeOf);
}

bool saveRecord(const ScenarioFiles& files, const ScenarioRecord& record, std::FILE* out) {
    if (Error error = writeRecord(files.recordFile, record)) {
        report(out, kTool, error);
        return false;
    }
    return true;
}

// Lists a binary again over the listing `old`: a new original over a
// listing with a record, or (`byHand`) a binary a listing without a record
// does not assemble to.  The listing's own edits, if it may hold any, are
// kept under another name first.
bool listAgain(const ScenarioFiles& files, std::string_view old, const std::string& text,
               const std::vector<std::uint8_t>& bytes, bool byHand, std::FILE* out) {
    // What the old listing as written assembles to is retired: a copy of it
    // brought back over the new listing would be the old script.
    std::string retire;
    std::vector<std::uint8_t> assembled;
    if (!files.record.base.empty() && !assembleInMemory(files.record.base, files.listing, nullptr, assembled, nullptr)) {
        retire = contentHash(assembled);
    }
    ScenarioRecord record = files.record.relisted(files.binaryHash, text, retire);
    // (A new original may be an earlier one again: its listing is no old script.)
    std::vector<std::uint8_t> now;
    if (!assembleInMemory(text, files.listing, nullptr, now, nullptr)) std::erase(record.retired, contentHash(now));
    if (old == text) return saveRecord(files, record, out);  // the new original lists as the old did
    Error note = fileError(byHand ? ScntoolFault::ListingRefreshed : ScntoolFault::ListingRelisted, files.listing);
    note.name = files.binary;
    const bool edited = files.record.base.empty() || old != files.record.base;
    if (byHand) {
        note.other = editedListingName(files.listing);
        if (!writeWhole(note.other, old, out)) return false;
    } else if (edited) {
        note = note.as(ScntoolFault::ListingRelistedEditsKept);
        note.other = editedListingName(files.listing);
        // Without the listing as it was written, its edits cannot be counted.
        note.at = files.record.base.empty() ? 0
                                            : editedLines(diffLines(textLines(files.record.base), textLines(old)));
        if (!writeWhole(note.other, old, out)) return false;
    }
    // The listing before its record: an interrupt between the two leaves a
    // listing whose record does not know the binary, which is listed again.
    if (!writeWhole(files.listing, text, out, files.binary) || !saveRecord(files, record, out)) return false;
    report(out, kTool, note);
    checkListing(files.binary, text, bytes, out);
    return true;
}

// Lists a binary beside a listing without a record: as it always was, and
// a listing that assembles to the binary itself gets a record.
bool listBesideListingByHand(const ScenarioFiles& files, std::string_view old, const std::string& text,
                             const std::vector<std::uint8_t>& bytes, const Translations* translations, std::FILE* out) {
    ScenarioRecord record;
    record.source = files.binaryHash;
    record.base = text;
    if (old == text) return saveRecord(files, record, out);
    const ListingVerdict verdict = judgeListing(old, files.listing, bytes, translations);
    if (verdict.error) {
        report(out, kTool, verdict.error);
        Error kept = fileError(ScntoolFault::ListingNotAssembling, files.listing);
        kept.name = files.binary;
        report(out, kTool, kept);
        return false;
    }
    if (verdict.kept) {
        Error kept = fileError(verdict.otherTranslation != 0 ? ScntoolFault::ListingKeptOtherTranslations : ScntoolFault::ListingKept,
                               files.listing);
        kept.name = files.binary;
        kept.at = verdict.otherTranslation;
        if (verdict.withTranslations) kept.other = translations->table.poName;
        report(out, kTool, kept);
        if (!verdict.exact) return true;  // which binary it came from stays unknown
        // Assembled with translations, the binary was built from it; without,
        // it is the binary's own listing, with the user's edits.
        if (verdict.withTranslations) {
            record.source.clear();
            record.base.clear();
            record.addBuilt(files.binaryHash, std::string(64, '0'));
        }
        return saveRecord(files, record, out);
    }
    return listAgain(files, old, text, bytes, true, out);
}

}  // namespace

std::string editedListingName(const std::string& txtPath) {
    std::string name = txtPath + ".edited";
    for (int n = 2; pathExists(name); ++n) name = txtPath + ".edited-" + std::to_string(n);
    return name;
}

bool listBinary(const std::string& binPath, const std::string& txtPath, const Translations* translations,
                std::FILE* out) {
    std::vector<std::uint8_t> bytes;
    if (!readInput(binPath, bytes, out)) return false;
    ScenarioFiles files;
    const std::size_t dot = findExtension(binPath);
    if (Error error = inspectScenario(binPath, dot == std::string::npos ? binPath.size() : dot, files)) {
        report(out, kTool, error);
        return false;
    }
    files.listing = txtPath;
    files.binaryBytes = bytes;  // as read once, for the hash too
    files.binaryHash = contentHash(bytes);
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
        report(out, kTool, error);
        say(out, "%s", kWritingFailed);
        return false;
    }
    const std::string text = withLineEnds(listing, kNativeLineEnd);
    if (files.hasListing) {
        std::vector<std::uint8_t> old;
        if (Error error = readWholeFile(txtPath, old)) {
            // What cannot be read is not replaced.
            report(out, kTool, error.as(ScntoolFault::CannotCreateScenario));
            return false;
        }
        const std::string_view oldText = asText(old);
        switch (provenanceOf(files)) {
        case Provenance::Source:
        case Provenance::Built: {
            // The listing is the binary's source: it holds the team's work.
            Error kept = fileError(provenanceOf(files) == Provenance::Source ? ScntoolFault::ListingKeptSource
                                                                             : ScntoolFault::ListingKeptBuilt,
                                   txtPath);
            kept.name = binPath;
            report(out, kTool, kept);
            return true;
        }
        case Provenance::NewOriginal: return listAgain(files, oldText, text, bytes, false, out);
        default: return listBesideListingByHand(files, oldText, text, bytes, translations, out);
        }
    }
    ScenarioRecord record;
    record.source = files.binaryHash;
    record.base = text;
    if (!writeWhole(txtPath, text, out, binPath) || !saveRecord(files, record, out)) return false;
    checkListing(binPath, listing, bytes, out);
    return true;
}

}  // namespace pactools
