// The platform layer on Windows.  Every path reaches the system through the
// wide (UTF-16) functions, converted from the UTF-8 the tools hold it in; a
// name from an archive is read in the ANSI code page; every failure keeps
// Windows' own reason (see platform.h).
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include "platform.h"
#include "text.h"

namespace pactools::platform {

namespace {

// The longest path the wide functions take, in UTF-16 units.
constexpr std::size_t kLongestPath = 32767;

// Windows' reason for the last failure, as the tools carry reasons.
int lastReason() {
    DWORD code = GetLastError();
    if (code == ERROR_SUCCESS) code = ERROR_GEN_FAILURE;  // a failure without a reason is still one
    // An HRESULT carries a Windows code in its low half.
    if (code >= static_cast<DWORD>(INT32_MAX - kSystemReasons)) code &= 0xFFFF;
    return kSystemReasons + static_cast<int>(code);
}

// Calls `put` with each UTF-16 unit of WTF-8 text: UTF-8, and the 3-byte
// forms of surrogates, which stand for themselves.  A byte that starts no
// such sequence becomes U+FFFD.
template <class Put>
void decodeWtf8(std::string_view text, Put put) {
    const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const auto continuation = [&](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned lead = byte(i);
        std::uint32_t c = 0xFFFD;
        std::size_t length = 1;
        if (lead < 0x80) {
            c = lead;
        } else if (lead >= 0xC2 && lead < 0xE0 && continuation(i + 1)) {
            c = (lead & 0x1F) << 6 | (byte(i + 1) & 0x3F);
            length = 2;
        } else if (lead >= 0xE0 && lead < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
            c = (lead & 0x0F) << 12 | (byte(i + 1) & 0x3F) << 6 | (byte(i + 2) & 0x3F);
            length = c >= 0x800 ? 3 : 1;
            if (length == 1) c = 0xFFFD;
        } else if (lead >= 0xF0 && lead < 0xF5 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
            c = (lead & 0x07) << 18 | (byte(i + 1) & 0x3F) << 12 | (byte(i + 2) & 0x3F) << 6 | (byte(i + 3) & 0x3F);
            length = c >= 0x10000 && c <= 0x10FFFF ? 4 : 1;
            if (length == 1) c = 0xFFFD;
        }
        if (c >= 0x10000) {
            put(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
            put(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            put(static_cast<wchar_t>(c));
        }
        i += length;
    }
}

std::wstring wideOf(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    decodeWtf8(text, [&](wchar_t unit) { wide += unit; });
    return wide;
}

// UTF-16, unpaired surrogates included, as WTF-8.
std::string textOf(std::wstring_view wide) {
    std::string text;
    text.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        std::uint32_t c = wide[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(text, c);
    }
    return text;
}

// Bytes in the ANSI code page read as Windows' ANSI functions read them.
std::wstring wideOfAnsi(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(std::min<std::size_t>(bytes.size(), INT32_MAX / 2));
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

// UTF-16 in the ANSI code page; `exact` tells whether every character had
// its own bytes there.  Others become the page's default character ('?'),
// never a look-alike.
std::string ansiOf(std::wstring_view wide, bool& exact) {
    exact = true;
    if (wide.empty()) return {};
    const UINT page = GetACP();
    // UTF-8 as the ANSI page (a manifest can ask for it) takes no flags.
    const DWORD flags = page == CP_UTF8 || page == CP_UTF7 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = static_cast<int>(std::min<std::size_t>(wide.size(), INT32_MAX / 4));
    const int length = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) WideCharToMultiByte(CP_ACP, flags, wide.data(), size, bytes.data(), length, nullptr, nullptr);
    // Exact when the bytes read back as the same characters.
    exact = length > 0 && wideOfAnsi(bytes) == wide;
    return bytes;
}

bool startsWith(const wchar_t* text, const wchar_t* prefix) {
    return std::wcsncmp(text, prefix, std::wcslen(prefix)) == 0;
}

// Builds the form of the NUL-terminated path `wide` that the file functions
// take, into `out` (`capacity` units): the path itself, or when its full
// form is MAX_PATH characters or longer, that full form as \\?\C:\... or
// \\?\UNC\server\share\....  `device` tells that the path names a device
// (CON, NUL, COM1, with any extension, in any directory: its full form is
// \\.\NAME).  Allocates nothing, for the interrupt handler's sake.
bool systemPathInto(const wchar_t* wide, wchar_t* out, std::size_t capacity, bool& device) {
    device = false;
    const std::size_t length = std::wcslen(wide);
    if (length + 1 > capacity) return false;
    std::wmemcpy(out, wide, length + 1);
    if (length == 0 || startsWith(wide, L"\\\\?\\")) return true;
    // The full form goes 8 units in, leaving room for the longest prefix.
    constexpr std::size_t kRoom = 8;
    if (capacity <= kRoom) return true;
    const DWORD full = GetFullPathNameW(wide, static_cast<DWORD>(capacity - kRoom), out + kRoom, nullptr);
    if (full == 0 || full >= capacity - kRoom) {
        std::wmemcpy(out, wide, length + 1);  // the system will say what is wrong with it
        return true;
    }
    wchar_t* const fullPath = out + kRoom;
    device = startsWith(fullPath, L"\\\\.\\");
    if (full < MAX_PATH || device || startsWith(fullPath, L"\\\\?\\")) {
        std::wmemcpy(out, wide, length + 1);
        return true;
    }
    if (startsWith(fullPath, L"\\\\")) {  // \\server\share\... becomes \\?\UNC\server\share\...
        std::wmemcpy(out + kRoom - 6, L"\\\\?\\UN", 6);
        fullPath[0] = L'C';
        std::wmemmove(out, out + kRoom - 6, full + 6 + 1);
    } else {
        std::wmemcpy(out + kRoom - 4, L"\\\\?\\", 4);
        std::wmemmove(out, out + kRoom - 4, full + 4 + 1);
    }
    return true;
}

// A path as the file functions take it (see systemPathInto).
struct SystemPath {
    std::wstring path;
    bool device = false;
};

SystemPath systemPath(std::string_view path) {
    SystemPath result;
    result.path = wideOf(path);
    const DWORD full = GetFullPathNameW(result.path.c_str(), 0, nullptr, nullptr);
    std::wstring out(std::max<std::size_t>(result.path.size(), full) + 16, L'\0');
    if (systemPathInto(result.path.c_str(), out.data(), out.size(), result.device)) {
        out.resize(std::wcslen(out.c_str()));
        result.path = std::move(out);
    }
    return result;
}

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

FileStatus statusOf(DWORD attributes, std::uint64_t size, bool disk) {
    FileStatus status;
    status.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.regular = !status.directory && disk;
    status.size = size;
    status.mode = (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    return status;
}

// What the file system's directory says of `path` without opening it: far
// cheaper than a handle (under Wine no trip to its server), which is what
// makes looking at thousands of scenarios affordable.  False for a link (a
// reparse point: its target is looked at through a handle) and for any
// failure but a missing name (`missing`), which the handle route tells.
bool attributesOf(const std::wstring& path, WIN32_FILE_ATTRIBUTE_DATA& data, bool& missing) {
    missing = false;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    }
    const DWORD reason = GetLastError();
    missing = reason == ERROR_FILE_NOT_FOUND || reason == ERROR_PATH_NOT_FOUND;
    return false;
}

// (Not GetFileInformationByHandle: it asks for the volume's serial number
// too, which Wine fetches from its mount manager, a process of its own,
// every time.)
bool statHandle(HANDLE handle, FileStatus& status, int& error) {
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
        error = lastReason();
        return false;
    }
    status = statusOf(basic.FileAttributes, static_cast<std::uint64_t>(standard.EndOfFile.QuadPart),
                      GetFileType(handle) == FILE_TYPE_DISK);
    return true;
}

// Opens `path` to look at it, following links; directories too.
HANDLE openToLook(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Makes a C runtime descriptor of an open handle (closing it on failure).
int descriptorOf(HANDLE handle, int flags, int& error) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0) {
        CloseHandle(handle);
        error = EMFILE;
    }
    return fd;
}

DWORD clampSize(std::size_t size) {
    return static_cast<DWORD>(size > 0x40000000 ? 0x40000000 : size);
}

// The console `out` writes to, if it is one.
HANDLE consoleOf(std::FILE* out) {
    const HANDLE handle = handleOf(_fileno(out));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

bool writeConsole(HANDLE console, std::wstring_view text) {
    while (!text.empty()) {
        std::size_t piece = std::min<std::size_t>(text.size(), 8192);
        // A surrogate pair stays in one piece.
        if (piece < text.size() && text[piece - 1] >= 0xD800 && text[piece - 1] < 0xDC00) --piece;
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data(), static_cast<DWORD>(piece), &written, nullptr) || written == 0) return false;
        text.remove_prefix(written);
    }
    return true;
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        removeTempFilesOnInterrupt();
        return FALSE;  // the default handler then ends the process
    default:
        return FALSE;
    }
}

}  // namespace

