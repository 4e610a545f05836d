#include "pac_format.h"

#include <algorithm>
#include <cstring>

#include "byte_order.h"
#include "common_faults.h"
#include "pac_faults.h"
#include "platform.h"

namespace pactools {

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

void encodeHeader(const PacHeader& header, std::span<std::uint8_t, kPacHeaderSize> out) {
    out[0] = 'P';
    out[1] = 'A';
    out[2] = 'C';
    out[3] = header.headerByte;
    putLe32(&out[4], header.count);
    putLe32(&out[8], header.headerWord);
}

PacHeader decodeHeader(std::span<const std::uint8_t, kPacHeaderSize> in) {
    PacHeader header;
    header.headerByte = in[3];
    header.count = getLe32(&in[4]);
    header.headerWord = getLe32(&in[8]);
    return header;
}

bool isPac(std::span<const std::uint8_t> header) {
    return header.size() >= 3 && header[0] == 'P' && header[1] == 'A' && header[2] == 'C';
}

void encodeEntry(const PacEntry& entry, std::span<std::uint8_t, kPacEntrySize> out) {
    std::memset(out.data(), 0, kPacNameField);
    std::memcpy(out.data(), entry.name.data(), std::min(entry.name.size(), kPacMaxNameLength));
    putLe32(&out[64], entry.offset);
    putLe32(&out[68], entry.unpackedSize);
    putLe32(&out[72], entry.storedSize);
}

bool decodeEntry(std::span<const std::uint8_t, kPacEntrySize> in, PacEntry& entry) {
    const void* nul = std::memchr(in.data(), 0, kPacNameField);
    if (nul == nullptr) return false;
    entry.name.assign(reinterpret_cast<const char*>(in.data()), static_cast<const std::uint8_t*>(nul) - in.data());
    entry.offset = getLe32(&in[64]);
    entry.unpackedSize = getLe32(&in[68]);
    entry.storedSize = getLe32(&in[72]);
    return true;
}

std::uint64_t pacDataStart(std::uint64_t count) {
    return kPacHeaderSize + kPacEntrySize * count;
}

bool isNameSeparator(char c) {
    return c == '/' || c == '\\';
}

bool isUnsafeMemberName(std::string_view name) {
    if (name.empty() || isNameSeparator(name[0])) return true;
    if (name.find_first_of("\r\n") != std::string_view::npos) return true;
    if (name.size() >= 2 && isAsciiLetter(name[0]) && name[1] == ':') return true;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !isNameSeparator(name[end])) ++end;
        if (name.substr(start, end - start) == "..") return true;
        start = end + 1;
    }
    return false;
}

std::string memberFilePath(std::string_view text) {
    std::string path(text);
    if (!platform::kWindows) std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

Error readPacHeader(std::span<const std::uint8_t> prefix, std::uint64_t fileSize, std::string_view archiveName,
                   PacHeader& header) {
    if (prefix.size() < kPacHeaderSize || fileSize < kPacHeaderSize || !isPac(prefix)) {
        return fileError(PacFault::NotPac, std::string(archiveName));
    }
    header = decodeHeader(prefix.first<kPacHeaderSize>());
    if (pacDataStart(header.count) > fileSize) {
        Error error = fileError(PacFault::DirectoryPastEnd, std::string(archiveName));
        error.at = header.count;
        return error;
    }
    return {};
}

Error readPacDirectory(const PacHeader& header, std::span<const std::uint8_t> bytes, std::uint64_t fileSize,
                       std::string_view archiveName, PtrVector<PacEntry>& entries) {
    Error error = fileError(Fault{}, std::string(archiveName));
    if (bytes.size() < kPacEntrySize * static_cast<std::uint64_t>(header.count)) return error.as(PacFault::DirectoryShort);
    for (std::uint32_t index = 0; index < header.count; ++index) {
        auto entry = std::make_unique<PacEntry>();
        error.at = index + 1;
        if (!decodeEntry(bytes.subspan(kPacEntrySize * index).first<kPacEntrySize>(), *entry)) {
            return error.as(PacFault::EntryWithoutNul);
        }
        error.name = entry->name;
        if (static_cast<std::uint64_t>(entry->offset) + entry->storedSize > fileSize) return error.as(PacFault::DataPastEnd);
        if (!ptrVectorPush(entries, std::move(entry))) return error.as(CommonFault::OutOfMemory);
    }
    return {};
}

}  // namespace pactools
