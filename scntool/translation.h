// The bridge between a scenario's strings and gettext PO files: a template
// with one entry per PushB string, and assembling with the translations of
// a PO file.  An entry is named by its msgctxt, "SCENARIO:N" for the N-th
// string (from 1), so templates of several scenarios never clash.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "code_page.h"
#include "error.h"
#include "po_file.h"
#include "scenario.h"

namespace pactools {

struct ScenarioText {
    std::string scenario;            // the scenario's name ("scene01")
    std::string listing;             // the listing file, as references name it
    std::vector<std::size_t> lines;  // each statement's line in the listing
    CodePage codePage = kUtf8;
};

// The template of the model's strings.  Fails with StringNotInCodePage (the
// listing and the string's line) when a string does not decode.
Error makeTemplate(const StatementList& statements, const ScenarioText& where, std::string& potText);

// Replaces each string with its translation from `po` (read from `poName`):
// entries translated, neither fuzzy nor obsolete.  Untranslated, fuzzy and
// obsolete entries leave the string's bytes as they are.  Stale entries (a
// msgid that is no longer the string), entries naming no string, and
// translations whose control bytes differ from their source's give
// warnings; a translation the code page or a listing cannot hold, and
// plural entries, fail with nothing changed.
Error applyTranslations(StatementList& statements, const ScenarioText& where, const PoFile& po, std::string_view poName,
                        std::vector<Error>& warnings);

// The scenario's name for a path: its file name without directory and extension.
std::string scenarioName(std::string_view path);

}  // namespace pactools
