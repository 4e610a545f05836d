#include "extract_command.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "common_faults.h"
#include "file_io.h"
#include "list_file.h"
#include "makefile_writer.h"
#include "member_batches.h"
#include "member_check.h"
#include "member_names.h"
#include "messages.h"
#include "name_reading.h"
#include "pac_archive.h"
#include "pac_faults.h"
#include "pactool_faults.h"
#include "platform.h"
#include "ordered_work.h"
#include "previous_members.h"
#include "progress_line.h"
#include "text.h"

namespace pactools {

namespace {

// A member restored into its temporary file, not yet renamed over its
// target (or why it could not be).
struct Restored {
    Error error;
    std::unique_ptr<OutputFile> file;
};

// Restores one member into a finished temporary file beside its target.
Restored restoreMemberFile(ByteSource& reader, const std::string& pacPath, const PacEntry& entry,
                           RestoreBuffers& buffers, ProgressLine& progress) {
    Restored done{{}, std::make_unique<OutputFile>()};
    OutputFile& file = *done.file;
    if (Error error = file.create(memberFilePath(entry.text))) {
        done.error = error.ofMember(entry.text).as(PactoolFault::CannotCreateMember);
        return done;
    }
    Error error = restoreArchiveMember(
        reader, pacPath, entry,
        [&](std::span<const std::uint8_t> bytes) {
            progress.add(bytes.size());
            return file.write(bytes);
        },
        buffers);
    // Flushed later, with the other members of its batch.
    if (!error || error.fault == CommonFault::WriteFailed) {
        // After a failed write the file tells why.
        Error finished = file.finish(OutputFile::Flush::Later);
        if (finished || !error) error = finished;
    }
    if (error.fault == CommonFault::WriteFailed) error = error.ofMember(entry.text);
    done.error = error;
    return done;
}

// Members are flushed and renamed in batches of at most this many, or this
// much member data (a larger member is a batch of its own): the temporary
// files held at once stay bounded however large the archive.
constexpr std::size_t kBatchMembers = 256;
constexpr std::uint64_t kBatchBytes = std::uint64_t{256} << 20;

// A member's finished temporary file, waiting in its batch.
struct FileInBatch : PendingMember {
    FileInBatch(std::unique_ptr<OutputFile> f, const std::string& t) : file(std::move(f)), text(t) {}
    std::unique_ptr<OutputFile> file;
    const std::string& text;  // the member's name, as text
};

// Whether the member's file already holds exactly the member's bytes.
bool holdsMember(ByteSource& reader, const std::string& pacPath, const PacEntry& entry) {
    InputFile file;
    std::uint64_t size = 0;
    if (file.open(memberFilePath(entry.text)) || file.size(size) || size != entry.unpackedSize) return false;
    RestoreBuffers buffers;
    std::vector<std::uint8_t> held;
    bool same = true;
    const Error error = restoreArchiveMember(
        reader, pacPath, entry,
        [&](std::span<const std::uint8_t> bytes) {
            held.resize(bytes.size());
            std::size_t got = 0;
            same = same && !file.read(held, got) && got == bytes.size() && std::equal(bytes.begin(), bytes.end(), held.begin());
            return same;
        },
        buffers);
    return !error && same;
}

// Writes `text` to `path` as one complete file.
Error writeTextFile(const std::string& path, const std::string& text) {
    OutputFile file;
    if (Error error = file.create(path)) return error;
    file.write(text);
    return file.commit();
}

// Whether the members fit the file systems they go to, with the temporary
// copies that exist beside the files they replace; false after telling.
bool membersFit(const PacArchive& archive, const std::vector<std::optional<platform::FileIdentity>>& existing,
                const std::string& pacPath, std::FILE* out) {
    struct FileSystem {
        std::string directory;  // one of its folders that members go to
        std::vector<std::uint64_t> sizes, replaced;
    };
    std::map<std::uint64_t, FileSystem> systems;  // by device
    std::map<std::string, std::uint64_t> deviceOf;  // by folder
    for (std::uint32_t i = 0; i < archive.entries.count; ++i) {
        const std::string directory = platform::directoryPart(memberFilePath(archive.entries[i].text));
        auto known = deviceOf.find(directory);
        if (known == deviceOf.end()) {
            platform::FileIdentity identity;
            if (!platform::fileIdentity(directory.empty() ? "." : directory, identity)) identity.device = 0;
            known = deviceOf.emplace(directory, identity.device).first;
        }
        FileSystem& system = systems[known->second];
        if (system.sizes.empty()) system.directory = directory;
        system.sizes.push_back(archive.entries[i].unpackedSize);
        system.replaced.push_back(existing[i] ? existing[i]->size : 0);
    }
    for (const auto& [device, system] : systems) {
        const std::uint64_t needed = extractSpaceNeeded(system.sizes, system.replaced, kBatchBytes);
        std::uint64_t free = 0;
        int reason = 0;
        if (platform::freeSpace(system.directory, free, reason) && needed > free) {
            Error full = fileError(PactoolFault::NoSpaceForMembers, pacPath);
            full.name = system.directory.empty() ? "." : system.directory;
            full.at = needed;
            full.of = free;
            report(out, "pactool", full);
            return false;
        }
    }
    return true;
}

// What extract checks before it writes any file, but that each member
// restores (membersRestore): the names (read as text), the files they would
// replace, that every file can be written and that the members fit where
// they go.  False after telling why not.
bool readyToExtract(InputFile& reader, const std::string& pacPath, PacArchive& archive,
                    const CommandOptions& options, std::FILE* out) {
    Error error = reader.open(pacPath);
    if (!error) error = openPacArchive(reader, pacPath, archive);
    if (!error) error = readNameTexts(options.names, archive.entries, pacPath);
    if (error) {
        report(out, "pactool", error);
        return false;
    }
    if (!options.names.codePage) {
        // Names of another code page come out as bytes no one can read.
        Error hint = fileError(PactoolFault::NamesSuggestCodePage, pacPath);
        hint.name = codePagesTheNamesSuggest(archive.entries);
        if (!hint.name.empty()) report(out, "pactool", hint);
    }
    // No member may take the place of the archive, its list file, the
    // makefile, scntool's records or another member, nor of a file of the
    // team's own that the list of the archive extracted here before does
    // not name.
    std::vector<std::string_view> names;
    names.reserve(archive.entries.count);
    for (const PacEntry* entry : archive.entries) names.push_back(entry->text);
    error = checkMemberNames(names, pacPath, pacPath, "extract");
    if (!error) {
        error = checkPreviousMembers(names, pacPath, [&](std::size_t i) {
            return holdsMember(reader, pacPath, archive.entries[static_cast<std::uint32_t>(i)]);
        });
    }
    std::vector<std::optional<platform::FileIdentity>> existing;
    if (!error) error = checkDistinctFiles(names, pacPath, "extract", &existing);
    if (error) {
        report(out, "pactool", error);
        return false;
    }
    // Every member's file, and the list file, can be written as things
    // stand: no batch meets a missing folder or a folder where a file goes.
    for (const PacEntry* entry : archive.entries) {
        if (Error refusal = checkCreatable(memberFilePath(entry->text))) {
            report(out, "pactool", refusal.ofMember(entry->text).as(PactoolFault::CannotCreateMember));
            return false;
        }
    }
    if (Error refusal = checkCreatable(listFileName(pacPath))) {
        report(out, "pactool", refusal);
        return false;
    }
    return membersFit(archive, existing, pacPath, out);
}

// Whether every member restores; false after telling.  Entries that share
// stored bytes are extracted, and told about.
bool membersRestore(InputFile& reader, const std::string& pacPath, const PacArchive& archive,
                    const CommandOptions& options, std::FILE* out) {
    const std::vector<long long> overlaps = overlappingEntries(archive);
    for (std::uint32_t i = 0; i < archive.entries.count; ++i) {
        if (overlaps[i] < 0) continue;
        Error warning = fileError(PactoolFault::StoredOverlap, pacPath);
        warning.name = archive.entries[i].text;
        warning.other = archive.entries[static_cast<std::uint32_t>(overlaps[i])].text;
        report(out, "pactool", warning);
    }
    // Every member restores before any file is replaced: a member damaged
    // anywhere leaves every file as it was.  An archive of one batch (see
    // below) is checked by restoring it, since nothing of a batch is renamed
    // before all of it is restored; a larger one is decoded once first.
    if (archive.entries.count <= kBatchMembers && unpackedBytes(archive) <= kBatchBytes) return true;
    Error error;
    {
        ProgressLine progress(unpackedBytes(archive), true);
        error = checkMembersRestore(reader, pacPath, archive, workerThreads(options.threads),
                                    [&progress](std::uint64_t bytes) { progress.add(bytes); });
    }
    if (error) {
        report(out, "pactool", error);
        return false;
    }
    return true;
}

// Restores every member and puts it in place, in batches; false after
// telling why not.
bool placeMembers(InputFile& reader, const std::string& pacPath, const PacArchive& archive,
                  const CommandOptions& options, std::FILE* out) {
    // Members are restored on every core, each into its own temporary file,
    // and taken here in list order in batches: each batch is flushed to
    // stable storage in one pass, then renamed over its targets in order.
    // The messages, and what is left after a failure, are those of a
    // one-thread run: a member's line is printed when its turn to be renamed
    // comes.  A failure (a full disk) replaces nothing of its batch; the
    // batches before it are in place.
    bool extracted = true;
    std::set<std::string> directories;  // where members were renamed
    FlushPass pass;
    {
        // The file systems written to are watched before any member is.
        std::set<std::string> watched;
        for (const PacEntry* entry : archive.entries) watched.insert(platform::directoryPart(memberFilePath(entry->text)));
        watched.insert(platform::directoryPart(listFileName(pacPath)));
        watched.insert("");  // the makefile's
        for (const std::string& directory : watched) {
            removeLeftoverTemporaries(directory);
            pass.watch(directory);
        }
    }
    {
        ProgressLine progress(unpackedBytes(archive), true);
        std::FILE* lines = options.quiet ? nullptr : out;
        const auto fail = [&](const Error& error) {
            progress.around([&] { report(out, "pactool", error); });
            extracted = false;
            return false;
        };
        BatchActions actions;
        actions.flush = [&](std::span<PendingMember* const> members, Error& error) {
            std::vector<OutputFile*> files;
            for (PendingMember* member : members) files.push_back(static_cast<FileInBatch*>(member)->file.get());
            const std::size_t flushed = pass.flush(files, error);
            if (flushed < files.size() && error.fault == CommonFault::WriteFailed) {
                error = error.ofMember(static_cast<FileInBatch*>(members[flushed])->text);
            }
            return flushed;
        };
        actions.publish = [&](PendingMember& member) {
            const FileInBatch& pending = static_cast<FileInBatch&>(member);
            // The directories are flushed once, after the last rename.
            directories.insert(pending.file->targetDirectory());
            Error error = pending.file->publish(false);
            if (error.fault == CommonFault::WriteFailed) error = error.ofMember(pending.text);
            return error;
        };
        actions.turn = [&](std::uint32_t i) {
            progress.around([&] { say(lines, "Extracting %s\n", shown(archive.entries[i].text).c_str()); });
        };
        MemberBatches batches({kBatchMembers, kBatchBytes}, actions);
        const unsigned threads = workerThreads(options.threads);
        const std::function<Restored(std::size_t)> work = [&](std::size_t i) {
            return restoreMemberFile(reader, pacPath, archive.entries[static_cast<std::uint32_t>(i)],
                                     threadRestoreBuffers(), progress);
        };
        const std::function<bool(std::size_t, Restored&)> take = [&](std::size_t i, Restored& done) {
            const auto index = static_cast<std::uint32_t>(i);
            // (A damaged member is told by itself, as the check before tells it.)
            if (done.error) return batches.fail(index, done.error, done.error.fault != PacFault::MemberDamaged);
            const PacEntry& entry = archive.entries[index];
            return batches.take(index, entry.unpackedSize, std::make_unique<FileInBatch>(std::move(done.file), entry.text));
        };
        // While a batch is flushed and renamed, the workers restore the next
        // (up to a batch's worth ahead, so that at most about two batches of
        // temporary files exist at once).
        const std::function<std::uint64_t(std::size_t)> sizeOf = [&](std::size_t i) {
            return std::uint64_t{archive.entries[static_cast<std::uint32_t>(i)].unpackedSize};
        };
        OrderedWorkLimits limits;
        limits.items = std::clamp<std::size_t>(4 * std::size_t{threads}, kBatchMembers, 4 * kBatchMembers);
        limits.bytes = kBatchBytes;
        runInOrder<Restored>(archive.entries.count, threads, limits, work, take, sizeOf);
        if (!batches.failed()) batches.finish();
        if (batches.failed()) fail(batches.error());
        for (const std::string& directory : directories) {
            int reason = 0;
            if (extracted && !platform::syncDirectory(directory, reason)) {
                fail(fileError(CommonFault::WriteFailed, directory.empty() ? "." : directory, reason));
            }
        }
    }
    return extracted;
}

// Writes the list file and the makefile beside the members; false when the
// list file cannot be written.
bool writeCycleFiles(const std::string& pacPath, const PacArchive& archive, const CommandOptions& options,
                     std::FILE* out) {
    const std::string listName = listFileName(pacPath);
    if (Error failure =
            writeTextFile(listName, listText(archive.header, archive.entries, kNativeLineEnd, options.names.codePage))) {
        report(out, "pactool", failure);
        return false;
    }
    // A makefile that can't be written is passed over in silence: the members
    // and the list file are what the command is for.  Three cases are told: a
    // name that the makefile would run as code, or an archive path that make
    // could not hand back to pactool as a name (platform.h) (there is then no
    // makefile), and a "makefile" that is something other than a regular
    // file (left as it is).
    std::string text;
    std::string scenarios;
    std::vector<Error> notes;
    if (Error refusal = makefileText(pacPath, archive.entries, kNativeLineEnd, text, notes, &scenarios)) {
        report(out, "pactool", refusal);
        return true;
    }
    for (const Error& note : notes) report(out, "pactool", note);
    // The makefile's scenario list first: a makefile never names a list
    // that is not there (or not its own).
    int reason = 0;
    Error failure;
    if (!scenarios.empty()) {  // (without scenarios the makefile runs no scntool)
        if (!platform::makeDirectory(kRecordFolder, reason)) {
            failure = fileError(CommonFault::CannotCreate, kRecordFolder, reason);
        } else {
            // What a killed extract left there goes first, as elsewhere.
            removeLeftoverTemporaries(kRecordFolder);
            failure = writeTextFile(kScenarioListFile, scenarios);
        }
    }
    if (failure) {
        report(out, "pactool", failure);  // and no makefile
        return true;
    }
    failure = writeTextFile("makefile", text);
    if (failure.fault == CommonFault::CannotCreate &&
        (failure.system == platform::kNotRegularFile || failure.system == EISDIR)) {
        report(out, "pactool", failure.as(PactoolFault::CannotCreateMakefile));
    }
    return true;
}

}  // namespace

bool extractCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options) {
    InputFile reader;
    PacArchive archive;
    return readyToExtract(reader, pacPath, archive, options, out) &&
           membersRestore(reader, pacPath, archive, options, out) && placeMembers(reader, pacPath, archive, options, out) &&
           writeCycleFiles(pacPath, archive, options, out);
}

}  // namespace pactools
