#include "member_names.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "code_page.h"
#include "file_io.h"
#include "list_file.h"
#include "pac_faults.h"
#include "pac_format.h"
#include "platform.h"
#include "text.h"
#include "upper_case_table.h"
#include "work_folder.h"

namespace pactools {

namespace {

// Calls `visit` with each component of `path` between separators.
template <class Visit>
void forEachComponent(std::string_view path, Visit visit) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !isNameSeparator(path[end])) ++end;
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
    const std::string folder = fileKey(kRecordFolder);
    bool inside = false;
    forEachComponent(key, [&](std::string_view component) { inside = inside || component == folder; });
    return inside;
}

// Text in upper case as Windows' file systems compare names: each character
// of the Basic Multilingual Plane by its simple upper-case form; bytes that
// are no UTF-8 stay as they are.
std::string upperCase(std::string_view text) {
    const auto table = upper_case_table::pairs();
    std::string upper;
    upper.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::uint32_t point = firstCodePoint(text.substr(at));
        const std::size_t length = point == 0xFFFFFFFF ? 1 : point < 0x80 ? 1 : point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
        const auto found = std::lower_bound(table.begin(), table.end(), point,
                                            [](const upper_case_table::Pair& pair, std::uint32_t c) { return pair.character < c; });
        if (point <= 0xFFFF && found != table.end() && found->character == point) {
            appendUtf8(upper, found->upper);
        } else {
            upper += text.substr(at, length);
        }
        at += length;
    }
    return upper;
}

// A name's last component as a short 8.3 name reads, in upper case: its
// base (before the last dot) and extension.  `generated` tells that it has
// the form Windows gives the short names it makes (BASE~N, N digits).  With
// `basis`, the basis Windows makes a long name's short name from: leading
// dots, blanks and every dot but the last left out, + , ; = [ ] made '_'.
struct ShortForm {
    std::string base;
    std::string extension;
    bool generated = false;
};

ShortForm shortFormOf(std::string_view name, bool basis = false) {
    std::string component = upperCase(lastPathComponent(name));
    if (basis) {
        // Leading dots go, and characters a short name cannot hold become '_'.
        component.erase(0, component.find_first_not_of('.'));
        for (char& c : component) {
            if (std::string_view("+,;=[]").find(c) != std::string_view::npos) c = '_';
        }
    }
    ShortForm form;
    const std::size_t dot = component.rfind('.');
    form.base = component.substr(0, dot);
    form.extension = dot == std::string::npos ? "" : component.substr(dot + 1);
    if (basis) {
        std::erase(form.base, ' ');
        std::erase(form.base, '.');
        std::erase(form.extension, ' ');
        return form;
    }
    const std::size_t tilde = form.base.rfind('~');
    form.generated = tilde != std::string::npos && tilde > 0 && tilde + 1 < form.base.size() && form.base.size() <= 8 &&
                     form.extension.size() <= 3 &&
                     std::all_of(form.base.begin() + static_cast<long>(tilde) + 1, form.base.end(),
                                 [](char c) { return c >= '0' && c <= '9'; });
    if (form.generated) form.base.resize(tilde);
    return form;
}

// A name that is a short 8.3 name itself (Windows makes no other for it).
bool isShortName(std::string_view name) {
    const std::string_view component = lastPathComponent(name);
    const std::size_t dot = component.find('.');
    const std::string_view base = component.substr(0, dot);
    const std::string_view extension = dot == std::string_view::npos ? "" : component.substr(dot + 1);
    const auto plain = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte > 0x20 && byte < 0x7F && std::string_view(" .\"+,;=[]").find(c) == std::string_view::npos;
        });
    };
    return !base.empty() && base.size() <= 8 && extension.size() <= 3 && extension.find('.') == std::string_view::npos &&
           plain(base) && plain(extension);
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
    if (!path.empty() && isNameSeparator(path[0])) key += '/';
    forEachComponent(path, [&](std::string_view component) {
        while (!component.empty() && (component.back() == '.' || component.back() == ' ')) component.remove_suffix(1);
        if (component.empty()) return;
        if (!key.empty() && key.back() != '/') key += '/';
        key += upperCase(component);
    });
    return key;
}

namespace {

// Whether a short name's part `part` may have been made from the start of
// the long name's `basis`: its first characters, as far as they are ASCII.
// A character outside ASCII becomes '_' or one or two bytes of the OEM code
// page, so from there on anything may follow.
bool mayStartWith(std::string_view basis, std::string_view part, bool whole) {
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (i == basis.size()) return false;
        if (static_cast<unsigned char>(basis[i]) >= 0x80) return true;
        if (basis[i] != part[i]) return false;
    }
    return !whole || part.size() == basis.size() || static_cast<unsigned char>(basis[part.size()]) >= 0x80;
}

}  // namespace

