// The faults of scntool's commands: its files, records, PO files and code pages.  Each is told in
// words by scntool_faults.cpp; their wording is part of the tools' interface.
#pragma once

#include <cstdint>

#include "error.h"

namespace pactools {

enum class ScntoolFault : std::uint16_t {
    CannotOpenScenario,    // scntool's input
    CannotCreateScenario,  // scntool's output
    PoNotUtf8,                  // `detail`: the charset it declares
    PoEntriesWithContext,       // warning; `at` how many
    PoGivenTwice,               // a NAME.po argument with --po
    PoMissing,                  // a project PO file named but not there (status)
    CodePageUnknown,            // `name`: the name given
    CodePageConflict,           // `name`: --code-page, `other`: the header's
    ListingKept,                // note; `file` the listing, `name` the binary, `other` the PO file if any
    ListingKeptOtherTranslations,  // note; the same, `at` the first line whose string differs
    ListingNotAssembling,       // `file` the listing, `name` the binary
    ListingRefreshed,           // note; `file` the listing, `name` the binary, `other` where the old listing is kept
    // Records of where listings came from: `file` the listing, `name` the binary.
    RecordDamaged,              // `file` the record, `at` its line, `name` the listing
    NewOriginal,                // assembling over a binary the record does not know
    TemplateOfOldListing,       // a template from a listing whose binary the record does not know
    NoListing,                  // `file` the binary, `name` the listing: translations need a listing
    BinaryMissing,              // `file` the binary, `name` the listing: what the listing is checked against
    ListingOfEarlierOriginal,   // the listing assembles to what a listing of an earlier original did
    ListingKeptSource,          // note
    ListingKeptBuilt,           // note
    ListingRelisted,            // note
    ListingRelistedEditsKept,   // note; `other` where the old listing is kept, `at` its edited lines (0: unknown)
    StringsDoNotDecode,         // `file` the listing, `at` the strings with bytes from 0x80 up, `other` the code page
    TranslationsUnused,         // `file` the PO file, `at` its translations, `other` the code page
    // scntool's command line: `file`.
    ExtensionRefused,
    ListingDoesNotAssemble,  // `detail`: why
    ListingDiffers,          // `at`: the first differing offset
};

const FaultDomain& faultDomain(ScntoolFault);

}  // namespace pactools
