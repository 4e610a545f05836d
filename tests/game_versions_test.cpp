// A translation team's cycle over generated version sequences of a game,
// through real GNU make, the gettext tools and the tools under test.  Each
// new version inserts, deletes and edits strings (translated ones too),
// adds and removes scenarios; the team runs the README's update sequence or
// a wrong order.  After every step the archive is exactly the model's (the
// current originals with every translation the PO file holds for their
// text, written into their listings and assembled: the listing route), or
// the step stopped with an error and left every file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "po_file.h"
#include "tool_runner.h"

namespace {

using testing_support::RunResult;
using testing_support::Workspace;

bool haveGettext() {
    return std::system("msginit --version >/dev/null 2>&1 && make --version >/dev/null 2>&1") == 0;
}

// Text of the game: its bytes in CP932 and its text as PO files carry it.
struct Text {
    std::string bytes;
    std::string po;
    bool operator<(const Text& other) const { return bytes < other.bytes; }
};

Text operator+(const Text& a, const Text& b) {
    return {a.bytes + b.bytes, a.po + b.po};
}

// Pieces of the game's strings: kana and kanji (trail bytes 41, 5C and 5B
// among them), ASCII, a control byte (its control picture in PO files) and
// an engine escape CP932 does not define (bytes standing for themselves).
const Text kWords[] = {
    {"\x82\xA0", "\xE3\x81\x82"}, {"\x82\xA2", "\xE3\x81\x84"}, {"\x83\x41", "\xE3\x82\xA2"},
    {"\x83\x5C", "\xE3\x82\xBD"}, {"\x81\x5B", "\xE3\x83\xBC"}, {"\x95\x5C", "\xE8\xA1\xA8"},
    {"Mira", "Mira"},             {" ", " "},                   {"!?", "!?"},
};
const Text kMarks[] = {
    {"\x03", "\xE2\x90\x83"},
    {"\xFF\xFE", "\xF3\xB0\x83\xBF\xF3\xB0\x83\xBE"},
};
// Pieces of translations: ASCII and characters CP932 holds.
const Text kTranslationWords[] = {
    {"Hello", "Hello"}, {" ", " "}, {"there", "there"}, {"\x83\x41", "\xE3\x82\xA2"}, {"-", "-"}, {"long road", "long road"},
};

struct Item {
    enum Kind { Label, String, Call, Jump, ConditionalJump } kind;
    int label = 0;  // the label an item is, or the one a jump names
    Text text;
};
using Scenario = std::vector<Item>;
using Version = std::map<std::string, Scenario>;  // scenario name -> scenario
using Translations = std::map<std::string, Text>;  // msgid -> translation

struct Game {
    std::mt19937 rng;
    std::vector<Text> pool;  // texts already used, so that lines repeat across scenarios
    int scenarios = 0;

