// The one place that knows which operating system the tools run on: file
// descriptors, paths, permissions, flushing to stable storage, and what
// happens when the user interrupts a run.  platform_posix.cpp and
// platform_windows.cpp implement it; no other unit asks which system it is
// on, beyond the constants below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Lets the compiler check printf-style formats (the C99 family on MinGW).
#if defined(__MINGW32__)
#define PACTOOLS_PRINTF(f, a) __attribute__((format(gnu_printf, f, a)))
#elif defined(__GNUC__)
#define PACTOOLS_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define PACTOOLS_PRINTF(f, a)
#endif

namespace pactools::platform {

#ifdef _WIN32
inline constexpr bool kWindows = true;
// Text files written on Windows end their lines with CR LF.
inline constexpr std::string_view kNativeLineEnd = "\r\n";
#else
inline constexpr bool kWindows = false;
inline constexpr std::string_view kNativeLineEnd = "\n";
#endif

// An error number of the system's (errno values), or this one for a path
// that is something other than a regular file (a FIFO, a device...).
inline constexpr int kNotRegularFile = -1000;

// The text of an error number, e.g. "No such file or directory".
std::string errorText(int error);

struct FileStatus {
    bool regular = false;
    bool directory = false;
    std::uint64_t size = 0;
    int mode = 0;  // permission bits
};

// What `path` is, following links.  False (with `error`) when it does not
// exist or cannot be looked at.
bool statPath(const std::string& path, FileStatus& status, int& error);
bool statFd(int fd, FileStatus& status, int& error);

// Opens a regular file for reading, never blocking on a FIFO or device;
// -1 with `error` (kNotRegularFile for anything but a regular file).
int openRead(const std::string& path, int& error);
// Creates a new file, failing when the name exists.
int openNew(const std::string& path, int& error);
void closeFd(int fd);
// One read or write call; -1 with `error`.  EINTR is retried inside.
long long readFd(int fd, void* data, std::size_t size, int& error);
long long writeFd(int fd, const void* data, std::size_t size, int& error);
bool seekFd(int fd, std::uint64_t offset, int& error);
// Writes what the file holds to stable storage.
bool syncFd(int fd, int& error);
// The same for a closed file, opened again for it.
bool syncPath(const std::string& path, int& error);

// Many files written, then flushed to stable storage in one pass: where the
// system can write a whole file system out in one call and tell whether any
// file of it failed to reach the disk (Linux's syncfs, since 5.8), files
// need not be flushed one by one.  openFileSystem() opens the file system
// holding `directory` (giving its device number, to flush each once) before
// the files are written, so that syncFileSystem() tells every failure to
// write them back since then.  Where that is not possible (other systems,
// older kernels, file systems that flush nothing for it, such as FUSE) it
// returns -1 with ENOTSUP, and each file is flushed on its own.
bool flushesFileSystems();
int openFileSystem(const std::string& directory, std::uint64_t& device, int& error);
bool syncFileSystem(int handle, int& error);
void closeFileSystem(int handle);
// Gives an open file the permission bits `mode` (no-op where there are none).
bool setMode(int fd, int mode, int& error);
bool isWritable(const std::string& path);
// Gives the open file `fd` the modification time of the file `from`; false
// when either cannot be reached.
bool copyModificationTime(const std::string& from, int fd);
// Renames `from` over `to`, replacing it.
bool replaceFile(const std::string& from, const std::string& to, int& error);
// Makes a rename in `directory` survive a power cut (no-op where renames
// need no such step).
void syncDirectory(const std::string& directory);
bool removeFile(const std::string& path);

// The file a link points to (the path itself when it is none or does not exist).
std::string resolveLinks(const std::string& path);
// `path` made absolute with links in its existing directories resolved, for
// comparing where two names land; the last component may not exist yet.
std::string absolutePath(const std::string& path);
// True when both paths exist and are the same file.
bool sameFile(const std::string& a, const std::string& b);
// The directory part of a path, with its trailing separator ("" for none).
std::string directoryPart(const std::string& path);
std::uint64_t processId();
// True when standard error is a terminal (a console on Windows).
bool standardErrorIsTerminal();

// Zero-filled memory for a large buffer (a MiB or more), straight from the
// system: where the system allows, in pages of 2 MiB, so that filling a
// fresh buffer costs one page fault per 2 MiB instead of one per 4 KiB (each
// costs microseconds).  Null when there is no memory; freeLarge takes the
// size that was asked for.
void* allocateLarge(std::size_t size);
void freeLarge(void* data, std::size_t size);

// Process start-up for the program `tool`: a file size limit fails the
// write instead of killing the process, and interrupts (SIGINT, SIGTERM,
// SIGHUP; Ctrl-C, Ctrl-Break and closing the console on Windows) first
// remove every temporary file that is being written, then end the process
// as the interrupt would have.
void prepareProcess(const char* tool);

// A failure no code can answer (memory or threads running out on some
// thread) removes every temporary file too, then ends the process with
// "TOOL: out of memory" (or the system's reason) on standard error and
// status 1, not with an abort.  prepareProcess sets this up.
void handleUnexpectedFailures(const char* tool);

// Temporary files are tracked while they may exist, so that an interrupt can
// remove them.  beginTempFile() is called before the file is created and
// returns a slot (or -1 when the process is being interrupted: create
// nothing then); the path must stay valid until endTempFile(slot), which is
// called after the file was renamed or removed.
int beginTempFile(const char* path);
// Called right after creating the file: false when an interrupt came in the
// meantime (the file is then removed and must not be used).
bool confirmTempFile(int slot);
void endTempFile(int slot);

// For the interrupt handlers: removes every tracked temporary file.  Safe in
// a signal handler; the files' owners stop using them from then on.
void removeTempFilesOnInterrupt();
// Removes a file, and sleeps, from a signal handler (async-signal-safe).
void removeFileNow(const char* path);
void sleepOneMillisecond();

}  // namespace pactools::platform
