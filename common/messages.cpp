#include "messages.h"

#include <algorithm>

#include "platform.h"
#include "text.h"

namespace pactools {

std::string number(std::uint64_t value) {
    return std::to_string(value);
}

std::string hex(std::uint64_t value, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*llX", width, static_cast<unsigned long long>(value));
    return text;
}

std::string atOffset(const Error& e, const char* what) {
    return shown(e.file) + ": " + what + " at offset 0x" + hex(e.at);
}

std::string refusing(const Error& e, const std::string& reason) {
    return shown(e.file) + ": Refusing to " + e.detail + " " + shown(e.name) + ": " + reason;
}

std::string shownName(std::string_view name) {
    return shown(platform::textOfName(name));
}

std::string messageText(const Error& e) {
    return e.fault ? e.fault.domain->message(e) : std::string();
}

bool needsReason(const Error& e) {
    if (!e.fault || e.system == 0) return false;
    const std::vector<std::uint16_t>& codes = e.fault.domain->reasonFollows;
    return std::find(codes.begin(), codes.end(), e.fault.code) != codes.end();
}

void report(std::FILE* out, const char* tool, const Error& error) {
    say(out, "%s\n", messageText(error).c_str());
    if (needsReason(error)) {
        sayReason(tool, error.file, platform::errorText(error.system));
    }
    if (error.fault && error.fault.domain->explain != nullptr) error.fault.domain->explain(tool, error);
}

}  // namespace pactools
