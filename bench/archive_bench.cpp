// Archive and extract speed, side by side in one run, and peak memory:
//  - 32 members of 256 to 768 KiB (machine code, text, compressed data,
//    runs, random) and one member of 8 MiB: whole `pactool archive`
//    processes on one thread and on every core, against archiving with the
//    plain transcription (stdio, one thread, in this process); every
//    archive is checked to be the plain transcription's first; and, when
//    the reference C codec was built with the benchmarks (from
//    ../shared/bench/lzss_reference.c), against it encoding the 32
//    members' concatenation as one stream;
//  - extracting and testing the 32 members' archive on one thread and on
//    every core, against the plain transcription (stdio, one thread),
//    extracting both to disk and to a memory file system;
//  - the edit cycle: 64 members of 1 MiB with one changed, the archive
//    command keeping the unchanged members' streams against --recompress;
//  - 3,000 members of 2 KiB replaced by the extract command of each
//    PACTOOL given (an earlier build, say, against this one), against
//    `tar x` of the same files followed by `sync -f .` (everything written,
//    then the file system flushed once: a durable extract's floor);
//  - one member of 1 GiB archived and extracted by the pactool program,
//    with its peak resident memory (skip with --no-big).
//
//   archive_bench [--no-big] [--archive-only] [PACTOOL...]
//
// --archive-only stops after the archive figures.  Given several pactool
// programs, their archive runs are taken in turn and each one's figures
// printed, for paired comparisons (the first is the one run on 1 GiB).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "archive_browse.h"
#include "archive_command.h"
#include "bench_timing.h"
#include "corpus.h"
#include "extract_command.h"
#include "member_check.h"
#include "pac_archive.h"
#include "list_file.h"
#include "lzss_encoder.h"
#include "lzss_oracle.h"
#include "pac_format.h"
#include "test_support.h"

