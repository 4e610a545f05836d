#include "extract_command.h"

#include <algorithm>
#include <memory>
#include <set>
#include <thread>

#include "file_io.h"
#include "list_file.h"
#include "makefile_writer.h"
#include "member_names.h"
#include "messages.h"
#include "pac_archive.h"
#include "platform.h"
#include "ordered_work.h"
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
Restored restoreMemberFile(ArchiveReader& reader, const std::string& pacPath, const PacEntry& entry,
                           RestoreBuffers& buffers, ProgressLine& progress) {
    Restored done{{}, std::make_unique<OutputFile>()};
    OutputFile& file = *done.file;
    if (Error error = file.create(memberFilePath(entry.name))) {
        done.error = error.ofMember(entry.name).as(Fault::CannotCreateMember);
        return done;
    }
    Error error = restoreArchiveMember(
        reader, pacPath, entry,
        [&](std::span<const std::uint8_t> bytes) {
            progress.add(bytes.size());
            return file.write(bytes);
        },
        buffers);
    if (error.fault == Fault::WriteFailed) error = file.finish();  // the file tells why
    if (!error) error = file.finish();
    if (error.fault == Fault::WriteFailed) error = error.ofMember(entry.name);
    done.error = error;
    return done;
}

// Writes `text` to `path` as one complete file.
Error writeTextFile(const std::string& path, const std::string& text) {
    OutputFile file;
    if (Error error = file.create(path)) return error;
    file.write(text);
    return file.commit();
}

}  // namespace

bool extractCommand(const std::string& pacPath, std::FILE* out, const CommandOptions& options) {
    FileArchiveReader reader;
    PacArchive archive;
    Error error = reader.open(pacPath);
    if (!error) error = openPacArchive(reader, pacPath, archive);
    if (error) {
        report(out, "pactool", error);
        return false;
    }
    // No member may take the place of the archive, its list file, the
    // makefile or another member: checked before any file is written.
    std::vector<std::string_view> names;
    names.reserve(archive.entries.count);
    for (const PacEntry* entry : archive.entries) names.push_back(entry->name);
    if (Error refusal = checkMemberNames(names, pacPath, pacPath, "extract")) {
        report(out, "pactool", refusal);
        return false;
    }
    // Members are restored on every core, each into its own temporary file,
    // and renamed over their targets here in list order: the messages, and
    // what is left after a failure, are those of a one-thread run.
    bool extracted = true;
    std::set<std::string> directories;  // where members were renamed
    {
        ProgressLine progress(unpackedBytes(archive), true);
        std::FILE* lines = options.quiet ? nullptr : out;
        const unsigned threads = workerThreads(options.threads);
        const std::function<Restored(std::size_t)> work = [&](std::size_t i) {
            thread_local RestoreBuffers buffers;
            FileArchiveReader own;
            ArchiveReader* source = nullptr;
            if (Error error = readerForWorker(reader, own, pacPath, threads, source)) return Restored{error, nullptr};
            return restoreMemberFile(*source, pacPath, archive.entries[static_cast<std::uint32_t>(i)], buffers, progress);
        };
        const std::function<bool(std::size_t, Restored&)> take = [&](std::size_t i, Restored& done) {
            const PacEntry& entry = archive.entries[static_cast<std::uint32_t>(i)];
            progress.around([&] { say(lines, "Extracting %s\n", shownName(entry.name).c_str()); });
            Error error = done.error;
            if (!error) {
                // The directories are flushed once, after the last rename.
                directories.insert(done.file->targetDirectory());
                error = done.file->publish(false);
                if (error.fault == Fault::WriteFailed) error = error.ofMember(entry.name);
            }
            if (error) {
                progress.around([&] { report(out, "pactool", error); });
                extracted = false;
            }
            return !error;
        };
        runInOrder<Restored>(archive.entries.count, threads, 4 * static_cast<std::size_t>(threads), work, take);
        for (const std::string& directory : directories) platform::syncDirectory(directory);
    }
    if (!extracted) return false;
    const std::string listName = listFileName(pacPath);
    if (Error failure = writeTextFile(listName, listText(archive.header, archive.entries, kNativeLineEnd))) {
        report(out, "pactool", failure);
        return false;
    }
    // A makefile that can't be written is passed over in silence: the members
    // and the list file are what the command is for.  Three cases are told: a
    // name that the makefile would run as code, or an archive path that make
    // could not hand back to pactool as a name (platform.h) (there is then no
    // makefile), and a "makefile" that is something other than a regular
    // file (left as it is).
    std::string pacName;
    if (!platform::nameOfPath(pacPath, pacName)) {
        report(out, "pactool", fileError(Fault::MakefileArchiveNotInCodePage, pacPath));
        return true;
    }
    std::string text;
    if (Error refusal = makefileText(pacName, archive.entries, kNativeLineEnd, text)) {
        refusal.fileIsName = true;  // the archive path it names is pacName
        report(out, "pactool", refusal);
        return true;
    }
    const Error failure = writeTextFile("makefile", text);
    if (failure.fault == Fault::CannotCreate &&
        (failure.system == platform::kNotRegularFile || failure.system == EISDIR)) {
        report(out, "pactool", failure.as(Fault::CannotCreateMakefile));
    }
    return true;
}

}  // namespace pactools
