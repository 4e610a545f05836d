#include "previous_members.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "messages.h"
#include "platform.h"
#include "test_support.h"

namespace pactools {
namespace {

// A fresh folder made the current directory, as extract runs in its folder,
// holding `files` (a '/' in a name makes its folder too) and, unless null,
// the list file data.pac.list with `list` in it.
class Folder {
public:
    Folder(const std::vector<std::string>& files, const char* list, const char* otherList = nullptr) {
        EXPECT_EQ(::getcwd(previous_, sizeof previous_), previous_);
        EXPECT_EQ(::chdir(dir_.path().c_str()), 0);
        for (const std::string& file : files) {
            if (file.find('/') != std::string::npos) ::mkdir(file.substr(0, file.find('/')).c_str(), 0755);
            testing_support::writeFile(file, "own");
        }
        if (list != nullptr) testing_support::writeFile("data.pac.list", list);
        if (otherList != nullptr) testing_support::writeFile("old.pac.list", otherList);
    }
    ~Folder() { EXPECT_EQ(::chdir(previous_), 0); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

private:
    testing_support::TempDir dir_;
    char previous_[4096] = {};
};

TEST(PreviousMembers, OnlyTheFilesOfThePreviousMembersAreReplaced) {
    const char* const v1 = "0 0\nscene.bin\nnotes.dat\n";
    const std::vector<std::string> team = {"scene.bin", "notes.dat", "scene.txt", "game.po"};
    const struct {
        const char* list;  // the previous list file, null for none
        std::vector<std::string> files;
        std::vector<std::string_view> names;
        const char* refused;  // the member refused, null for none
        std::uint64_t at = 0;
        const char* otherList = nullptr;  // the list of another archive extracted here (old.pac.list)
        std::vector<std::size_t> held = {};  // the members whose files already hold them
    } cases[] = {
        // No list file: no earlier extract to tell members from other files.
        {nullptr, team, {"scene.txt", "game.po"}, nullptr},
        // Members of before, and new ones where nothing is, are written.
        {v1, team, {"notes.dat", "scene.bin", "new.bin", "sub/new.bin"}, nullptr},
        // A file that is no member of before, wherever it comes.
        {v1, team, {"game.po"}, "game.po", 1},
        {v1, team, {"scene.bin", "notes.dat", "new.bin", "scene.txt"}, "scene.txt", 4},
        {"0 0\n", {"scene.bin"}, {"scene.bin"}, "scene.bin", 1},
        {v1, {"sub/scene.bin"}, {"sub/scene.bin"}, "sub/scene.bin", 1},
        // The list as a Windows extract writes it; '\' is '/' on every system.
        {"\xEF\xBB\xBF" "0 0\r\nsub\\a.bin\r\nsub/b.bin\r\n", {"sub/a.bin", "sub/b.bin"}, {"sub/a.bin", "sub\\b.bin"},
         nullptr},
        // Letter case makes another file, except on Windows.
        {"0 0\nScene.bin\n", {"scene.bin"}, {"scene.bin"}, platform::kWindows ? nullptr : "scene.bin", 1},
        // The lists of other archives extracted here count too; another
        // file named .list that is none does not.
        {nullptr, team, {"scene.bin", "game.po"}, "game.po", 2, v1},
        {nullptr, team, {"scene.bin", "notes.dat"}, nullptr, 0, v1},
        {nullptr, team, {"game.po"}, nullptr, 0, "not a list\n"},
        // A list that a list names as a member came out of an archive: what it names is not trusted.
        {"0 0\nscene.bin\nold.pac.list\n", team, {"game.po"}, "game.po", 1, "0 0\ngame.po\n"},
        {"0 0\ngame.po\n", team, {"game.po"}, "game.po", 1, "0 0\ndata.pac.list\n"},
        // A file that already holds its member (an extract cut short) is replaced by nothing new.
        {v1, team, {"game.po", "scene.txt"}, "scene.txt", 2, nullptr, {0}},
    };
    for (const auto& c : cases) {
        Folder folder(c.files, c.list, c.otherList);
        const Error error = checkPreviousMembers(c.names, "data.pac", [&](std::size_t i) {
            return std::find(c.held.begin(), c.held.end(), i) != c.held.end();
        });
        const std::string list = c.list != nullptr ? "data.pac.list" : "old.pac.list";
        const std::string expected =
            c.refused == nullptr
                ? ""
                : std::string("data.pac: Refusing to extract ") + c.refused + ": it would replace a file that " + list +
                      " (the list of the archive extracted here before) "
                      "does not name: a file of your own, such as a listing or a PO file; move it away first";
        EXPECT_EQ(messageText(error), expected) << (c.list ? c.list : "no list") << " " << c.names.back();
        EXPECT_EQ(error.at, c.refused == nullptr ? 0 : c.at) << c.names.back();
    }
}

TEST(PreviousMembers, AListThatCannotBeReadRefusesEveryMember) {
    const struct {
        const char* list;  // null: a folder stands in its place
        std::string why;
    } cases[] = {
        {"", "not a list file"},
        {"scene.bin\nnotes.dat\n", "not a list file"},
        {"0 100000000\nscene.bin\n", "not a list file"},
        {nullptr, platform::errorText(EISDIR)},
    };
    for (const auto& c : cases) {
        Folder folder({}, c.list);
        if (c.list == nullptr) ::mkdir("data.pac.list", 0755);
        EXPECT_EQ(messageText(checkPreviousMembers(std::vector<std::string_view>{"new.bin"}, "data.pac",
                                                   [](std::size_t) { return false; })),
                  "data.pac.list: the list of the archive extracted here before cannot be read (" + c.why +
                      "), so extract cannot tell its members from your own files; move it away to extract here")
            << (c.list ? c.list : "a folder");
    }
}

}  // namespace
}  // namespace pactools