namespace {

#ifdef LZSS_REFERENCE_PATH
const char* const kReferencePath = LZSS_REFERENCE_PATH;
#else
const char* const kReferencePath = "";
#endif

using bench::bestTime;
using bench::Clock;
using bench::secondsSince;
using testing_support::CorpusKind;

// The archive command as designed, with the plain codec: one thread, stdio.
void plainArchive(const std::string& pacPath) {
    std::vector<std::string> names;
    const std::string list = testing_support::readFile(pactools::listFileName(pacPath));
    std::size_t start = list.find('\n') + 1;
    while (start < list.size()) {
        const std::size_t end = list.find('\n', start);
        names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    std::FILE* pac = std::fopen(pacPath.c_str(), "wb");
    pactools::PacHeader header{0, static_cast<std::uint32_t>(names.size()), 0};
    std::uint8_t headerBytes[pactools::kPacHeaderSize];
    pactools::encodeHeader(header, headerBytes);
    std::fwrite(headerBytes, 1, sizeof headerBytes, pac);
    std::vector<std::uint8_t> directory(pactools::kPacEntrySize * names.size());
    std::fwrite(directory.data(), 1, directory.size(), pac);
    static std::vector<unsigned char> buffer(1 << 20);
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto encoder = std::make_unique<oracle::Encoder>();
        pactools::PacEntry entry{names[i], static_cast<std::uint32_t>(std::ftell(pac)), 0, 0, names[i]};
        std::FILE* member = std::fopen(names[i].c_str(), "rb");
        std::fseek(member, 0, SEEK_END);
        long remaining = std::ftell(member);
        std::fseek(member, 0, SEEK_SET);
        entry.unpackedSize = static_cast<std::uint32_t>(remaining);
        while (remaining > 0) {
            const int chunk = static_cast<int>(std::min<long>(remaining, 1 << 20));
            if (std::fread(buffer.data(), 1, static_cast<std::size_t>(chunk), member) != static_cast<std::size_t>(chunk)) break;
            remaining -= chunk;
            oracle::encode(pac, encoder.get(), chunk, buffer.data(), remaining == 0);
        }
        std::fclose(member);
        entry.storedSize = static_cast<std::uint32_t>(encoder->outCount);
        pactools::encodeEntry(entry, std::span(directory).subspan(pactools::kPacEntrySize * i).first<pactools::kPacEntrySize>());
    }
    std::fseek(pac, pactools::kPacHeaderSize, SEEK_SET);
    std::fwrite(directory.data(), 1, directory.size(), pac);
    std::fclose(pac);
}

// Runs of extract and test are short: repeated for this long, the best of
// them shows less of the machine's noise.
constexpr double kShortRuns = 0.5;

// Extract or test as designed, with the plain codec: one thread, stdio;
// each member decoded straight into its file (or, with `write` false, into
// memory only).
void plainExtract(const std::string& pacPath, bool write) {
    std::FILE* pac = std::fopen(pacPath.c_str(), "rb");
    std::uint8_t headerBytes[pactools::kPacHeaderSize];
    if (std::fread(headerBytes, 1, sizeof headerBytes, pac) != sizeof headerBytes) std::abort();
    const pactools::PacHeader header = pactools::decodeHeader(headerBytes);
    std::vector<std::uint8_t> directory(pactools::kPacEntrySize * header.count);
    if (std::fread(directory.data(), 1, directory.size(), pac) != directory.size()) std::abort();
    static std::vector<unsigned char> buffer(1 << 20);
    for (std::size_t i = 0; i < header.count; ++i) {
        pactools::PacEntry entry;
        pactools::decodeEntry(std::span(directory).subspan(pactools::kPacEntrySize * i).first<pactools::kPacEntrySize>(), entry);
        std::fseek(pac, entry.offset, SEEK_SET);
        auto decoder = std::make_unique<oracle::Decoder>();
        std::FILE* member = write ? std::fopen(entry.name.c_str(), "wb") : nullptr;
        for (std::uint32_t left = entry.unpackedSize; left > 0;) {
            const int want = static_cast<int>(std::min<std::uint32_t>(left, 1 << 20));
            const int got = oracle::decode(pac, decoder.get(), want, buffer.data());
            if (member != nullptr) std::fwrite(buffer.data(), 1, static_cast<std::size_t>(got), member);
            left -= static_cast<std::uint32_t>(got);
            if (got < want) break;
        }
        if (member != nullptr) std::fclose(member);
    }
    std::fclose(pac);
}

// Times extract of `pac` in a new directory under `parent`, on one thread
// and on every core against the plain transcription, and prints the figures.
bool printExtractFigures(const std::string& pac, const std::string& parent, const char* where, double mb,
                         std::FILE* quiet) {
    std::string path = parent + "/pactools-bench-XXXXXX";
    if (::mkdtemp(path.data()) == nullptr) return false;
    char back[4096];
    if (::getcwd(back, sizeof back) == nullptr || ::chdir(path.c_str()) != 0) return false;
    testing_support::writeFile("data.pac", pac);
    const double plainTime = bestTime([] { plainExtract("data.pac", true); }, 5, kShortRuns);
    const double oneTime = bestTime([&] { pactools::extractCommand("data.pac", quiet, {1}); }, 5, kShortRuns);
    const double allTime = bestTime([&] { pactools::extractCommand("data.pac", quiet, {0}); }, 5, kShortRuns);
    std::printf("%-44s %8.1f %8s\n", (std::string("extract, plain transcription, ") + where).c_str(), mb / plainTime,
                "1.00");
    std::printf("%-44s %8.1f %8.2f\n", "extract command, --threads 1", mb / oneTime, plainTime / oneTime);
    std::printf("%-44s %8.1f %8.2f   (x%.2f of 1 thread)\n", "extract command, all cores", mb / allTime,
                plainTime / allTime, oneTime / allTime);
    // Extract decodes every member once before it replaces any file: its
    // cost, and extract's time against extract without it.
    const double checkTime = bestTime(
        [] {
            pactools::InputFile reader;
            pactools::PacArchive archive;
            if (!reader.open("data.pac") && !pactools::openPacArchive(reader, "data.pac", archive)) {
                pactools::checkMembersRestore(reader, "data.pac", archive, pactools::workerThreads(0));
            }
        },
        5, kShortRuns);
    // (Extract runs it first only for an archive of more than one batch.)
    std::printf("%-44s %8.1f\n", "  the check before replacing, on its own", mb / checkTime);
    const bool chdirBack = ::chdir(back) == 0;
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    return chdirBack;
}

struct ChildRun {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
    long pageFaults = 0;
    double cpuSeconds = 0;  // user and system time of all its threads
};

// Runs a program in `directory`, waits for it and returns its time and peak
// resident memory.  Called in a freshly started copy of this benchmark (see
// main), so that the memory of the program is not mixed with this one's:
// a forked child's peak counts the pages it had before exec.
ChildRun runAndMeasure(const std::string& directory, const std::vector<std::string>& words) {
    std::fflush(nullptr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(directory.c_str()) != 0 || std::freopen("/dev/null", "w", stdout) == nullptr) ::_exit(126);
        std::vector<char*> argv;
        for (const auto& word : words) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return {secondsSince(start), usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_minflt,
            seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

// Runs `pactool command data.pac` in `directory` through a fresh copy of
// this program, which reports the time and peak memory.
ChildRun runMeasured(const std::string& self, const std::string& directory, const std::string& pactool,
                     const std::string& command) {
    const std::string line = "'" + self + "' --measure '" + directory + "' '" + pactool + "' " + command;
    ChildRun run;
    std::fflush(nullptr);
    if (std::FILE* pipe = ::popen(line.c_str(), "r")) {
        if (std::fscanf(pipe, "%lf %ld %d", &run.seconds, &run.peakKiB, &run.status) != 3) run.status = -1;
        ::pclose(pipe);
    }
    return run;
}

// Archives data.pac in `directory` with the plain transcription (in this
// process) and with each pactool program as a whole process, on one thread
// and on every core, taking them in turn; checks every archive is the
// plain transcription's, and prints the best time of each.
bool printArchiveFigures(const char* title, const std::string& directory, const std::vector<std::string>& programs,
                         double mb) {
    plainArchive("data.pac");
    const std::string plain = testing_support::readFile("data.pac");
    const auto run = [&](const std::string& program, const char* threads) {
        return runAndMeasure(directory, {program, "-j", threads, "--recompress", "archive", "data.pac"});
    };
    for (const std::string& program : programs) {
        for (const char* threads : {"1", "0"}) {
            const int status = run(program, threads).status;
            if (status != 0 || testing_support::readFile("data.pac") != plain) {
                std::fprintf(stderr, "%s -j %s: %s\n", program.c_str(), threads,
                             status != 0 ? "failed" : "the archive differs from the plain transcription's");
                return false;
            }
        }
    }
    // The plain C transcription of the codec, when built beside the
    // benchmarks, encodes the members' concatenation as one stream.
    const std::vector<std::string> reference = {kReferencePath, "e", "members.raw", "members.lzss"};
    const bool withReference = !reference[0].empty() && std::filesystem::exists(directory + "/members.raw") &&
                               runAndMeasure(directory, reference).status == 0;
    constexpr int kRounds = 7;
    double plainTime = 1e30;
    double referenceTime = 1e30;
    std::vector<ChildRun> one(programs.size(), ChildRun{1e30}), all(programs.size(), ChildRun{1e30});
    for (int round = 0; round < kRounds; ++round) {
        plainTime = std::min(plainTime, bestTime([] { plainArchive("data.pac"); }, 1));
        if (withReference) referenceTime = std::min(referenceTime, runAndMeasure(directory, reference).seconds);
        for (std::size_t p = 0; p < programs.size(); ++p) {
            for (auto [threads, best] : {std::pair{"1", &one[p]}, std::pair{"0", &all[p]}}) {
                const ChildRun timed = run(programs[p], threads);
                if (timed.seconds < best->seconds) *best = timed;
            }
        }
    }
    std::printf("%s, best of %d; every archive is the plain transcription's\n", title, kRounds);
    std::printf("%-44s %8s %8s\n", "", "MB/s", "ratio");
    std::printf("%-44s %8.1f %8s\n", "archive, plain transcription, 1 thread", mb / plainTime, "1.00");
    if (withReference) {
        std::printf("%-44s %8.1f %8.2f\n", "reference C codec, one stream of all members", mb / referenceTime,
                    plainTime / referenceTime);
    }
    char label[64];
    std::snprintf(label, sizeof label, "pactool archive, %u threads (all cores)", std::max(1u, std::thread::hardware_concurrency()));
    for (std::size_t p = 0; p < programs.size(); ++p) {
        if (programs.size() > 1) std::printf("%s:\n", programs[p].c_str());
        std::printf("%-44s %8.1f %8.2f   (%ld page faults)\n", "pactool archive, -j 1", mb / one[p].seconds,
                    plainTime / one[p].seconds, one[p].pageFaults);
        std::printf("%-44s %8.1f %8.2f   (x%.2f of 1 thread; %.2f s of processor, %ld page faults)\n", label,
                    mb / all[p].seconds, plainTime / all[p].seconds, one[p].seconds / all[p].seconds,
                    all[p].cpuSeconds, all[p].pageFaults);
        if (withReference) {
            std::printf("  against the reference C codec: -j 1 x%.2f, all cores x%.2f\n", referenceTime / one[p].seconds,
                        referenceTime / all[p].seconds);
        }
    }
    return true;
}

bool sameFiles(const std::string& a, const std::string& b) {
    std::FILE* fa = std::fopen(a.c_str(), "rb");
    std::FILE* fb = std::fopen(b.c_str(), "rb");
    bool same = fa != nullptr && fb != nullptr;
    std::vector<char> ba(1 << 20), bb(1 << 20);
    while (same) {
        const std::size_t na = std::fread(ba.data(), 1, ba.size(), fa);
        const std::size_t nb = std::fread(bb.data(), 1, bb.size(), fb);
        same = na == nb && std::memcmp(ba.data(), bb.data(), na) == 0;
        if (na == 0) break;
    }
    if (fa != nullptr) std::fclose(fa);
    if (fb != nullptr) std::fclose(fb);
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--measure") == 0) {  // see runMeasured
        const ChildRun run = runAndMeasure(argv[2], {argv[3], argv[4], "data.pac"});
        std::printf("%f %ld %d\n", run.seconds, run.peakKiB, run.status);
        return 0;
    }
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 1;
    // The pactool programs to time as whole processes (the first one also
    // for the 1 GiB member): several are run in turn, for paired figures.
    std::vector<std::string> programs;
    bool big = true;
    bool archiveOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-big") == 0) big = false;
        else if (std::strcmp(argv[i], "--archive-only") == 0) archiveOnly = true;
        else programs.push_back(std::filesystem::absolute(argv[i]).string());  // run from other directories
    }
    if (programs.empty()) programs.push_back(PACTOOL_PATH);
    const std::string pactool = programs.front();
    testing_support::TempDir dir;
    if (::chdir(dir.path().c_str()) != 0) return 1;

    // 32 members of 256 to 768 KiB, of several kinds.
    std::string list = "0 0\n";
    std::size_t total = 0;
    std::string members;  // their concatenation, for the reference codec
    for (unsigned i = 0; i < 32; ++i) {
        static const CorpusKind kinds[] = {CorpusKind::MachineCode, CorpusKind::Text, CorpusKind::Random, CorpusKind::Runs,
                                           CorpusKind::Mixed};
        const std::size_t size = (std::size_t{256} << 10) + (std::size_t{512} << 10) * ((i * 13) % 32) / 31;
        std::string bytes = testing_support::corpusBytes(kinds[i % 5], size, i);
        if (i % 5 == 2) {  // already-compressed data rather than pure noise
            auto encoder = std::make_unique<pactools::LzssEncoder>();
            std::vector<std::uint8_t> packed;
            const std::string text = testing_support::corpusBytes(CorpusKind::Text, 3 * size, i);
            pactools::lzssEncode(*encoder, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, true, packed);
            bytes.assign(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(size));
        }
        const std::string name = "member" + std::to_string(i) + ".dat";
        testing_support::writeFile(name, bytes);
        list += name + "\n";
        total += bytes.size();
        members += bytes;
    }
    testing_support::writeFile("members.raw", members);
    testing_support::writeFile("data.pac.list", list);
    const double mb = static_cast<double>(total) / 1e6;

    std::FILE* quiet = std::fopen("/dev/null", "w");
    char title[128];
    std::snprintf(title, sizeof title, "32 members of 256 to 768 KiB (%.1f MB)", mb);
    if (!printArchiveFigures(title, dir.path(), programs, mb)) return 1;

    const std::string pac = testing_support::readFile("data.pac");

    // One member of 8 MiB: on every core its trees are split across threads.
    ::mkdir("one", 0755);
    if (::chdir("one") != 0) return 1;
    testing_support::writeFile("big.dat", testing_support::corpusBytes(CorpusKind::Mixed, 8 << 20, 77));
    testing_support::writeFile("data.pac.list", "0 0\nbig.dat\n");
    if (!printArchiveFigures("one member of 8 MiB (mixed data)", dir.path() + "/one", programs, 8.0 * 1048576 / 1e6)) {
        return 1;
    }
    if (::chdir("..") != 0) return 1;
    if (archiveOnly) return 0;

    // Extract and test the 32 members' archive against the plain
    // transcription: on the disk, and in memory where there is a memory file
    // system, so that what the device costs (each file is flushed before its
    // rename) shows apart.
    std::printf("extracting and testing the archive of 32 members\n");
    std::printf("%-44s %8s %8s\n", "", "MB/s", "ratio");
    if (!printExtractFigures(pac, ".", "to disk", mb, quiet)) return 1;
    struct stat shm;
    if (::stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode) && ::access("/dev/shm", W_OK) == 0 &&
        !printExtractFigures(pac, "/dev/shm", "in memory", mb, quiet)) {
        return 1;
    }
    ::mkdir("out", 0755);
    if (::chdir("out") != 0) return 1;
    testing_support::writeFile("data.pac", pac);
    const double testPlain = bestTime([] { plainExtract("data.pac", false); }, 5, kShortRuns);
    const double testOne = bestTime([&] { pactools::testCommand("data.pac", quiet, {1}); }, 5, kShortRuns);
    const double testAll = bestTime([&] { pactools::testCommand("data.pac", quiet, {0}); }, 5, kShortRuns);
    if (::chdir("..") != 0) return 1;
    std::printf("%-44s %8.1f %8s\n", "test, plain transcription (decoding only)", mb / testPlain, "1.00");
    std::printf("%-44s %8.1f %8.2f\n", "test command, --threads 1", mb / testOne, testPlain / testOne);
    std::printf("%-44s %8.1f %8.2f   (x%.2f of 1 thread)\n", "test command, all cores", mb / testAll,
                testPlain / testAll, testOne / testAll);