bool mayBeShortNameOf(std::string_view shortName, std::string_view longName) {
    const ShortForm form = shortFormOf(shortName);
    if (!form.generated || isShortName(longName)) return false;
    const ShortForm basis = shortFormOf(longName, true);
    const std::string_view extension = std::string_view(basis.extension).substr(0, 3);
    if (!mayStartWith(extension, form.extension, true)) return false;
    const std::string_view prefix = form.base;
    // Up to four collisions keep six characters of the basis and count on;
    // past them, two and four hexadecimal digits of a hash.
    if (mayStartWith(basis.base, prefix, false)) return true;
    return prefix.size() == 6 && mayStartWith(basis.base, prefix.substr(0, 2), false) &&
           std::all_of(prefix.begin() + 2, prefix.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

Error checkMemberNames(const std::vector<std::string_view>& names, const std::string& pacPath, std::string_view source,
                       std::string_view verb) {
    const std::string listPath = listFileName(pacPath);
    const std::string archiveKey = fileKey(platform::absolutePath(pacPath));
    const std::string listKey = fileKey(platform::absolutePath(listPath));
    // The files no member may be written over, through a link either,
    // known by identity: looked at once, not again for every member.
    struct Guarded {
        platform::FileIdentity identity;
        PacFault fault;
    };
    std::vector<Guarded> guarded;
    for (const auto& [file, fault] : {std::pair<std::string, PacFault>{"makefile", PacFault::NameIsMakefile},
                                      {"GNUmakefile", PacFault::NameIsMakefile},
                                      {"Makefile", PacFault::NameIsMakefile},
                                      {pacPath, PacFault::NameIsArchive},
                                      {listPath, PacFault::NameIsList}}) {
        Guarded g{{}, fault};
        if (platform::fileIdentity(file, g.identity)) guarded.push_back(g);
    }
    std::unordered_map<std::string, std::size_t> seen;
    seen.reserve(names.size());
    Error refusal = fileError(Fault{}, std::string(source));
    refusal.detail = verb;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string_view name = names[i];
        refusal.name = name;
        refusal.at = i + 1;
        if (name.empty()) return refusal.as(PacFault::NameEmpty);
        if (isUnsafeMemberName(name)) return refusal.as(PacFault::NameUnsafe);
        if (platform::kWindows && isWindowsMisreadName(name)) return refusal.as(PacFault::NameMisreadByWindows);
        const std::string key = fileKey(name);
        // "dir/", "." and "a/." name directories: no file could be written there.
        if (key.empty() || isNameSeparator(name.back()) || name.ends_with("/.") || name.ends_with("\\.") || name == ".") {
            return refusal.as(PacFault::NameNotAFile);
        }
        const std::string path = memberFilePath(name);
        // scntool's record folder as Windows finds it (any letter case,
        // trailing dots and spaces), refused on every system alike.  The key
        // of the path, not of the name: in a double-byte code page the second
        // byte of a character may look like a letter or a '\'.
        if (isInRecordFolder(fileKey(path))) return refusal.as(PacFault::NameIsRecord);
        if (isTemporaryName(path)) return refusal.as(PacFault::NameLikeTemporary);
        // By name, or as a link to one (writing a member follows links).
        if (key == fileKey("makefile") || key == fileKey("gnumakefile")) return refusal.as(PacFault::NameIsMakefile);
        const std::string absoluteKey = fileKey(platform::absolutePath(path));
        if (absoluteKey == archiveKey) return refusal.as(PacFault::NameIsArchive);
        if (absoluteKey == listKey) return refusal.as(PacFault::NameIsList);
        platform::FileIdentity identity;
        if (!guarded.empty() && platform::fileIdentity(path, identity)) {
            for (const Guarded& g : guarded) {
                if (g.identity.device == identity.device && g.identity.file == identity.file) return refusal.as(g.fault);
            }
        }
        const auto [earlier, isNew] = seen.emplace(key, i);
        if (!isNew) {
            refusal.other = names[earlier->second];
            return refusal.as(PacFault::NameCollides);
        }
    }
    // A name like the short 8.3 name Windows may give another member
    // (SCENAR~1.BIN for scenario01.bin) would be that member's file there;
    // so would a folder (SCENAR~1/a.bin beside scenario/b.bin).  Every
    // file and folder name is compared with the others in its folder, when
    // it has that shape (rare).
    struct Component {
        std::size_t member;  // the first member under or at it
        std::string_view text;
    };
    std::map<std::string, std::vector<Component>> inFolder;  // by the folder's key
    std::unordered_set<std::string> known;                   // the keys of the paths seen
    bool shortShaped = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string folder;
        forEachComponent(names[i], [&](std::string_view component) {
            const std::string key = fileKey(component);
            if (key.empty()) return;
            const std::string path = folder.empty() ? key : folder + "/" + key;
            if (known.insert(path).second) {
                inFolder[folder].push_back({i, component});
                shortShaped = shortShaped || (component.find('~') != std::string_view::npos && shortFormOf(component).generated);
            }
            folder = path;
        });
    }
    if (!shortShaped) return {};
    for (const auto& [folder, components] : inFolder) {
        for (const Component& s : components) {
            if (s.text.find('~') == std::string_view::npos || !shortFormOf(s.text).generated) continue;
            for (const Component& l : components) {
                if (&s == &l || !mayBeShortNameOf(s.text, l.text)) continue;
                refusal.name = names[s.member];
                refusal.at = s.member + 1;
                refusal.other = names[l.member];
                return refusal.as(PacFault::NameMayBeShortName);
            }
        }
    }
    return {};
}

Error checkDistinctFiles(const std::vector<std::string_view>& names, std::string_view source, std::string_view verb,
                         std::vector<std::optional<platform::FileIdentity>>* existing) {
    std::map<platform::FileIdentity, std::size_t> seen;
    if (existing != nullptr) existing->assign(names.size(), std::nullopt);
    for (std::size_t i = 0; i < names.size(); ++i) {
        platform::FileIdentity identity;
        if (!platform::fileIdentity(memberFilePath(names[i]), identity)) continue;
        if (existing != nullptr) (*existing)[i] = identity;
        const auto [earlier, isNew] = seen.emplace(identity, i);
        if (isNew) continue;
        Error refusal = fileError(PacFault::NameSameFile, std::string(source));
        refusal.detail = verb;
        refusal.name = names[i];
        refusal.at = i + 1;
        refusal.other = names[earlier->second];
        return refusal;
    }
    return {};
}

}  // namespace pactools
