#include "archive_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "corpus.h"
#include "oracle_io.h"
#include "pac_archive.h"

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
            if (mode_ == Mode::FailsToRead && position_ > 0) return fileError(Fault::ReadFailed, name_, EIO);
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
    std::vector<std::string> progress;
    std::vector<std::uint8_t> archive;
};

Outcome archive(const std::vector<std::string>& list, MemoryMemberSource& source, unsigned threads) {
    PtrVector<std::string> names;
    for (const auto& name : list) ptrVectorPush(names, std::make_unique<std::string>(name));
    Outcome run;
    MemorySink sink;
    run.error = writeArchive(names, PacHeader{0x1A, 0, 0x7F3}, source, sink, threads, "data.pac",
                             [&run](std::string_view name) { run.progress.emplace_back(name); });
    run.archive = std::move(sink.bytes);
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
    ASSERT_FALSE(one.error) << static_cast<int>(one.error.fault);
    EXPECT_EQ(one.progress, list);
    for (unsigned threads : {2u, 3u, 8u, 0u}) {
        const Outcome many = archive(list, source, threads);
        EXPECT_FALSE(many.error) << threads;
        EXPECT_EQ(many.progress, list) << threads;
        EXPECT_TRUE(many.archive == one.archive) << threads << " threads";
    }
    // It reads back, every member as it was, each stream the plain codec's.
    MemoryArchiveReader reader(one.archive);
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
    } cases[] = {{"missing", Fault::CannotOpen}, {"shrinks", Fault::FileShrank}, {"grows", Fault::FileGrew},
                 {"fails", Fault::ReadFailed}};
    for (const auto& c : cases) {
        source.faults.clear();
        source.members.erase("m17");
        if (c.fault != Fault::CannotOpen) {
            source.members["m17"] = bytesOf(corpusBytes(CorpusKind::Mixed, 3 << 20, 17));
            source.faults["m17"] = c.fault == Fault::FileShrank ? FaultySource::Mode::Shrinks
                                   : c.fault == Fault::FileGrew ? FaultySource::Mode::Grows
                                                                : FaultySource::Mode::FailsToRead;
        }
        for (unsigned threads : {1u, 2u, 4u, 16u}) {
            const Outcome run = archive(list, source, threads);
            EXPECT_EQ(run.error.fault, c.fault) << c.what << ", " << threads << " threads";
            EXPECT_EQ(run.error.file, "m17") << c.what;
            const std::size_t reached = c.fault == Fault::CannotOpen ? 17 : 18;  // the failing one was announced
            EXPECT_EQ(run.progress, std::vector<std::string>(list.begin(), list.begin() + reached)) << c.what;
        }
    }
}

TEST(ArchiveWriter, WorkersRunningAheadWaitForRoomAndStopWhenTheConsumerFails) {
    // Incompressible members: the first alone outgrows a member's queue, and
    // the ones after it outgrow the queues' total while it is being written.
    MemoryMemberSource source;
    std::vector<std::string> list = {"big"};
    source.members["big"] = bytesOf(corpusBytes(CorpusKind::Random, 6 << 20, 1));
    for (unsigned i = 0; i < 20; ++i) {
        list.push_back("m" + std::to_string(i));
        source.members[list.back()] = bytesOf(corpusBytes(CorpusKind::Random, 1 << 20, 2 + i));
    }
    const Outcome one = archive(list, source, 1);
    ASSERT_FALSE(one.error);
    const Outcome four = archive(list, source, 4);
    ASSERT_FALSE(four.error);
    EXPECT_TRUE(four.archive == one.archive);

    // A sink that fails once the first member has been taken, while workers
    // ahead of it wait for room: the run ends with the failure, and every
    // worker stops.
    class FailingSink : public MemorySink {
    public:
        bool write(std::span<const std::uint8_t> data) override {
            return bytes.size() < (1 << 20) && MemorySink::write(data);
        }
    };
    for (unsigned threads : {1u, 4u, 8u}) {
        FailingSink sink;
        PtrVector<std::string> names;
        for (const auto& name : list) ptrVectorPush(names, std::make_unique<std::string>(name));
        const Error error = writeArchive(names, PacHeader{}, source, sink, threads, "data.pac", nullptr);
        EXPECT_EQ(error.fault, Fault::WriteFailed) << threads;
    }
}

}  // namespace
}  // namespace pactools
