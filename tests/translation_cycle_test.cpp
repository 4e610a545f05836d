// Scenario strings to gettext PO files and back, through the real scntool
// and the real gettext tools (msgcat, msginit, msgen, msgfmt, msgmerge).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "code_page.h"
#include "po_file.h"
#include "scenario_generator.h"
#include "tool_runner.h"

namespace {

using testing_support::RunResult;
using testing_support::Workspace;

bool haveGettext() {
    return std::system("msginit --version >/dev/null 2>&1") == 0;
}

RunResult gettext(const Workspace& w, const std::string& program, const std::vector<std::string>& arguments) {
    return testing_support::runProgramDirect(w.dir(), program, arguments);
}

// A string as PO files carry it: control bytes other than tab as their
// control pictures (U+2400 + byte).
std::string poText(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t') {
            text += "\xE2\x90";
            text += static_cast<char>(0x80 + byte);
        } else {
            text += c;
        }
    }
    return text;
}

// The string of a listing's PushB line: from the first '<' to the last '>'.
bool pushedString(const std::string& line, std::size_t& open, std::size_t& close) {
    if (line.compare(0, 5, "PushB") != 0) return false;
    open = line.find('<');
    close = line.rfind('>');
    return open != std::string::npos && close != std::string::npos && open < close;
}

// Calls `each` with every line of a listing (without its line end) and
// returns the listing with the lines `each` returned.
template <class Each>
std::string mapLines(const std::string& listing, Each each) {
    std::string result;
    for (std::size_t at = 0; at < listing.size();) {
        std::size_t end = listing.find('\n', at);
        if (end == std::string::npos) end = listing.size();
        std::string line = listing.substr(at, end - at);
        const bool cr = !line.empty() && line.back() == '\r';
        if (cr) line.pop_back();
        result += each(line) + (cr ? "\r" : "") + (end < listing.size() ? "\n" : "");
        at = end + 1;
    }
    return result;
}

// The lines of a tool's output other than progress and warnings.
std::string errorsIn(const std::string& output) {
    std::string errors;
    mapLines(output, [&](const std::string& line) {
        if (line.compare(0, 11, "Processing:") != 0 && line.compare(0, 8, "Warning:") != 0) errors += line + "\n";
        return line;
    });
    return errors;
}

// The property that matters most: assembling a listing with a PO file's
// translations gives the very binary that assembling the listing with those
// strings written into it gives, for generated scenarios with jumps both
// ways around strings that repeat and hold control bytes, and translations
// longer and shorter than their sources (fuzzy and empty ones left out).
TEST(TranslationCycle, TheTranslatedBinaryIsTheListingRoutesBinary) {
    // Every shape below (seed % 50, % 3, % 2: 150 of them) and more.
    constexpr unsigned kScenarios = 200;
    Workspace w;
    std::vector<std::string> binaries;
    for (unsigned seed = 0; seed < kScenarios; ++seed) {
        testing_support::ScenarioShape shape;
        shape.statements = 10 + seed % 50;
        shape.labelEvery = 3;
        shape.flagWords = seed % 3;
        shape.longestString = 24;
        shape.stringPool = 3;
        shape.controlBytes = seed % 2 == 1;
        const std::string name = "s" + std::to_string(seed);
        w.write(name + ".bin", testing_support::generateScenario(shape, seed));
        binaries.push_back(name + ".bin");
    }
    RunResult result = w.scntool(binaries);
    ASSERT_EQ(result.status, 0) << result.output.substr(0, 2000);

    // Translations for about half the distinct strings; the rest untranslated,
    // fuzzy, or with an empty msgstr.
    std::mt19937 rng(7);
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz ABC.,!?:<>'\"\\#\t\x1B\x04\x01\x1F";
    std::map<std::string, std::string> translations;  // source bytes -> translated bytes
    std::string po = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n";
    std::set<std::string> seen;
    std::vector<std::string> listings;
    for (unsigned seed = 0; seed < kScenarios; ++seed) {
        listings.push_back(w.read("s" + std::to_string(seed) + ".txt"));
        mapLines(listings.back(), [&](const std::string& line) {
            std::size_t open = 0;
            std::size_t close = 0;
            if (!pushedString(line, open, close)) return line;
            const std::string source = line.substr(open + 1, close - open - 1);
            if (source.empty() || !seen.insert(source).second) return line;
            std::string translation;
            const std::size_t length = 1 + rng() % (2 * source.size() + 8);
            for (std::size_t i = 0; i < length; ++i) translation += alphabet[rng() % (sizeof alphabet - 1)];
            const unsigned kind = rng() % 4;
            if (kind <= 1) translations[source] = translation;
            if (kind <= 2) {
                po += std::string("\n") + (kind == 2 ? "#, fuzzy\n" : "") + "msgid " + pactools::poQuoted(poText(source)) +
                      "\nmsgstr " + pactools::poQuoted(kind == 2 && rng() % 2 ? "" : poText(translation)) + "\n";
            }
            return line;
        });
    }
    po += "\nmsgid \"a string no scenario holds\"\nmsgstr \"x\"\n";
    w.write("game.po", po);
    ASSERT_GT(translations.size(), 100u);

    // The PO route, for every listing at once...
    std::vector<std::string> arguments = {"--po", "game.po"};
    for (unsigned seed = 0; seed < kScenarios; ++seed) arguments.push_back("s" + std::to_string(seed) + ".txt");
    result = w.scntool(arguments);
    ASSERT_EQ(result.status, 0) << errorsIn(result.output);
    // ... and the listing route: the translations written into the listings.
    std::vector<std::string> edited;
    for (unsigned seed = 0; seed < kScenarios; ++seed) {
        w.write("t" + std::to_string(seed) + ".txt", mapLines(listings[seed], [&](const std::string& line) {
                    std::size_t open = 0;
                    std::size_t close = 0;
                    if (!pushedString(line, open, close)) return line;
                    const auto found = translations.find(line.substr(open + 1, close - open - 1));
                    return found == translations.end() ? line : line.substr(0, open + 1) + found->second + ">";
                }));
        edited.push_back("t" + std::to_string(seed) + ".txt");
    }
    result = w.scntool(edited);
    ASSERT_EQ(result.status, 0) << result.output.substr(0, 2000);
    for (unsigned seed = 0; seed < kScenarios; ++seed) {
        ASSERT_EQ(w.read("s" + std::to_string(seed) + ".bin"), w.read("t" + std::to_string(seed) + ".bin")) << seed;
    }
}