    // The edit cycle: 64 members of 1 MiB, one of them changed since the
    // archive was built.  Each run flips that member between two versions,
    // so it always finds exactly one member changed.
    ::mkdir("cycle", 0755);
    if (::chdir("cycle") != 0) return 1;
    std::string cycleList = "0 0\n";
    for (unsigned i = 0; i < 64; ++i) {
        testing_support::writeFile("m" + std::to_string(i), testing_support::corpusBytes(CorpusKind::Mixed, 1 << 20, 100 + i));
        cycleList += "m" + std::to_string(i) + "\n";
    }
    testing_support::writeFile("data.pac.list", cycleList);
    std::string edited = testing_support::readFile("m17");
    unsigned flips = 0;
    const auto editOneMember = [&] {
        edited[4096] ^= 1;
        testing_support::writeFile("m17", edited);
        ++flips;
    };
    const pactools::CommandOptions reuse{0, false, false};
    const pactools::CommandOptions recompress{0, false, true};
    pactools::archiveCommand("data.pac", quiet, recompress);
    editOneMember();
    pactools::archiveCommand("data.pac", quiet, reuse);
    const std::string reused = testing_support::readFile("data.pac");
    pactools::archiveCommand("data.pac", quiet, recompress);
    if (testing_support::readFile("data.pac") != reused) {
        std::fprintf(stderr, "the edit cycle's archives differ\n");
        return 1;
    }
    const double reuseTime = bestTime([&] {
        editOneMember();
        pactools::archiveCommand("data.pac", quiet, reuse);
    });
    const double recompressTime = bestTime([&] {
        editOneMember();
        pactools::archiveCommand("data.pac", quiet, recompress);
    });
    if (::chdir("..") != 0) return 1;
    std::printf("edit cycle: 64 members of 1 MiB, one changed, all cores; the two archives are byte-identical\n");
    std::printf("  %-42s %8.2f s\n", "pactool archive --recompress", recompressTime);
    std::printf("  %-42s %8.2f s   (x%.1f faster)\n", "pactool archive (unchanged members kept)", reuseTime,
                recompressTime / reuseTime);
    std::fclose(quiet);

