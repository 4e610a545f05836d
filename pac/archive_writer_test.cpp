#include "archive_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "archive_builder.h"
#include "common_faults.h"
#include "corpus.h"
#include "messages.h"
#include "lzss_encoder.h"
#include "member_stream.h"
#include "oracle_io.h"
#include "pac_archive.h"
#include "worker_threads.h"

namespace pactools {
namespace {

using testing_support::corpusBytes;
using testing_support::CorpusKind;

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// A source whose members can misbehave: one that gives fewer or more bytes
// than its size says, one that fails to read, and one whose reading waits
// until the test lets it go.
class FaultySource : public MemoryMemberSource {
public:
    enum class Mode { Shrinks, Grows, FailsToRead };
    std::map<std::string, Mode, std::less<>> faults;
    std::atomic<int> opened{0};

    Error open(std::string_view name, std::unique_ptr<MemberFile>& file) override {
        ++opened;
        if (Error error = MemoryMemberSource::open(name, file)) return error;
        const auto fault = faults.find(name);
        if (fault != faults.end()) file = std::make_unique<Faulty>(members.find(name)->second, fault->second, name);
        return {};
    }

private:
    class Faulty : public MemberFile {
    public:
        Faulty(const std::vector<std::uint8_t>& bytes, Mode mode, std::string_view name)
            : bytes_(bytes), mode_(mode), name_(name) {}
        Error size(std::uint64_t& bytes) override {
            bytes = mode_ == Mode::Grows ? bytes_.size() / 2 : bytes_.size();
            return {};
        }
        Error read(std::span<std::uint8_t> buffer, std::size_t& got) override {
            if (mode_ == Mode::FailsToRead && position_ > 0) return fileError(CommonFault::ReadFailed, name_, EIO);
            const std::size_t limit = mode_ == Mode::Shrinks ? bytes_.size() / 2 : bytes_.size();
            got = std::min(buffer.size(), limit - position_);
            std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), got, buffer.begin());
            position_ += got;
            return {};
        }

    private:
        const std::vector<std::uint8_t>& bytes_;
        Mode mode_;
        std::string name_;
        std::size_t position_ = 0;
    };
};

struct Outcome {
    Error error;
    std::vector<std::string> progress;  // names, with "=" before those whose stream was kept
    std::vector<std::uint8_t> archive;
    std::uint64_t bytesRead = 0;  // as the progress line is told
};

Outcome archive(const std::vector<std::string>& list, MemoryMemberSource& source, unsigned threads,
                const std::vector<std::uint8_t>* previousBytes = nullptr) {
    PtrVector<std::string> names;
    for (const auto& name : list) ptrVectorPush(names, std::make_unique<std::string>(name));
    // The previous archive as the archive command loads it, from memory.
    PreviousArchive previous;
    const bool havePrevious =
        previousBytes != nullptr &&
        loadPreviousArchive(std::make_unique<MemoryBytes>(*previousBytes), "old.pac", previous);
    Outcome run;
    MemorySink sink;
    ArchiveEvents events;
    events.member = [&run](std::string_view name, bool reused) { run.progress.push_back((reused ? "=" : "") + std::string(name)); };
    std::atomic<std::uint64_t> bytesRead = 0;
    events.bytesRead = [&bytesRead](std::uint64_t bytes) { bytesRead += bytes; };
    const PtrVector<PacEntry> members = membersNamed(names);
    run.error = writeArchive({members, PacHeader{0x1A, 0, 0x7F3}, source, havePrevious ? &previous : nullptr, "data.pac"},
                             {threads, events, nullptr, nullptr}, sink);
    run.archive = std::move(sink.bytes);
    run.bytesRead = bytesRead;
    return run;
}

TEST(ArchiveWriter, AnyNumberOfThreadsGivesTheSameArchiveThatReadsBack) {
    MemoryMemberSource source;
    std::vector<std::string> list;
    for (unsigned i = 0; i < 40; ++i) {
        const std::string name = "m" + std::to_string(i);
        const std::size_t size = i % 7 == 0 ? 0 : i % 5 == 0 ? (3 << 20) / 2 : 1000 * i;  // empty, small, over 1 MiB
        source.members[name] = bytesOf(corpusBytes(static_cast<CorpusKind>(i % 8), size, i));
        list.push_back(name);
    }
    const Outcome one = archive(list, source, 1);
    ASSERT_FALSE(one.error) << messageText(one.error);
    EXPECT_EQ(one.progress, list);
    for (unsigned threads : {2u, 3u, 8u, 0u}) {
        const Outcome many = archive(list, source, threads);
        EXPECT_FALSE(many.error) << threads;
        EXPECT_EQ(many.progress, list) << threads;
        EXPECT_TRUE(many.archive == one.archive) << threads << " threads";
    }
    // It reads back, every member as it was, each stream the plain codec's.
    MemoryBytes reader(one.archive);
    PacArchive pac;
    ASSERT_FALSE(openPacArchive(reader, "data.pac", pac));
    EXPECT_EQ(pac.header.headerByte, 0x1A);
    EXPECT_EQ(pac.header.headerWord, 0x7F3u);
    RestoreBuffers buffers;
    for (const PacEntry* entry : pac.entries) {
        std::vector<std::uint8_t> restored;
        ASSERT_FALSE(restoreArchiveMember(pac, *entry, [&](std::span<const std::uint8_t> b) {
            restored.insert(restored.end(), b.begin(), b.end());
            return true;
        }, buffers));
        EXPECT_TRUE(restored == source.members[entry->name]) << entry->name;
        const std::string stream(one.archive.begin() + entry->offset, one.archive.begin() + entry->offset + entry->storedSize);
        EXPECT_TRUE(stream == oracle::encodeBytes(std::string(restored.begin(), restored.end()))) << entry->name;
    }
}

