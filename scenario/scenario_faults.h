// The faults of the scenario core: binary scenarios, listings and strings swapped for their translations.  Each is told in
// words by scenario_faults.cpp; their wording is part of the tools' interface.
#pragma once

#include <cstdint>

#include "error.h"

namespace pactools {

enum class ScenarioFault : std::uint16_t {
    // Binary scenarios: `file`, `at` the file offset.
    ScenarioTooShort,
    FlagDataPastEnd,
    StatementPastEnd,
    FlagOpcodeInStream,
    PushBPastEnd,
    PushBWithoutNul,
    ScenarioEmpty,
    FlagBlockNotFirst,
    FlagBlockLength,
    PushBLength,
    StatementsTooLarge,
    // Listings: `at` the 1-based line.
    SyntaxError,
    NotEnoughFlagData,
    UndefinedSymbol,      // `name`
    CallIsNotACall,       // `at` the line, `of` the number
    FlagsNotFirst,
    FlagsLengthNotMultiple,
    JumpWithoutLabel,
    StatementsReach4GiB,
    ListingOutOfMemory,
    MissingLabel,         // `at`: the jump's own offset
    PoPlural,
    PoDuplicateEntry,           // `of`: the line of the first entry of that key
    StringHoldsControlPicture,  // warning: a string holding U+2401-U+241F itself, left out of a template
    StringHoldsByteNotation,    // warning: a string holding U+F0080-U+F00FF itself, left out of a template
    TranslationUnmappable,      // `detail`: the character, and what the code page holds instead
    TranslationNotUtf8,
    TranslationLineBreak,       // a NUL, CR or LF, which a listing cannot hold
    TranslationNotReadBack,     // its bytes would read back as other text (a byte's stand-in joins the next)
    PoControlBytes,             // warning
    JumpIntoStatement,          // `at`: the address a jump or label names
    TranslatedBinaryWrong,      // `at` the listing line, `detail` how
};

const FaultDomain& faultDomain(ScenarioFault);

}  // namespace pactools
