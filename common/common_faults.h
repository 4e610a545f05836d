// The faults of files and memory: what any layer may meet when it opens, reads, writes or allocates.  Each is told in
// words by common_faults.cpp; their wording is part of the tools' interface.
#pragma once

#include <cstdint>

#include "error.h"

namespace pactools {

enum class CommonFault : std::uint16_t {
    // Files: `file`, and the system's reason in `system`.
    CannotOpen,            // an input that cannot be opened
    CannotCreate,          // an output that cannot be created
    ReadFailed,
    WriteFailed,
    FileShrank,
    FileGrew,
    OutOfMemory,
};

const FaultDomain& faultDomain(CommonFault);

}  // namespace pactools