    {
        // 3,000 members of 2 KiB, replaced by extract (the files are there
        // already, as in the edit cycle), against tar and one flush.
        ::mkdir("small", 0755);
        std::string smallList = "0 0\n";
        for (unsigned i = 0; i < 3000; ++i) {
            const std::string name = "m" + std::to_string(i) + ".dat";
            testing_support::writeFile("small/" + name, testing_support::corpusBytes(CorpusKind::Text, 2048, i));
            smallList += name + "\n";
        }
        testing_support::writeFile("small/data.pac.list", smallList);
        const std::string smallDir = dir.path() + "/small";
        const bool packed = runAndMeasure(smallDir, {pactool, "archive", "data.pac"}).status == 0;
        const bool tarred = std::system(("cd '" + smallDir + "' && tar cf ../small.tar m*.dat").c_str()) == 0;
        if (!packed || !tarred) return 1;
        // Every program given extracts in turn, paired with tar.
        std::vector<double> extractTimes(programs.size(), 1e9);
        double tarTime = 1e9;
        bool extracted = true;
        for (int run = 0; run < 9; ++run) {  // paired runs, fastest of each
            for (std::size_t p = 0; p < programs.size(); ++p) {
                const ChildRun ours = runAndMeasure(smallDir, {programs[p], "extract", "data.pac"});
                extracted = extracted && ours.status == 0;
                extractTimes[p] = std::min(extractTimes[p], ours.seconds);
            }
            const ChildRun theirs =
                runAndMeasure(smallDir, {"/bin/sh", "-c", "tar xf ../small.tar && sync -f ."});
            extracted = extracted && theirs.status == 0;
            tarTime = std::min(tarTime, theirs.seconds);
        }
        if (!extracted) return 1;
        std::printf("3,000 members of 2 KiB replaced, fastest of nine paired runs:\n");
        for (std::size_t p = 0; p < programs.size(); ++p) {
            std::printf("  %-42s %8.3f s   (%.0f us a member; x%.2f of the first)\n",
                        programs.size() > 1 ? programs[p].c_str() : "pactool extract", extractTimes[p],
                        extractTimes[p] / 3000 * 1e6, extractTimes[p] / extractTimes[0]);
        }
        std::printf("  %-42s %8.3f s   (extract takes x%.2f)\n", "tar x, then sync -f .", tarTime,
                    extractTimes[0] / tarTime);
    }