    Text text() {
        if (!pool.empty() && rng() % 4 == 0) return pool[rng() % pool.size()];
        Text made;
        for (unsigned n = 1 + rng() % 5; n > 0; --n) made = made + kWords[rng() % std::size(kWords)];
        if (rng() % 5 == 0) made = made + kMarks[rng() % std::size(kMarks)] + kWords[rng() % std::size(kWords)];
        pool.push_back(made);
        return made;
    }
    Scenario scenario() {
        Scenario items;
        const int labels = 1 + static_cast<int>(rng() % 3);
        for (int label = 0; label < labels; ++label) items.push_back({Item::Label, label, {}});
        for (unsigned n = 4 + rng() % 8; n > 0; --n) {
            const std::size_t at = rng() % (items.size() + 1);
            const Item::Kind kind = rng() % 3 == 0 ? Item::Call : Item::String;
            items.insert(items.begin() + static_cast<long>(at), {kind, 0, kind == Item::String ? text() : Text{}});
        }
        // Jumps both ways around the strings.
        for (int label = 0; label < labels; ++label) {
            const std::size_t at = rng() % (items.size() + 1);
            items.insert(items.begin() + static_cast<long>(at),
                         {rng() % 2 ? Item::Jump : Item::ConditionalJump, label, {}});
        }
        return items;
    }
    std::string newName() { return "scene" + std::to_string(++scenarios); }
    Version first() {
        Version version;
        for (int i = 0; i < 4; ++i) version[newName()] = scenario();
        return version;
    }
    // The next version: strings inserted, deleted and edited, a scenario
    // removed or added now and then.
    Version next(const Version& before) {
        Version version = before;
        for (auto& [name, items] : version) {
            for (unsigned n = rng() % 4; n > 0; --n) {
                std::vector<std::size_t> strings;
                for (std::size_t i = 0; i < items.size(); ++i) {
                    if (items[i].kind == Item::String) strings.push_back(i);
                }
                const unsigned what = rng() % 3;
                if (what == 0 || strings.empty()) {
                    items.insert(items.begin() + static_cast<long>(rng() % (items.size() + 1)), {Item::String, 0, text()});
                } else if (what == 1) {
                    items.erase(items.begin() + static_cast<long>(strings[rng() % strings.size()]));
                } else {
                    Text& edited = items[strings[rng() % strings.size()]].text;
                    edited = edited + kWords[rng() % std::size(kWords)];
                }
            }
        }
        if (version.size() > 2 && rng() % 3 == 0) version.erase(std::next(version.begin(), rng() % version.size()));
        if (rng() % 2 == 0) version[newName()] = scenario();
        return version;
    }
};

// A scenario's listing, with `translations` written into its strings.
std::string listingOf(const Scenario& items, const Translations* translations) {
    std::string listing = "Flags(1, 4)\n01020304\n";
    for (const Item& item : items) {
        switch (item.kind) {
        case Item::Label: listing += "L" + std::to_string(item.label) + ":\n"; break;
        case Item::Call: listing += "Call\t1(0)\n"; break;
        case Item::Jump: listing += "Jmp\tL" + std::to_string(item.label) + "\n"; break;
        case Item::ConditionalJump: listing += "CJmp\tL" + std::to_string(item.label) + "\n"; break;
        case Item::String: {
            std::string bytes = item.text.bytes;
            if (translations != nullptr) {
                if (const auto found = translations->find(item.text.po); found != translations->end()) bytes = found->second.bytes;
            }
            listing += "PushB\t<" + bytes + ">\n";
            break;
        }
        }
    }
    return listing;
}

// Each scenario's binary by the listing route: its listing with the
// translations written in, assembled.
std::map<std::string, std::string> binariesOf(const Version& version, const Translations* translations) {
    Workspace scratch;
    std::vector<std::string> listings;
    for (const auto& [name, items] : version) {
        scratch.write(name + ".txt", listingOf(items, translations));
        listings.push_back(name + ".txt");
    }
    const RunResult made = scratch.hostScntool(listings);
    EXPECT_EQ(made.status, 0) << made.output;
    std::map<std::string, std::string> binaries;
    for (const auto& [name, items] : version) binaries[name + ".bin"] = scratch.read(name + ".bin");
    return binaries;
}

std::string archiveOf(const Version& version) {
    Workspace vendor;
    std::string list = "0 0\n";
    for (const auto& [name, binary] : binariesOf(version, nullptr)) {
        vendor.write(name, binary);
        list += name + "\n";
    }
    vendor.write("data.pac.list", list);
    const RunResult packed = vendor.pactool({"archive", "data.pac"});
    EXPECT_EQ(packed.status, 0) << packed.output;
    return vendor.read("data.pac");
}

std::map<std::string, std::string> membersOf(const std::string& pac) {
    Workspace check;
    check.write("data.pac", pac);
    const RunResult extracted = check.pactool({"extract", "data.pac"});
    EXPECT_EQ(extracted.status, 0) << extracted.output;
    std::map<std::string, std::string> members;
    for (const std::string& name : check.files()) {
        if (name.ends_with(".bin")) members[name] = check.read(name);
    }
    return members;
}

// Every file below `root` with its bytes.
std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files[entry.path().string()] = testing_support::readFile(entry.path().string());
    }
    return files;
}