std::string errorText(int error) {
    if (error == kNotRegularFile) return "Not a regular file";
    if (error < kSystemReasons) return std::strerror(error);
    const DWORD code = static_cast<DWORD>(error - kSystemReasons);
    wchar_t* words = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       code, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    std::string text = length > 0 && words != nullptr ? textOf(std::wstring_view(words, length)) : std::string();
    if (words != nullptr) LocalFree(words);
    // One line, without the closing stop, as the other reasons are.
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    if (text.empty()) text = "Windows error " + std::to_string(code);
    return text;
}

int missingFolderReason() {
    return kSystemReasons + ERROR_PATH_NOT_FOUND;
}

bool nameTaken(int error) {
    return error == EEXIST || error == kSystemReasons + ERROR_FILE_EXISTS || error == kSystemReasons + ERROR_ALREADY_EXISTS;
}

bool nameTooLong(int error) {
    // A component beyond 255 characters is an invalid name to NTFS.
    return error == ENAMETOOLONG || error == kSystemReasons + ERROR_FILENAME_EXCED_RANGE ||
           error == kSystemReasons + ERROR_INVALID_NAME;
}

bool statPath(const std::string& path, FileStatus& status, int& error) {
    const SystemPath where = systemPath(path);
    if (where.device) {  // CON, NUL...: there, but no file
        status = FileStatus{};
        return true;
    }
    // A file or folder in a folder (no device: those were told above) is on disk.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    bool missing = false;
    if (attributesOf(where.path, data, missing)) {
        status = statusOf(data.dwFileAttributes, std::uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow, true);
        return true;
    }
    if (missing) {
        error = lastReason();
        return false;
    }
    const HANDLE handle = openToLook(where.path);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastReason();
        return false;
    }
    const bool ok = statHandle(handle, status, error);
    CloseHandle(handle);
    return ok;
}

