#include "member_names.h"

#include <unordered_map>

#include "list_file.h"
#include "pac_format.h"
#include "platform.h"
#include "text.h"
#include "work_folder.h"

namespace pactools {

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// Calls `visit` with each component of `path` between separators.
template <class Visit>
void forEachComponent(std::string_view path, Visit visit) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !isSeparator(path[end])) ++end;
        visit(path.substr(start, end - start));
        start = end + 1;
    }
}

bool isDeviceName(std::string_view component) {
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (equalsIgnoreCase(base, device)) return true;
    }
    return base.size() == 4 && (startsWithIgnoreCase(base, "COM") || startsWithIgnoreCase(base, "LPT")) &&
           base[3] >= '1' && base[3] <= '9';
}

bool isWindowsMisreadComponent(std::string_view component) {
    if (component.empty()) return false;
    if (component.back() == '.' || component.back() == ' ') return component != "." && component != "..";
    for (char c : component) {
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view(":<>\"|?*").find(c) != std::string_view::npos) {
            return true;
        }
    }
    return isDeviceName(component);
}

// True when a component of `key` (a fileKey) is scntool's record folder.
bool isInRecordFolder(std::string_view key) {
    bool inside = false;
    forEachComponent(key, [&](std::string_view component) { inside = inside || component == kRecordFolder; });
    return inside;
}

}  // namespace

bool isWindowsMisreadName(std::string_view name) {
    bool misread = false;
    forEachComponent(name, [&](std::string_view component) { misread = misread || isWindowsMisreadComponent(component); });
    return misread;
}

std::string fileKey(std::string_view path) {
    std::string key;
    // A leading separator (an absolute path) is kept, so "/x" and "x" differ.
    if (!path.empty() && isSeparator(path[0])) key += '/';
    forEachComponent(path, [&](std::string_view component) {
        while (!component.empty() && (component.back() == '.' || component.back() == ' ')) component.remove_suffix(1);
        if (component.empty()) return;
        if (!key.empty() && key.back() != '/') key += '/';
        for (char c : component) key += asciiLower(c);
    });
    return key;
}

Error checkMemberNames(const std::vector<std::string_view>& names, const std::string& pacPath, std::string_view source,
                       std::string_view verb) {
    const std::string listPath = listFileName(pacPath);
    const std::string archiveKey = fileKey(platform::absolutePath(pacPath));
    const std::string listKey = fileKey(platform::absolutePath(listPath));
    std::unordered_map<std::string, std::size_t> seen;
    seen.reserve(names.size());
    Error refusal = fileError(Fault::None, std::string(source));
    refusal.detail = verb;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string_view name = names[i];
        refusal.name = name;
        refusal.at = i + 1;
        if (name.empty()) return refusal.as(Fault::NameEmpty);
        if (isUnsafeMemberName(name)) return refusal.as(Fault::NameUnsafe);
        if (platform::kWindows && isWindowsMisreadName(name)) return refusal.as(Fault::NameMisreadByWindows);
        const std::string key = fileKey(name);
        // "dir/", "." and "a/." name directories: no file could be written there.
        if (key.empty() || isSeparator(name.back()) || name.ends_with("/.") || name.ends_with("\\.") || name == ".") {
            return refusal.as(Fault::NameNotAFile);
        }
        const std::string path = memberFilePath(name);
        // scntool's record folder as Windows finds it (any letter case,
        // trailing dots and spaces), refused on every system alike.  The key
        // of the path, not of the name: in a double-byte code page the second
        // byte of a character may look like a letter or a '\'.
        if (isInRecordFolder(fileKey(path))) return refusal.as(Fault::NameIsRecord);
        // By name, or as a link to one (writing a member follows links).
        if (key == "makefile" || key == "gnumakefile" || platform::sameFile(path, "makefile") ||
            platform::sameFile(path, "GNUmakefile") || platform::sameFile(path, "Makefile")) {
            return refusal.as(Fault::NameIsMakefile);
        }
        const std::string absoluteKey = fileKey(platform::absolutePath(path));
        if (absoluteKey == archiveKey || platform::sameFile(path, pacPath)) return refusal.as(Fault::NameIsArchive);
        if (absoluteKey == listKey || platform::sameFile(path, listPath)) return refusal.as(Fault::NameIsList);
        const auto [earlier, isNew] = seen.emplace(key, i);
        if (!isNew) {
            refusal.other = names[earlier->second];
            return refusal.as(Fault::NameCollides);
        }
    }
    return {};
}

}  // namespace pactools