TEST(ArchiveWriter, AFailingMemberStopsAtTheSameMemberWhateverTheThreads) {
    FaultySource source;
    std::vector<std::string> list;
    for (unsigned i = 0; i < 30; ++i) {
        list.push_back("m" + std::to_string(i));
        source.members[list.back()] = bytesOf(corpusBytes(CorpusKind::Text, 20000 + i, i));
    }
    const struct {
        const char* what;
        Fault fault;
    } cases[] = {{"missing", CommonFault::CannotOpen}, {"shrinks", CommonFault::FileShrank}, {"grows", CommonFault::FileGrew},
                 {"fails", CommonFault::ReadFailed}};
    for (const auto& c : cases) {
        source.faults.clear();
        source.members.erase("m17");
        if (c.fault != CommonFault::CannotOpen) {
            source.members["m17"] = bytesOf(corpusBytes(CorpusKind::Mixed, 3 << 20, 17));
            source.faults["m17"] = c.fault == CommonFault::FileShrank ? FaultySource::Mode::Shrinks
                                   : c.fault == CommonFault::FileGrew ? FaultySource::Mode::Grows
                                                                : FaultySource::Mode::FailsToRead;
        }
        for (unsigned threads : {1u, 2u, 4u, 16u}) {
            const Outcome run = archive(list, source, threads);
            EXPECT_EQ(run.error.fault, c.fault) << c.what << ", " << threads << " threads";
            EXPECT_EQ(run.error.file, "m17") << c.what;
            // A member that cannot be opened stops the run before any member;
            // one that fails while read, at itself (announced).
            const std::size_t reached = c.fault == CommonFault::CannotOpen ? 0 : 18;
            EXPECT_EQ(run.progress, std::vector<std::string>(list.begin(), list.begin() + reached)) << c.what;
        }
    }
}

// A source whose member `held` cannot be read until member `until` has been
// opened to be compressed (its second opening: every member is opened once
// before any is compressed), or a few seconds have passed.
class HeldBackSource : public MemoryMemberSource {
public:
    std::string held;
    std::string until;

    Error open(std::string_view name, std::unique_ptr<MemberFile>& file) override {
        if (Error error = MemoryMemberSource::open(name, file)) return error;
        if (name == until && ++untilOpened_ == 2) {
            std::lock_guard lock(mutex_);
            released_ = true;
            release_.notify_all();
        }
        if (name == held) file = std::make_unique<Waiting>(std::move(file), *this);
        return {};
    }

private:
    class Waiting : public MemberFile {
    public:
        Waiting(std::unique_ptr<MemberFile> file, HeldBackSource& source) : file_(std::move(file)), source_(source) {}
        Error size(std::uint64_t& bytes) override { return file_->size(bytes); }
        Error read(std::span<std::uint8_t> buffer, std::size_t& got) override {
            std::unique_lock lock(source_.mutex_);
            source_.release_.wait_for(lock, std::chrono::seconds(5), [this] { return source_.released_; });
            lock.unlock();
            return file_->read(buffer, got);
        }

    private:
        std::unique_ptr<MemberFile> file_;
        HeldBackSource& source_;
    };

    std::atomic<int> untilOpened_{0};
    std::mutex mutex_;
    std::condition_variable release_;
    bool released_ = false;
};