bool statFd(int fd, FileStatus& status, int& error) {
    return statHandle(handleOf(fd), status, error);
}

int openRead(const std::string& path, int& error) {
    const SystemPath where = systemPath(path);
    // Device names (CON, NUL...) are not files, and a directory is told as one.
    if (where.device) {
        error = kNotRegularFile;
        return -1;
    }
    const HANDLE handle = CreateFileW(where.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastReason();
        // A folder does not open as a file: told as one.
        const DWORD attributes = GetFileAttributesW(where.path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) error = EISDIR;
        return -1;
    }
    FileStatus status;
    int reason = 0;
    if (!statHandle(handle, status, reason) || !status.regular) {
        error = reason != 0 ? reason : status.directory ? EISDIR : kNotRegularFile;
        CloseHandle(handle);
        return -1;
    }
    return descriptorOf(handle, _O_RDONLY | _O_BINARY, error);
}

int openNew(const std::string& path, int& error) {
    const SystemPath where = systemPath(path);
    if (where.device) {
        error = kNotRegularFile;
        return -1;
    }
    // Shared for deleting, so that an interrupt can remove it while it is open.
    const HANDLE handle = CreateFileW(where.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastReason();
        return -1;
    }
    return descriptorOf(handle, _O_WRONLY | _O_BINARY, error);
}

void closeFd(int fd) {
    _close(fd);
}

bool closeWritten(int fd, int& error) {
    // Writes reach the handle when they are made (no buffer of the C
    // runtime's in between): a failed close is all that is left to tell.
    if (_close(fd) == 0) return true;
    error = errno;
    return false;
}

