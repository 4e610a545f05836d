// Prints what translations cost a team:
//  - reading a PO file of 100,000 entries (about 10 MB) and indexing it by key;
//  - a project of 100 scenarios sharing one PO file of 100,000 entries: the
//    first `make` after the translations arrive, and `make` after one
//    translation was edited, through the real tools and GNU make.
// Usage: translation_bench [--no-make]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "po_file.h"
#include "test_support.h"
#include "translation.h"

namespace {

constexpr int kScenarios = 100;
constexpr int kStringsPerScenario = 1000;

std::string sourceText(int scenario, int string) {
    return "Scene " + std::to_string(scenario) + ", line " + std::to_string(string) + ": go on.";
}

// A listing of `kStringsPerScenario` distinct strings, each followed by a
// call, with a jump after every tenth.
std::string listing(int scenario) {
    std::string text = "Flags(0, 0)\nTop:\n";
    for (int i = 0; i < kStringsPerScenario; ++i) {
        text += "PushB\t<" + sourceText(scenario, i) + ">\nCall\t1(0)\n";
        if (i % 10 == 9) text += "PushC\t1\nCJmp\tTop\n";
    }
    return text;
}

// A translated PO file of every scenario's strings, as a team's would look.
std::string poFile() {
    std::string po = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\"X-Code-Page: UTF-8\\n\"\n";
    for (int s = 0; s < kScenarios; ++s) {
        for (int i = 0; i < kStringsPerScenario; ++i) {
            po += "\n#. Occurrences: 1\n#: scene" + std::to_string(s) + ".txt:" + std::to_string(3 + 2 * i) +
                  "\nmsgid \"" + sourceText(s, i) + "\"\nmsgstr \"Szene " + std::to_string(s) + ", Zeile " +
                  std::to_string(i) + ": weiter.\"\n";
        }
    }
    return po;
}

int run(const std::string& directory, const std::string& command) {
    return std::system(("cd '" + directory + "' && " + command).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pactools;
    const bool withMake = !(argc > 1 && std::string(argv[1]) == "--no-make");
    const std::string po = poFile();
    PoFile file;
    TranslationTable table;
    const double reading = bench::bestTime([&] {
        file = PoFile{};
        if (readPo(po, file)) std::abort();
    }, 5);
    const double indexing = bench::bestTime([&] {
        if (makeTranslationTable(file, "game.po", kUtf8, table)) std::abort();
    }, 5);
    std::printf("PO file of %zu entries (%.1f MB):\n", file.entries.size() - 1, po.size() / 1e6);
    std::printf("  %-40s %8.3f s\n", "reading", reading);
    std::printf("  %-40s %8.3f s\n", "indexing by key", indexing);
    if (!withMake) return 0;

    // The project, packed with the tools, then extracted into a working
    // directory below ../makefile.conf.
    testing_support::TempDir root;
    const std::string vendor = root / "vendor";
    const std::string work = root / "work";
    run(root.path(), "mkdir vendor work");
    std::string list = "0 0\n";
    std::string names;
    for (int s = 0; s < kScenarios; ++s) {
        testing_support::writeFile(vendor + "/scene" + std::to_string(s) + ".txt", listing(s));
        list += "scene" + std::to_string(s) + ".bin\n";
        names += " scene" + std::to_string(s) + ".txt";
    }
    testing_support::writeFile(vendor + "/data.pac.list", list);
    testing_support::writeFile(root / "makefile.conf", "QVXPACTOOL = " PACTOOL_PATH "\nQVXTOOL = " SCNTOOL_PATH
                                                       "\nCOPY = cp\nGAME_DIR = .\nTRANSLATIONS = game.po\n");
    if (run(vendor, SCNTOOL_PATH + names + " >/dev/null && " PACTOOL_PATH " -q archive data.pac") != 0 ||
        run(work, "cp ../vendor/data.pac . && " PACTOOL_PATH " -q extract data.pac && make -s decompile >/dev/null") != 0) {
        std::fprintf(stderr, "could not set the project up\n");
        return 1;
    }
    testing_support::writeFile(work + "/game.po", po);
    auto start = bench::Clock::now();
    if (run(work, "make -s >/dev/null") != 0) return 1;
    const double first = bench::secondsSince(start);
    // One translation edited.
    std::string edited = po;
    edited.replace(edited.find("Zeile 500: weiter."), 18, "Zeile 500: weiter!");
    testing_support::writeFile(work + "/game.po", edited);
    start = bench::Clock::now();
    if (run(work, "make -s > make.out") != 0) return 1;
    const double again = bench::secondsSince(start);
    // What that make did: the archive kept every member but the edited one.
    const std::string output = testing_support::readFile(work + "/make.out");
    const auto count = [&](const std::string& word) {
        std::size_t n = 0;
        for (std::size_t at = output.find(word); at != std::string::npos; at = output.find(word, at + 1)) ++n;
        return n;
    };
    std::printf("%d scenarios sharing that PO file, through make:\n", kScenarios);
    std::printf("  %-40s %8.2f s\n", "first make with the translations", first);
    std::printf("  %-40s %8.2f s   (%zu member compressed again, %zu kept)\n", "make after one translation was edited",
                again, count("Compressing "), count("Unchanged "));
    return 0;
}