    if (big) {
        // One member of 1 GiB, through the pactool program: mostly long runs
        // (quick to compress), with text every 64 MiB.
        ::mkdir("big", 0755);
        ::mkdir("big/out", 0755);
        {
            std::FILE* f = std::fopen("big/huge.dat", "wb");
            const std::string text = testing_support::corpusBytes(CorpusKind::Text, 1 << 20, 1);
            const std::string runs(1 << 20, 'x');
            for (unsigned i = 0; i < 1024; ++i) {
                const std::string& block = i % 64 == 0 ? text : runs;
                std::fwrite(block.data(), 1, block.size(), f);
            }
            std::fclose(f);
        }
        testing_support::writeFile("big/data.pac.list", "0 0\nhuge.dat\n");
        const std::string bigDir = dir.path() + "/big";
        const ChildRun packed = runMeasured(self, bigDir, pactool, "archive");
        if (std::rename("big/data.pac", "big/out/data.pac") != 0) return 1;
        const ChildRun unpacked = runMeasured(self, bigDir + "/out", pactool, "extract");
        const bool same = sameFiles("big/huge.dat", "big/out/huge.dat");
        const double gb = 1073741824 / 1e6;
        std::printf("one member of 1 GiB, by %s:\n", pactool.c_str());
        std::printf("  archive: %6.1f s, %7.1f MB/s, peak resident memory %6.1f MiB%s\n", packed.seconds, gb / packed.seconds,
                    static_cast<double>(packed.peakKiB) / 1024, packed.status == 0 ? "" : "  FAILED");
        std::printf("  extract: %6.1f s, %7.1f MB/s, peak resident memory %6.1f MiB%s\n", unpacked.seconds,
                    gb / unpacked.seconds, static_cast<double>(unpacked.peakKiB) / 1024,
                    unpacked.status == 0 && same ? "" : "  FAILED");
        if (packed.status != 0 || unpacked.status != 0 || !same) return 1;
    }
    return 0;
}