long long readFd(int fd, void* data, std::size_t size, int& error) {
    DWORD got = 0;
    if (!ReadFile(handleOf(fd), data, clampSize(size), &got, nullptr)) {
        if (GetLastError() == ERROR_HANDLE_EOF || GetLastError() == ERROR_BROKEN_PIPE) return 0;
        error = lastReason();
        return -1;
    }
    return got;
}

long long readFdAt(int fd, void* data, std::size_t size, std::uint64_t offset, int& error) {
    // On a handle opened for synchronous access the offset is where the read
    // starts; the reads of several threads do not disturb one another.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(handleOf(fd), data, clampSize(size), &got, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) return 0;
        error = lastReason();
        return -1;
    }
    return got;
}

long long writeFd(int fd, const void* data, std::size_t size, int& error) {
    DWORD put = 0;
    if (!WriteFile(handleOf(fd), data, clampSize(size), &put, nullptr)) {
        error = lastReason();
        return -1;
    }
    return put;
}

bool seekFd(int fd, std::uint64_t offset, int& error) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handleOf(fd), to, nullptr, FILE_BEGIN)) {
        error = lastReason();
        return false;
    }
    return true;
}

bool syncFd(int fd, int& error) {
    if (!FlushFileBuffers(handleOf(fd))) {
        error = lastReason();
        return false;
    }
    return true;
}

bool syncPath(const std::string& path, int& error) {
    const HANDLE file = CreateFileW(systemPath(path).path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = lastReason();
        return false;
    }
    const bool flushed = FlushFileBuffers(file) != 0;
    if (!flushed) error = lastReason();
    CloseHandle(file);
    return flushed;
}

// Windows flushes each file on its own (FlushFileBuffers).
bool flushesFileSystems() {
    return false;
}

int openFileSystem(const std::string&, std::uint64_t&, int& error) {
    error = ENOTSUP;
    return -1;
}

bool syncFileSystem(int, int& error) {
    error = ENOTSUP;
    return false;
}

void closeFileSystem(int) {}