std::string toolCommand(const std::string& path) {
    const char* launcher = std::getenv("TOOL_LAUNCHER");
    return (launcher != nullptr && *launcher != '\0' ? std::string(launcher) + " " : std::string()) + path;
}

// The team's working folder and what it knows.
struct Team : Workspace {
    Version version;  // the game version last extracted
    std::map<std::string, std::string> edited;  // listings edited by hand, as edited
    std::mt19937* rng = nullptr;

    Team() {
        testing_support::writeFile(parent() + "/makefile.conf",
                                   "QVXPACTOOL = " + toolCommand(testing_support::pactoolPath()) +
                                       "\nQVXTOOL = " + toolCommand(testing_support::scntoolPath()) +
                                       "\nCOPY = cp\nGAME_DIR = " + parent() +
                                       "\nCODE_PAGE = CP932\nTRANSLATIONS = game.po\n");
    }
    RunResult run(const std::string& program, const std::vector<std::string>& arguments) const {
        return testing_support::runProgramDirect(dir(), program, arguments);
    }
    RunResult make(const std::string& target) const {
        std::vector<std::string> arguments = {"--no-print-directory"};
        if (!target.empty()) arguments.push_back(target);
        return run("make", arguments);
    }

    // The translations game.po holds now: translated entries that are not fuzzy.
    Translations translations(bool withObsolete = false) const {
        pactools::PoFile po;
        EXPECT_FALSE(pactools::readPo(read("game.po"), po));
        Translations held;
        for (const pactools::PoEntry& entry : po.entries) {
            if (entry.isHeader() || entry.translation.empty() || entry.hasFlag("fuzzy")) continue;
            if (entry.obsolete && !withObsolete) continue;
            held[entry.id] = {bytesOf.at(entry.translation), entry.translation};
        }
        return held;
    }
    std::map<std::string, std::string> bytesOf;  // each translation's bytes, by its PO text

    // A translator's session: about half the untranslated or fuzzy entries
    // (or, with `all`, every one) get a translation, longer or shorter, that
    // keeps the control bytes and escapes of its source.
    void translate(bool all = false) {
        const std::string text = read("game.po");
        pactools::PoFile po;
        ASSERT_FALSE(pactools::readPo(text, po));
        std::vector<std::string> lines;
        for (std::size_t at = 0; at <= text.size();) {
            std::size_t end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            lines.push_back(text.substr(at, end - at));
            at = end + 1;
        }
        std::vector<bool> dropped(lines.size(), false);
        for (const pactools::PoEntry& entry : po.entries) {
            if (entry.isHeader() || entry.obsolete || (!entry.translation.empty() && !entry.hasFlag("fuzzy"))) continue;
            if (!all && (*rng)() % 2 == 0) continue;
            Text made;
            for (unsigned n = (*rng)() % 6; n > 0 || made.po.empty(); n = n > 0 ? n - 1 : 0) {
                made = made + kTranslationWords[(*rng)() % std::size(kTranslationWords)];
            }
            for (const Text& mark : kMarks) {
                for (std::size_t at = entry.id.find(mark.po); at != std::string::npos; at = entry.id.find(mark.po, at + 1)) {
                    made = made + mark;
                }
            }
            bytesOf[made.po] = made.bytes;
            // The entry's lines: its comments back to the blank line, its
            // msgstr on to the next.
            std::size_t first = entry.line - 1;
            while (first > 0 && !lines[first - 1].empty()) --first;
            for (std::size_t i = first; i < entry.line - 1; ++i) {
                if (lines[i].starts_with("#|") || lines[i].starts_with("#,")) dropped[i] = true;
            }
            std::size_t last = entry.translationLine - 1;
            while (last + 1 < lines.size() && !lines[last + 1].empty()) dropped[++last] = true;
            lines[entry.translationLine - 1] = "msgstr " + pactools::poQuoted(made.po);
        }
        std::string result;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!dropped[i]) result += lines[i] + (i + 1 < lines.size() ? "\n" : "");
        }
        write("game.po", result);
        const RunResult checked = run("msgfmt", {"-c", "-o", "/dev/null", "game.po"});
        ASSERT_EQ(checked.status, 0) << checked.output;
    }

    // A hand edit that does not change the binary: a label renamed.
    void editListing() {
        std::vector<std::string> listings;
        for (const auto& [name, items] : version) {
            if (exists(name + ".txt")) listings.push_back(name + ".txt");
        }
        if (listings.empty()) return;
        const std::string name = listings[(*rng)() % listings.size()];
        std::string listing = read(name);
        for (std::size_t at = listing.find("Label_"); at != std::string::npos; at = listing.find("Label_", at)) {
            listing.replace(at, 6, "Mine_");
        }
        write(name, listing);
        edited[name] = listing;
    }
};