// Small limits in place of the usual ones: while the first member is held
// back, the workers compressing the members after it run into the bound on
// the bytes they may hold and wait; what is held never passes the bound by
// more than the blocks of the member being written; the archive is the
// one-thread one.  A sink that fails while workers wait ends the run with
// the failure, and every worker stops.
TEST(ArchiveWriter, WorkersRunningAheadWaitWithinTheBoundAndStopWhenTheConsumerFails) {
    if (workerThreads(0) < 2) GTEST_SKIP() << "one core: no worker runs ahead";
    // Incompressible members: the first of three blocks, the others of one
    // block each, together more than the bound.
    HeldBackSource source;
    std::vector<std::string> list = {"big"};
    source.members["big"] = bytesOf(corpusBytes(CorpusKind::Random, 3 << 20, 1));
    for (unsigned i = 1; i <= 10; ++i) {
        list.push_back("m" + std::to_string(i));
        source.members[list.back()] = bytesOf(corpusBytes(CorpusKind::Random, 200 << 10, 2 + i));
    }
    source.held = "big";
    source.until = "m5";  // whose block no longer fits: m1 to m4 fill the bound
    PtrVector<std::string> names;
    for (const auto& name : list) ptrVectorPush(names, std::make_unique<std::string>(name));
    OrderedWorkLimits limits;
    limits.items = 32;
    limits.bytes = 1 << 20;
    limits.itemBytes = 4 << 20;
    OrderedWorkStats stats;
    MemorySink sink;
    const PtrVector<PacEntry> members = membersNamed(names);
    ASSERT_FALSE(writeArchive({members, PacHeader{0x1A, 0, 0x7F3}, source, nullptr, "data.pac"}, {0, {}, &limits, &stats}, sink));
    EXPECT_GT(stats.waits, 0u);
    // The member being written never waits: up to two of its blocks (one
    // being taken, the next made meanwhile) come on top of the bound.
    EXPECT_LE(stats.peakBytes, limits.bytes + 2 * lzssEncodedBound(kChunkSize));
    EXPECT_GT(stats.peakBytes, limits.bytes / 2);
    EXPECT_TRUE(sink.bytes == archive(list, source, 1).archive);

    class FailingSink : public MemorySink {
    public:
        bool write(std::span<const std::uint8_t> data) override {
            return bytes.size() < (1 << 20) && MemorySink::write(data);
        }
    };
    for (unsigned threads : {1u, 2u, 8u}) {
        FailingSink failing;
        const Error error =
            writeArchive({members, PacHeader{}, source, nullptr, "data.pac"}, {threads, {}, &limits, nullptr}, failing);
        EXPECT_EQ(error.fault, CommonFault::WriteFailed) << threads;
    }
}

TEST(ArchiveWriter, KeepsTheStreamsOfUnchangedMembersWithTheSameResult) {
    MemoryMemberSource source;
    std::vector<std::string> list;
    for (unsigned i = 0; i < 12; ++i) {
        list.push_back("m" + std::to_string(i));
        source.members[list.back()] = bytesOf(corpusBytes(static_cast<CorpusKind>(i % 8), i == 3 ? 0 : 3000 * i + 7, i));
    }
    const std::vector<std::uint8_t> previous = archive(list, source, 1).archive;
    const auto expectSameAsRecompressing = [&](const std::vector<std::string>& names, const std::string& changed,
                                               const char* what) {
        for (unsigned threads : {1u, 3u}) {
            const Outcome fresh = archive(names, source, threads);
            const Outcome reusing = archive(names, source, threads, &previous);
            ASSERT_FALSE(reusing.error) << what;
            EXPECT_TRUE(reusing.archive == fresh.archive) << what << ", " << threads << " threads";
            // A member whose check fails is read again, but counted once.
            std::uint64_t total = 0;
            for (const std::string& name : names) total += source.members[name].size();
            EXPECT_EQ(reusing.bytesRead, total) << what;
            for (std::size_t i = 0; i < names.size(); ++i) {
                const bool kept = std::find(list.begin(), list.end(), names[i]) != list.end() && names[i] != changed;
                EXPECT_EQ(reusing.progress[i], (kept ? "=" : "") + names[i]) << what;
            }
        }
    };
    expectSameAsRecompressing(list, "", "nothing changed");
    source.members["m5"][100] ^= 1;  // the same size, other bytes
    expectSameAsRecompressing(list, "m5", "one byte changed");
    source.members["m5"][100] ^= 1;
    source.members["m7"].push_back(9);
    expectSameAsRecompressing(list, "m7", "one member grew");
    source.members["new"] = bytesOf("a member the previous archive did not have");
    const std::vector<std::string> shuffled = {"m9", "new", "m0", "m3", "m11"};
    expectSameAsRecompressing(shuffled, "m7", "added, removed and reordered");
}

TEST(ArchiveWriter, KeepsAStreamOfAnotherEncoderWhenItDecodesToTheMember) {
    // Literals only, as the archive builder stores members: a valid stream,
    // longer than this encoder's.
    const std::string content(5000, 'z');
    const std::string name = "z.dat";
    const std::vector<std::uint8_t> previous = bytesOf(testing_support::buildArchive({{name, content}}));
    const std::vector<std::uint8_t> stream = bytesOf(testing_support::literalStream(content));

    MemoryMemberSource source;
    source.members[name] = bytesOf(content);
    const Outcome kept = archive({name}, source, 1, &previous);
    ASSERT_FALSE(kept.error);
    EXPECT_EQ(kept.progress, std::vector<std::string>{"=z.dat"});
    ASSERT_EQ(kept.archive.size(), kPacHeaderSize + kPacEntrySize + stream.size());
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), kept.archive.begin() + kPacHeaderSize + kPacEntrySize));
    // A stream that decodes to other bytes is not kept.
    source.members[name].back() = 'y';
    EXPECT_EQ(archive({name}, source, 1, &previous).progress, std::vector<std::string>{"z.dat"});
}

}  // namespace
}  // namespace pactools
