#include "previous_members.h"

#include <unordered_set>
#include <vector>

#include "file_io.h"
#include "list_file.h"
#include "member_names.h"
#include "name_reading.h"
#include "messages.h"
#include "pac_faults.h"
#include "pac_format.h"
#include "platform.h"
#include "text.h"

namespace pactools {

namespace {

// A member's file (by its name's text) as the file system tells files
// apart: on Windows by the fileKey of its path, elsewhere by the path itself.
std::string memberFileKey(std::string_view text) {
    const std::string path = memberFilePath(text);
    return platform::kWindows ? fileKey(path) : path;
}

// What is wrong with a list file that could not be read or read as one.
std::string whyUnreadable(const Error& error) {
    if (error.system != 0) return platform::errorText(error.system);
    if (error.fault == PacFault::ListOutOfMemory) return messageText(error);
    return "not a list file";
}

// The files of the members the list file at `listPath` names.
Error readPreviousMembers(const std::string& listPath, std::unordered_set<std::string>& files) {
    std::vector<std::uint8_t> bytes;
    PtrVector<std::string> names;
    PacHeader header;
    std::optional<CodePage> page;
    Error error = readWholeFile(listPath, bytes);
    if (!error) {
        error =
            readList(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), names, header, &page);
    }
    if (error) {
        Error unreadable = fileError(PacFault::PreviousListUnreadable, listPath);
        unreadable.detail = whyUnreadable(error);
        return unreadable;
    }
    // A list extracted with a code page holds the names' texts; one without,
    // their bytes, as the system reads them.
    std::string text;
    for (const std::string* name : names) {
        if (page) text = *name;
        else nameText(NameReading{}, *name, text);
        files.insert(memberFileKey(text));
    }
    return {};
}

}  // namespace

Error checkPreviousMembers(std::span<const std::string_view> names, const std::string& pacPath, const HoldsMember& holds) {
    const std::string listPath = listFileName(pacPath);
    struct List {
        std::string path;
        std::unordered_set<std::string> members;
    };
    std::vector<List> lists;
    std::string named;  // the list a refusal names: the archive's own, else another
    if (pathExists(listPath)) {
        lists.push_back({listPath, {}});
        if (Error error = readPreviousMembers(listPath, lists.back().members)) return error;
        named = listPath;
    }
    // The lists of other archives extracted into this folder.
    std::vector<std::string> entries;
    int reason = 0;
    platform::listDirectory("", entries, reason);
    for (const std::string& entry : entries) {
        if (entry.size() <= 5 || !endsWithIgnoreCase(entry, ".list") || platform::sameFile(entry, listPath)) continue;
        List list{entry, {}};
        if (readPreviousMembers(entry, list.members)) continue;
        if (named.empty()) named = entry;
        lists.push_back(std::move(list));
    }
    if (named.empty()) return {};
    // A list that some list names as a member came out of an archive, not
    // from an extract here: what it names is not trusted to be members.
    std::unordered_set<std::string> memberFiles;
    for (const List& list : lists) memberFiles.insert(list.members.begin(), list.members.end());
    std::unordered_set<std::string> previous;
    for (const List& list : lists) {
        if (!memberFiles.contains(memberFileKey(list.path))) previous.insert(list.members.begin(), list.members.end());
    }
    if (named.empty()) return {};
    for (std::size_t i = 0; i < names.size(); ++i) {
        // A member of before may be replaced; a new file takes no one's place.
        if (previous.contains(memberFileKey(names[i])) || !pathExists(memberFilePath(names[i])) || holds(i)) continue;
        Error refusal = fileError(PacFault::NameReplacesOwnFile, pacPath);
        refusal.detail = "extract";
        refusal.name = names[i];
        refusal.at = i + 1;
        refusal.other = named;
        return refusal;
    }
    return {};
}

}  // namespace pactools