// Templates carry every control byte as its picture (tab as \t), which
// msgcat, msginit, msgen, msgmerge and msgfmt -c all accept; the translation
// msgen makes (the source itself) assembles to the very same bytes.
TEST(TranslationCycle, ControlBytesSurviveEveryGettextTool) {
    if (!haveGettext()) GTEST_SKIP() << "the gettext tools are not installed";
    Workspace w;
    std::string controls;
    for (int byte = 1; byte < 0x20; ++byte) {
        if (byte != '\n' && byte != '\r') controls += static_cast<char>(byte);
    }
    w.write("s.txt", "Flags(0, 0)\nPushB\t<" + controls + ">\nCall\t1(0)\nPushB\t<esc \x1B[1m bold \x04 end\tok>\nCJmp\tEnd\n"
                     "PushB\t<plain>\nEnd:\n");
    ASSERT_EQ(w.scntool({"s.txt"}).status, 0);
    const std::string original = w.read("s.bin");
    RunResult result = w.scntool({"--pot", "s.txt"});
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string pot = w.read("s.pot");
    for (const char c : pot) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\r') << int(c);
    EXPECT_NE(pot.find("msgid \"esc \xE2\x90\x9B[1m bold \xE2\x90\x84 end\\tok\""), std::string::npos) << pot;
    for (const auto& step : std::vector<std::vector<std::string>>{
             {"msgcat", "-o", "cat.pot", "s.pot"},
             {"msginit", "--no-translator", "--locale=en_US.UTF-8", "-i", "cat.pot", "-o", "s.po"},
             {"msgen", "-o", "s.po", "s.po"},
             {"msgmerge", "-q", "-U", "--backup=none", "s.po", "s.pot"},
             {"msgfmt", "-c", "-o", "/dev/null", "s.po"},
         }) {
        result = gettext(w, step[0], std::vector<std::string>(step.begin() + 1, step.end()));
        ASSERT_EQ(result.status, 0) << step[0] << ": " << result.output;
    }
    std::remove(w.path("s.bin").c_str());
    result = w.scntool({"s.po"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.find("Warning"), std::string::npos) << result.output;
    EXPECT_EQ(w.read("s.bin"), original);
}

// Every character of every code page, through the tools under test and
// through scntool built for this machine: the templates (line ends aside)
// and the binaries are the same, every msgid is the character the table
// gives, a translation of each string by itself gives back the very bytes,
// and the look-alikes a page cannot hold are refused, naming what it holds.
TEST(TranslationCycle, EveryCodePageGivesTheSameBytesOnEverySystem) {
    const struct {
        const char* page;
        std::string lookAlike;  // a translation the page refuses
        const char* message;
    } pages[] = {
        {"CP932", "\xE3\x80\x9C", "U+301C WAVE DASH, which CP932 cannot hold (it holds U+FF5E FULLWIDTH TILDE instead)"},
        {"CP936", "\xE3\x80\x9C", "U+301C WAVE DASH, which CP936 cannot hold (it holds U+FF5E FULLWIDTH TILDE instead)"},
        {"CP949", "\xE2\x80\x94", "U+2014 EM DASH, which CP949 cannot hold (it holds U+2015 HORIZONTAL BAR instead)"},
        {"CP950", "\xC2\xA5", "U+00A5 YEN SIGN, which CP950 cannot hold (it holds U+FFE5 FULLWIDTH YEN SIGN instead)"},
        {"CP1250", "\xE2\x80\x95", "U+2015 HORIZONTAL BAR, which CP1250 cannot hold (it holds U+2014 EM DASH instead)"},
        {"CP1251", "\xE3\x83\xBB", "U+30FB KATAKANA MIDDLE DOT, which CP1251 cannot hold (it holds U+00B7 MIDDLE DOT instead)"},
        {"CP1252", "\xEF\xBD\x9E", "U+FF5E FULLWIDTH TILDE, which CP1252 cannot hold"},
        {"CP1253", "\xC3\xA9", "U+00E9 LATIN SMALL LETTER E WITH ACUTE, which CP1253 cannot hold"},
        {"CP1254", "\xD0\x9F", "U+041F CYRILLIC CAPITAL LETTER PE, which CP1254 cannot hold"},
        {"CP1255", "\xC4\x80", "U+0100 LATIN CAPITAL LETTER A WITH MACRON, which CP1255 cannot hold"},
        {"CP1256", "\xEF\xBF\xA5", "U+FFE5 FULLWIDTH YEN SIGN, which CP1256 cannot hold (it holds U+00A5 YEN SIGN instead)"},
        {"CP1257", "\xC3\xB1", "U+00F1 LATIN SMALL LETTER N WITH TILDE, which CP1257 cannot hold"},
        {"CP1258", "\xE1\xBA\xBF", "U+1EBF LATIN SMALL LETTER E WITH CIRCUMFLEX AND ACUTE, which CP1258 cannot hold"},
    };
    const auto withoutCr = [](std::string text) {
        std::erase(text, '\r');
        return text;
    };
    for (const auto& c : pages) {
        SCOPED_TRACE(c.page);
        const pactools::CodePage page = *pactools::findCodePage(c.page);
        // Every byte and byte pair that decodes, 60 bytes to a string.
        std::vector<std::string> strings(1);
        std::vector<std::string> expected(1);
        std::string utf8;
        const auto add = [&](const std::string& bytes) {
            if (!pactools::toUtf8(page, bytes, utf8)) return;
            if (strings.back().size() + bytes.size() > 60) {
                strings.emplace_back();
                expected.emplace_back();
            }
            strings.back() += bytes;
            expected.back() += utf8;
        };
        for (int byte = 0x20; byte < 0x100; ++byte) add(std::string(1, static_cast<char>(byte)));
        for (int lead = 0x81; lead < 0xFF; ++lead) {
            for (int trail = 0x40; trail < 0xFF; ++trail) {
                if (!pactools::toUtf8(page, std::string(1, static_cast<char>(lead)), utf8)) {
                    add(std::string{static_cast<char>(lead), static_cast<char>(trail)});
                }
            }
        }
        std::string listing = "Flags(0, 0)\n";
        for (const std::string& string : strings) listing += "PushB\t<" + string + ">\nCall\t1(0)\n";
        Workspace w;
        Workspace host;
        w.write("c.txt", listing);
        host.write("c.txt", listing);
        for (const Workspace* side : {&w, &host}) {
            const bool tested = side == &w;
            const auto run = [&](const std::vector<std::string>& arguments) {
                return tested ? side->scntool(arguments) : side->hostScntool(arguments);
            };
            ASSERT_EQ(run({"c.txt"}).status, 0);
            const RunResult made = run({"--code-page", c.page, "--pot", "c.txt"});
            ASSERT_EQ(made.status, 0) << made.output;
        }
        const std::string original = w.read("c.bin");
        EXPECT_TRUE(original == host.read("c.bin"));
        const RunResult status = w.scntool({"--status", "--code-page", c.page, "c.txt"});
        EXPECT_EQ(status.output, "c: " + std::to_string(strings.size()) + " strings: 0 translated, 0 fuzzy, " +
                                     std::to_string(strings.size()) +
                                     " untranslated; c.bin up to date\nReady to ship: every binary up to date with its listing.\n");
        EXPECT_TRUE(withoutCr(w.read("c.pot")) == withoutCr(host.read("c.pot")));
        pactools::PoFile pot;
        ASSERT_FALSE(pactools::readPo(w.read("c.pot"), pot));
        ASSERT_EQ(pot.entries.size(), expected.size() + 1);
        std::string po = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\"X-Code-Page: " +
                         std::string(c.page) + "\\n\"\n";
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(pot.entries[i + 1].id, expected[i]) << i;
            po += "\nmsgid " + pactools::poQuoted(expected[i]) + "\nmsgstr " + pactools::poQuoted(expected[i]) + "\n";
        }
        // Each string translated by itself: the very same bytes, also where
        // a character has two forms (the game's own stays).
        w.write("c.po", po);
        std::remove(w.path("c.bin").c_str());
        RunResult result = w.scntool({"c.po"});
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_TRUE(w.read("c.bin") == original);
        // A look-alike the page cannot hold: refused, nothing written.
        const std::size_t first = po.find("msgstr \"", po.find("\nmsgid \"", po.find("X-Code-Page")));
        w.write("c.po", po.substr(0, first) + "msgstr \"" + c.lookAlike + po.substr(first + 8));
        result = w.scntool({"c.po"});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.output.find(c.message), std::string::npos) << result.output;
        EXPECT_TRUE(w.read("c.bin") == original);
    }
}

}  // namespace