// What the sequences went through, so that a generator that stops reaching
// them fails the test instead of passing it vacuously.
struct Seen {
    int ready = 0;
    int stopped = 0;
    int keptEdits = 0;
} seen;

// What the team's step must leave: the archive is the model's, or the step
// failed and changed nothing.
void checkStep(Team& team, const std::string& step, const RunResult& result,
               const std::map<std::string, std::string>& before) {
    SCOPED_TRACE(step + ":\n" + result.output);
    if (result.status != 0) {
        ++seen.stopped;
        EXPECT_NE(result.output.find("Error 1"), std::string::npos);  // scntool stopped make, with status 1
        EXPECT_TRUE(snapshot(team.dir()) == before) << "a failed step changed files";
        return;
    }
    if (step != "make") return;
    const Translations translations = team.translations();
    EXPECT_TRUE(membersOf(team.read("data.pac")) == binariesOf(team.version, &translations)) << "not the model's archive";
}

// make status is the release gate: ready only when the scenarios are
// exactly what should ship, every string translated.
void checkStatus(Team& team) {
    const RunResult status = team.make("status");
    if (status.status == 0) ++seen.ready;
    SCOPED_TRACE("make status:\n" + status.output);
    if (status.status != 0) {
        EXPECT_NE(status.output.find("Not ready to ship: "), std::string::npos);
        return;
    }
    EXPECT_NE(status.output.find("Ready to ship: every string translated, every binary up to date."), std::string::npos);
    const Translations translations = team.translations();
    for (const auto& [name, binary] : binariesOf(team.version, &translations)) EXPECT_TRUE(team.read(name) == binary) << name;
    for (const auto& [name, items] : team.version) {
        for (const Item& item : items) {
            if (item.kind == Item::String) {
                EXPECT_EQ(translations.count(item.text.po), 1u) << item.text.po;
            }
        }
    }
}

