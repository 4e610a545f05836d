// The one way failures travel: an Error says what failed (a Fault of the
// library that found it), the file it concerns, the names and numbers its
// message needs, and the operating system's reason.  Formats, files and
// pipelines return it; each library puts its own faults into words, and the
// commands print them (messages.h).
#pragma once


#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pactools {

struct Error;

// How the errors of one library read.  Each library numbers its own faults
// (an enum class, with a faultDomain() overload giving its domain) and puts
// them into words itself, so that adding an error touches that library only.
struct FaultDomain {
    // The message line, without its line end.
    std::string (*message)(const Error& error);
    // The faults whose message gives no reason of its own ("Can't open
    // NAME"): the system's reason, when there is one, follows on standard
    // error.
    std::vector<std::uint16_t> reasonFollows;
    // Prints what follows the message on standard error, beyond the
    // system's reason, as "TOOL: WHERE: TEXT"; null for nothing.
    void (*explain)(const char* tool, const Error& error);
};

// The number of a library's fault, as FaultDomain::reasonFollows lists it.
template <typename Code>
constexpr std::uint16_t faultCode(Code code) {
    return static_cast<std::uint16_t>(code);
}

// One fault of one library, or none: made from any library's fault enum
// (PacFault::NotPac), compared with it as such.
class Fault {
public:
    Fault() = default;
    template <typename Code>
        requires requires(Code value) { { faultDomain(value) } -> std::same_as<const FaultDomain&>; }
    Fault(Code value) : domain(&faultDomain(value)), code(static_cast<std::uint16_t>(value)) {}

    const FaultDomain* domain = nullptr;  // null for none
    std::uint16_t code = 0;               // the library's enum value

    explicit operator bool() const { return domain != nullptr; }
    friend bool operator==(const Fault&, const Fault&) = default;
};

struct Error {
    Error() = default;
    explicit Error(Fault what) : fault(what) {}

    Fault fault;
    std::string file;        // the file it concerns: its path, or a member's name as text (fileIsName)
    std::string name;        // a member's name as text, a label or another name the message shows
    std::string other;       // a second name
    std::string detail;      // further text: a verb, a reason
    std::uint64_t at = 0;    // a line, offset, count or number
    std::uint64_t of = 0;    // a second number
    int system = 0;          // the operating system's reason, 0 for none (platform.h)
    bool fileIsName = false; // `file` is a member's name, as the archive or list file holds it

    explicit operator bool() const { return static_cast<bool>(fault); }
    // The same error told in another context ("Can't open" of a list file).
    Error as(Fault another) const {
        Error copy = *this;
        copy.fault = another;
        return copy;
    }
    // The same error told of the member `member`, whose name stands for its file.
    Error ofMember(std::string_view member) const {
        Error copy = *this;
        copy.file = member;
        copy.fileIsName = true;
        return copy;
    }
};

inline Error fileError(Fault fault, std::string file, int system = 0) {
    Error error;
    error.fault = fault;
    error.file = std::move(file);
    error.system = system;
    return error;
}

// An error about the member `member`: its name stands for its file.
inline Error memberError(Fault fault, std::string_view member, int system = 0) {
    return fileError(fault, {}, system).ofMember(member);
}

inline Error lineError(Fault fault, std::uint64_t line) {
    Error error;
    error.fault = fault;
    error.at = line;
    return error;
}

}  // namespace pactools