void* allocateLarge(std::size_t size) {
    if (size == 0) return nullptr;
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void freeLarge(void* data, std::size_t) {
    if (data != nullptr) VirtualFree(data, 0, MEM_RELEASE);
}

bool setMode(int, int, int&) {
    return true;
}

bool isWritable(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(systemPath(path).path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool copyModificationTime(const std::string& from, int fd) {
    const std::wstring path = systemPath(from).path;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    bool missing = false;
    FILETIME written{};
    if (attributesOf(path, data, missing)) {
        written = data.ftLastWriteTime;
    } else {
        const HANDLE source = openToLook(path);
        if (source == INVALID_HANDLE_VALUE) return false;
        const bool got = GetFileTime(source, nullptr, nullptr, &written) != 0;
        CloseHandle(source);
        if (!got) return false;
    }
    return SetFileTime(handleOf(fd), nullptr, nullptr, &written) != 0;
}

bool replaceFile(const std::string& from, const std::string& to, int& error) {
    if (MoveFileExW(systemPath(from).path.c_str(), systemPath(to).path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    error = lastReason();
    return false;
}

bool syncDirectory(const std::string&, int&) {
    // MOVEFILE_WRITE_THROUGH already waited for the rename to reach the disk.
    return true;
}

bool removeFile(const std::string& path) {
    return DeleteFileW(systemPath(path).path.c_str()) != 0;
}

bool listDirectory(const std::string& path, std::vector<std::string>& names, int& error) {
    std::string pattern = path.empty() ? std::string(".") : path;
    if (pattern.back() != '/' && pattern.back() != '\\') pattern += '\\';
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(systemPath(pattern + "*").path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        error = lastReason();
        return false;
    }
    do {
        const std::string name = textOf(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

bool makeDirectory(const std::string& path, int& error) {
    if (CreateDirectoryW(systemPath(path).path.c_str(), nullptr)) return true;
    const int reason = lastReason();
    FileStatus status;
    int ignored = 0;
    if (statPath(path, status, ignored) && status.directory) return true;
    error = reason;
    return false;
}

std::string resolveLinks(const std::string& path) {
    return path;
}

std::string absolutePath(const std::string& path) {
    const std::wstring wide = wideOf(path);
    std::wstring full(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return path;
    full.resize(length);
    return textOf(full);
}

bool sameFile(const std::string& a, const std::string& b) {
    const auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE handle = openToLook(systemPath(path).path);
        if (handle == INVALID_HANDLE_VALUE) return false;
        const bool ok = GetFileInformationByHandle(handle, &info) != 0;
        CloseHandle(handle);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    return identify(a, ia) && identify(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool fileIdentity(const std::string& path, FileIdentity& identity) {
    const HANDLE file = CreateFileW(systemPath(path).path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(file, &information) != 0;
    CloseHandle(file);
    if (!known) return false;
    identity.device = information.dwVolumeSerialNumber;
    identity.file = std::uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow;
    identity.size = std::uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow;
    return true;
}

bool freeSpace(const std::string& directory, std::uint64_t& bytes, int& error) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(systemPath(directory.empty() ? "." : directory).path.c_str(), &available, nullptr, nullptr)) {
        error = lastReason();
        return false;
    }
    bytes = available.QuadPart;
    return true;
}

std::string directoryPart(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (words == nullptr) {  // (no memory) the C runtime's ANSI reading, then
        for (int i = 0; i < argc; ++i) arguments.push_back(textOfName(argv[i]));
        return arguments;
    }
    for (int i = 0; i < count; ++i) arguments.push_back(textOf(words[i]));
    LocalFree(words);
    return arguments;
}

bool environmentValue(const char* variable, std::string& value) {
    const std::wstring name = wideOf(variable);
    std::wstring wide(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetEnvironmentVariableW(name.c_str(), wide.data(), static_cast<DWORD>(wide.size()));
        if (length == 0) {
            value.clear();
            return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        }
        if (length < wide.size()) {
            wide.resize(length);
            value = textOf(wide);
            return true;
        }
        wide.resize(length);
    }
}

std::string pathOfName(std::string_view name) {
    return textOf(wideOfAnsi(name));
}

bool nameOfPath(std::string_view path, std::string& name) {
    bool exact = false;
    name = ansiOf(wideOf(path), exact);
    return exact || path.empty();
}

std::string textOfName(std::string_view name) {
    return textOf(wideOfAnsi(name));
}

void writeText(std::FILE* out, std::string_view text) {
    // ASCII is the same in every code page: it goes through the C runtime as ever.
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (const HANDLE console = ascii ? nullptr : consoleOf(out)) {
        std::fflush(out);
        if (writeConsole(console, wideOf(text))) return;
    }
    if (ascii || GetACP() == CP_UTF8) {
        std::fwrite(text.data(), 1, text.size(), out);
    } else {
        bool exact = false;
        const std::string bytes = ansiOf(wideOf(text), exact);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
    }
    std::fflush(out);
}

bool processRunning(std::uint64_t id) {
    if (id == 0 || id > 0xFFFFFFFFu) return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

std::string machineName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) ? textOf(std::wstring_view(name, length)) : std::string();
}

std::uint64_t processId() {
    return GetCurrentProcessId();
}

bool standardErrorIsTerminal() {
    return consoleOf(stderr) != nullptr;
}

void prepareProcess(const char* tool) {
    handleUnexpectedFailures(tool);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    // The C runtime writes an unbuffered stream a character at a time (a
    // system call each): every message is written whole and flushed at
    // once (writeText), so the buffer only gathers one message.
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 14);
}

void removeFileNow(const char* path) {
    // Nothing allocated: memory may be what ran out.
    static constexpr std::size_t kCapacity = kLongestPath + 16;
    wchar_t wide[kCapacity];
    wchar_t target[kCapacity];
    std::size_t length = 0;
    bool fits = true;
    decodeWtf8(path, [&](wchar_t unit) {
        if (length + 1 < kCapacity) wide[length++] = unit;
        else fits = false;
    });
    wide[length] = L'\0';
    bool device = false;
    if (fits && systemPathInto(wide, target, kCapacity, device) && !device) DeleteFileW(target);
}

void sleepOneMillisecond() {
    Sleep(1);
}

}  // namespace pactools::platform
