// The archive command's core, which knows no file: the members come from a
// source, the archive goes to a sink.  Members are compressed on worker
// threads and appended in list order, so the archive and the order of the
// progress calls are those of a one-thread run.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "error.h"
#include "file_io.h"
#include "member_source.h"
#include "pac_format.h"
#include "ptrvector.h"

namespace pactools {

// Called with each member's name as its stream is about to be appended.
using MemberProgress = std::function<void(std::string_view name)>;

// Writes the archive of `names` (already checked) with `header`'s opaque
// values to an empty `sink`, on `threads` workers (0: one per core).  Fails
// with the member's error, with ArchiveTooLarge (naming `archiveName`), or
// with WriteFailed (no file: the sink knows why) when the sink refused bytes.
Error writeArchive(const PtrVector<std::string>& names, PacHeader header, MemberSource& source, ByteSink& sink,
                   unsigned threads, std::string_view archiveName, const MemberProgress& progress);

}  // namespace pactools
