#include "archive_browse.h"

#include <algorithm>
#include <functional>

#include "messages.h"
#include "name_reading.h"
#include "pac_archive.h"
#include "ordered_work.h"
#include "pac_faults.h"
#include "pactool_faults.h"
#include "progress_line.h"
#include "text.h"

namespace pactools {

namespace {

std::string ratioText(std::uint64_t stored, std::uint64_t unpacked) {
    if (unpacked == 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(stored) / static_cast<double>(unpacked));
    return text;
}

void sizeLine(std::FILE* out, std::uint64_t unpacked, std::uint64_t stored, const std::string& name) {
    say(out, "%12llu %12llu %7s  %s\n", static_cast<unsigned long long>(unpacked), static_cast<unsigned long long>(stored),
        ratioText(stored, unpacked).c_str(), shown(name).c_str());
}

std::string membersText(std::uint32_t count) {
    return std::to_string(count) + (count == 1 ? " member" : " members");
}


// Opens the archive at `pacPath`, telling why when it can't.  What extract
// would refuse to write for its name is refused here too, but for a name
// that does not read in the code page: `list` (`strict` false) shows it as
// its bytes, `test` refuses it as extract does.
bool openArchive(const std::string& pacPath, InputFile& reader, PacArchive& archive, std::FILE* out,
                 const NameReading& names, bool strict) {
    Error error = reader.open(pacPath);
    if (!error) error = openPacArchive(reader, pacPath, archive);
    if (error) report(out, "pactool", error);
    if (error) return false;
    for (std::uint32_t i = 0; i < archive.entries.count; ++i) {
        PacEntry& entry = archive.entries[i];
        if (Error undecoded = nameText(names, entry.name, entry.text)) {
            if (strict) {
                undecoded.file = pacPath;
                undecoded.at = i + 1;
                report(out, "pactool", undecoded);
                return false;
            }
            entry.text = escapedBytes(entry.name);
            continue;
        }
        if (entry.text.empty() || isUnsafeMemberName(entry.text)) {
            Error unsafe = fileError(entry.text.empty() ? PacFault::NameEmpty : PacFault::NameUnsafe, pacPath);
            unsafe.detail = "extract";
            unsafe.name = entry.text;
            unsafe.at = i + 1;
            report(out, "pactool", unsafe);
            return false;
        }
    }
    return true;
}

}  // namespace

bool listCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options) {
    InputFile reader;
    PacArchive archive;
    if (!openArchive(pacPath, reader, archive, out, options.names, false)) return false;
    std::uint64_t unpacked = 0;
    std::uint64_t stored = 0;
    for (const PacEntry* entry : archive.entries) {
        sizeLine(out, entry->unpackedSize, entry->storedSize, entry->text);
        unpacked += entry->unpackedSize;
        stored += entry->storedSize;
    }
    sizeLine(out, unpacked, stored, membersText(archive.entries.count));
    return true;
}

bool testCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options) {
    InputFile reader;
    PacArchive archive;
    if (!openArchive(pacPath, reader, archive, out, options.names, true)) return false;
    // Members are decoded on every core and told in list order.
    std::uint32_t failed = 0;
    bool readable = true;
    ProgressLine progress(unpackedBytes(archive), true);
    const unsigned threads = workerThreads(options.threads);
    // Stored bytes that are not a member's own stream are told, not held
    // against it: the archive reads as it is.
    const std::vector<long long> overlaps = overlappingEntries(archive);
    std::vector<std::uint64_t> streamEnds(archive.entries.count, 0);
    const std::function<Error(std::size_t)> work = [&](std::size_t i) {
        RestoreBuffers& buffers = threadRestoreBuffers();
        return restoreArchiveMember(reader, pacPath, archive.entries[static_cast<std::uint32_t>(i)],
                                    [&progress](std::span<const std::uint8_t> bytes) {
                                        progress.add(bytes.size());
                                        return true;
                                    },
                                    buffers, &streamEnds[i]);
    };
    const std::function<bool(std::size_t, Error&)> take = [&](std::size_t i, Error& error) {
        const PacEntry& entry = archive.entries[static_cast<std::uint32_t>(i)];
        if (!error) {
            progress.around([&] {
                say(out, "OK      %s\n", shown(entry.text).c_str());
                Error warning = fileError(PactoolFault::StoredOverlap, pacPath);
                warning.name = entry.text;
                if (overlaps[i] >= 0) {
                    warning.other = archive.entries[static_cast<std::uint32_t>(overlaps[i])].text;
                    report(out, "pactool", warning);
                }
                if (streamEnds[i] < entry.storedSize) {
                    warning.at = entry.storedSize - streamEnds[i];
                    report(out, "pactool", warning.as(PactoolFault::StoredPastStream));
                }
            });
        } else if (error.fault == PacFault::MemberDamaged) {
            progress.around([&] { say(out, "FAILED  %s\n", messageText(error).c_str()); });
            ++failed;
        } else {
            progress.around([&] { report(out, "pactool", error); });
            readable = false;
        }
        return readable;
    };
    OrderedWorkLimits limits;
    limits.items = 4 * static_cast<std::size_t>(threads);
    runInOrder<Error>(archive.entries.count, threads, limits, work, take);
    if (!readable) return false;
    progress.around([&] {
        if (failed == 0) say(out, "%s tested, all OK\n", membersText(archive.entries.count).c_str());
        else say(out, "%s tested, %u damaged\n", membersText(archive.entries.count).c_str(), failed);
    });
    return failed == 0;
}

}  // namespace pactools
