// The faults of reading PO files.  Each is told in
// words by translation_faults.cpp; their wording is part of the tools' interface.
#pragma once

#include <cstdint>

#include "error.h"

namespace pactools {

enum class TranslationFault : std::uint16_t {
    // PO files and code pages: `file` the PO file or listing, `at` a line,
    // `name` an entry's msgid (shortened), `other` a code page.
    PoSyntax,                   // `detail`: what is wrong
};

const FaultDomain& faultDomain(TranslationFault);

}  // namespace pactools