TEST(GameVersions, EveryStepShipsTheModelsArchiveOrStopsAndChangesNothing) {
    if (!haveGettext()) GTEST_SKIP() << "GNU make and the gettext tools are not installed";
    const unsigned sequences = testing_support::toolsAreWindows() ? 2 : 8;
    for (unsigned seed = 1; seed <= sequences; ++seed) {
        SCOPED_TRACE("sequence " + std::to_string(seed));
        Game game{std::mt19937(seed), {}, 0};
        Team team;
        team.rng = &game.rng;
        team.version = game.first();
        team.write("data.pac", archiveOf(team.version));
        ASSERT_EQ(team.pactool({"extract", "data.pac"}).status, 0);
        for (const char* target : {"decompile", "pot"}) ASSERT_EQ(team.make(target).status, 0) << target;
        ASSERT_EQ(team.run("msginit", {"--no-translator", "--locale=en_US.UTF-8", "-i", "game.pot", "-o", "game.po"}).status, 0);
        const RunResult emptied = team.run("msgfilter", {"--keep-header", "-i", "game.po", "-o", "game.po", "sed", "-e", "d"});
        ASSERT_EQ(emptied.status, 0) << emptied.output;
        team.translate();
        checkStatus(team);
        auto before = snapshot(team.dir());
        checkStep(team, "make", team.make(""), before);
        checkStatus(team);

        for (int step = 0; step < 3; ++step) {
            SCOPED_TRACE("version " + std::to_string(step + 2));
            if (game.rng() % 2 == 0) {
                team.editListing();
                before = snapshot(team.dir());
                checkStep(team, "make", team.make(""), before);
            }
            const Version old = team.version;
            team.version = game.next(old);
            team.write("data.pac", archiveOf(team.version));
            const RunResult extracted = team.pactool({"extract", "data.pac"});
            ASSERT_EQ(extracted.status, 0) << extracted.output;
            checkStatus(team);
            // Scenarios changed since their listing was made, and new ones.
            bool changed = false;
            bool added = false;
            for (const auto& [name, items] : team.version) {
                const auto was = old.find(name);
                added = added || was == old.end();
                changed = changed || (was != old.end() && listingOf(was->second, nullptr) != listingOf(items, nullptr));
            }
            // The README's order, or make or make pot straight after extract.
            std::vector<std::string> steps = {"decompile", "pot", "msgmerge", "translate", "make"};
            const unsigned order = game.rng() % 3;
            if (order == 1) steps.insert(steps.begin(), "make");
            if (order == 2) steps.insert(steps.begin(), "pot");
            for (std::size_t i = 0; i < steps.size(); ++i) {
                const std::string& what = steps[i];
                before = snapshot(team.dir());
                const Translations known = team.translations(true);
                if (what == "translate") {
                    team.translate(game.rng() % 2 == 0);
                } else if (what == "msgmerge") {
                    const RunResult merged = team.run("msgmerge", {"--previous", "-q", "-U", "--backup=none", "game.po", "game.pot"});
                    ASSERT_EQ(merged.status, 0) << merged.output;
                    // Every string whose text is unchanged keeps its translation, not fuzzy.
                    const Translations now = team.translations();
                    for (const auto& [name, items] : team.version) {
                        for (const Item& item : items) {
                            if (item.kind != Item::String || known.count(item.text.po) == 0) continue;
                            EXPECT_EQ(now.count(item.text.po), 1u) << item.text.po;
                        }
                    }
                } else {
                    const RunResult result = team.make(what == "make" ? "" : what);
                    checkStep(team, what, result, before);
                    // Straight after extract, a changed scenario stops make and make
                    // pot, and a new one (not listed yet) stops make.
                    if (i == 0 && order != 0 && (changed || (added && what == "make"))) {
                        EXPECT_NE(result.status, 0) << what;
                    }
                    if (what == "decompile") {
                        ASSERT_EQ(result.status, 0) << result.output;
                        for (const auto& [listing, text] : team.edited) {
                            const std::string name = listing.substr(0, listing.size() - 4);
                            const auto was = old.find(name);
                            const auto is = team.version.find(name);
                            if (was == old.end() || is == team.version.end()) continue;
                            if (listingOf(was->second, nullptr) == listingOf(is->second, nullptr)) {
                                EXPECT_EQ(team.read(listing), text) << "an edited listing of an unchanged scenario";
                            } else {
                                EXPECT_EQ(team.read(listing + ".edited"), text) << "the edited listing is kept";
                                ++seen.keptEdits;
                                std::remove(team.path(listing + ".edited").c_str());
                            }
                        }
                        team.edited.clear();
                    }
                }
                checkStatus(team);
            }
        }
    }
    if (sequences >= 8) {
        EXPECT_GT(seen.ready, 0);
        EXPECT_GT(seen.stopped, 0);
        EXPECT_GT(seen.keptEdits, 0);
    }
}

}  // namespace
