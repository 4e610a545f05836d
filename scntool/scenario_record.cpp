#include "scenario_record.h"

#include <algorithm>
#include <charconv>

#include "common_faults.h"
#include "file_io.h"
#include "platform.h"
#include "scntool_faults.h"
#include "work_folder.h"

namespace pactools {

namespace {

constexpr std::string_view kFirstLine = "scntool record 1";

bool isHash(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace

bool ScenarioRecord::knows(std::string_view hash) const {
    if (!source.empty() && source == hash) return true;
    return std::any_of(built.begin(), built.end(), [&](const BuiltBinary& b) { return b.hash == hash; });
}

void ScenarioRecord::addBuilt(std::string hash, std::string inputs) {
    std::erase_if(built, [&](const BuiltBinary& b) { return b.hash == hash; });
    built.push_back({std::move(hash), std::move(inputs)});
    if (built.size() > kBuiltKept) built.erase(built.begin(), built.end() - kBuiltKept);
}

ScenarioRecord ScenarioRecord::relisted(std::string hash, std::string listing, const std::string& retire) const {
    ScenarioRecord next;
    next.retired = retired;
    if (!retire.empty() && !isRetired(retire)) next.retired.push_back(retire);
    if (next.retired.size() > kBuiltKept) next.retired.erase(next.retired.begin(), next.retired.end() - kBuiltKept);
    next.source = std::move(hash);
    next.base = std::move(listing);
    return next;
}

bool ScenarioRecord::isRetired(std::string_view hash) const {
    return std::find(retired.begin(), retired.end(), hash) != retired.end();
}

std::string recordPath(std::string_view stem) {
    const std::string directory = platform::directoryPart(std::string(stem));
    return directory + kRecordFolder + "/" + std::string(stem.substr(directory.size())) + ".record";
}

Error readRecord(const std::string& path, ScenarioRecord& record, bool& exists) {
    record = {};
    exists = pathExists(path);
    if (!exists) return {};
    std::vector<std::uint8_t> bytes;
    if (Error error = readWholeFile(path, bytes)) return error;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    Error damaged = fileError(ScntoolFault::RecordDamaged, path);
    damaged.at = 1;
    std::size_t at = 0;
    std::size_t line = 0;
    const auto nextLine = [&](std::string_view& out) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) return false;
        out = text.substr(at, end - at);
        at = end + 1;
        ++line;
        return true;
    };
    std::string_view current;
    if (!nextLine(current) || current != kFirstLine) return damaged;
    while (nextLine(current)) {
        damaged.at = line;
        const std::size_t blank = current.find(' ');
        const std::string_view word = current.substr(0, blank);
        const std::string_view rest = blank == std::string_view::npos ? std::string_view() : current.substr(blank + 1);
        if (word == "source" && isHash(rest) && record.source.empty()) {
            record.source = rest;
        } else if (word == "built" && rest.size() == 129 && isHash(rest.substr(0, 64)) && rest[64] == ' ' &&
                   isHash(rest.substr(65)) && record.built.size() < kBuiltKept) {
            record.built.push_back({std::string(rest.substr(0, 64)), std::string(rest.substr(65))});
        } else if (word == "retired" && isHash(rest) && record.retired.size() < kBuiltKept) {
            record.retired.emplace_back(rest);
        } else if (word == "base") {
            std::size_t length = 0;
            const auto [end, fault] = std::from_chars(rest.data(), rest.data() + rest.size(), length);
            if (fault != std::errc() || end != rest.data() + rest.size() || rest.empty() || text.size() - at != length) {
                return damaged;
            }
            record.base = text.substr(at);
            return {};
        } else {
            return damaged;
        }
    }
    damaged.at = line + 1;
    return damaged;
}

std::string recordText(const ScenarioRecord& record) {
    std::string text(kFirstLine);
    text += '\n';
    if (!record.source.empty()) text += "source " + record.source + "\n";
    for (const BuiltBinary& built : record.built) text += "built " + built.hash + " " + built.inputs + "\n";
    for (const std::string& hash : record.retired) text += "retired " + hash + "\n";
    text += "base " + std::to_string(record.base.size()) + "\n" + record.base;
    return text;
}

Error writeRecord(const std::string& path, const ScenarioRecord& record) {
    std::string folder = platform::directoryPart(path);
    folder.pop_back();
    int reason = 0;
    if (!platform::makeDirectory(folder, reason)) return fileError(CommonFault::CannotCreate, folder, reason);
    OutputFile output;
    if (Error error = output.create(path)) return error;
    output.write(recordText(record));
    return output.commit();
}

}  // namespace pactools
