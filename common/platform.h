// The one place that knows which operating system the tools run on: file
// descriptors, paths, permissions, flushing to stable storage, the command
// line and the console, and what happens when the user interrupts a run.
// platform_posix.cpp and platform_windows.cpp implement it; no other unit
// asks which system it is on, beyond the constants below.
//
// Paths, names and text.  Three kinds of strings meet in the tools, each a
// std::string, and this is where each is turned into what the system takes:
//
// - A path (a file named on the command line, one derived from it, one the
//   system gives, such as a full path) holds, on POSIX, the bytes the
//   system takes.  On Windows it holds UTF-8: the command line is read as
//   UTF-16 and every call to the system converts the path back to UTF-16, so
//   any name Windows allows works, whatever the ANSI code page.  (Strictly
//   it is WTF-8, UTF-8 that also carries the unpaired surrogates Windows
//   allows in names, so that every name survives the round trip.)  A full
//   path of MAX_PATH (260) characters or more is given to the system in its
//   \\?\ form, made from the full path, so long paths work too.
// - A name is bytes from a file: a member name in an archive or a list file.
//   It keeps its bytes, in the archive, the list file and the makefile
//   alike.  On Windows those bytes are in the
//   ANSI code page (an archive made on a Japanese Windows holds CP932
//   names).  A name becomes a path only through pathOfName(), which reads it
//   as Windows' ANSI file functions do (MultiByteToWideChar(CP_ACP)), so the
//   file a name stands for is the one it always was.  A path and a name are
//   never joined as bytes: the name is made a path first (UTF-8 and ANSI
//   bytes differ on Windows; elsewhere pathOfName only turns '\' into '/').
//   The other way, a path written where names are (the archive path in the
//   makefile, which make hands back to the tools as a name) goes through
//   nameOfPath(), which fails for a path the code page cannot hold.
// - Message text, what the tools print, is on POSIX the bytes of the names
//   and paths it shows, exactly.  On Windows it is UTF-8: paths are already,
//   and names are shown through textOfName(), as the characters the ANSI
//   code page reads them as.  writeText() prints it: to a console as UTF-16
//   (WriteConsoleW), so every character of a path or name shows whatever
//   the console's code page; to a file or pipe in the ANSI code page, so a
//   name comes out as its own bytes, as it always did (a character of a
//   path that the page cannot hold comes out as '?', and bytes the page
//   cannot read, such as a broken double-byte sequence, as it reads them).
//   Other bytes from files that messages show (a listing's labels) are
//   shown as names are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

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

// A reason for a failure, as Error::system carries it: 0 for none; an errno
// value (what POSIX calls give, and the reasons the portable code names
// itself: ENOENT, EISDIR, EACCES...); kNotRegularFile for a path that is
// something other than a regular file (a FIFO, a device...); or a reason
// only this system words, from kSystemReasons up (on Windows, GetLastError()
// codes), so that no errno value is ever taken for one.  Callers do not look
// into a reason beyond the portable values they set themselves: errorText()
// words it, nameTaken() and nameTooLong() tell what the temporary file
// names need to know.
inline constexpr int kNotRegularFile = -1000;
inline constexpr int kSystemReasons = 0x10000000;

// The words of a reason, e.g. "No such file or directory" (on Windows, for
// its own codes, Windows' own words: FormatMessageW, as message text).
std::string errorText(int error);
// The reason the system gives for a file that cannot be made because its
// folder does not exist (ENOENT; ERROR_PATH_NOT_FOUND on Windows).
int missingFolderReason();
// The reason a new file could not be created is that its name exists.
bool nameTaken(int error);
// ... or that its name (one component of the path) is too long.
bool nameTooLong(int error);

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
// Closes a file that was written, telling a failure the system reports only
// then (a write that did not reach the file, on some file systems); the
// descriptor is released either way.
bool closeWritten(int fd, int& error);
// One read or write call; -1 with `error`.  EINTR is retried inside.
long long readFd(int fd, void* data, std::size_t size, int& error);
long long writeFd(int fd, const void* data, std::size_t size, int& error);
bool seekFd(int fd, std::uint64_t offset, int& error);
// One read at `offset`, leaving the file position to no one: several
// threads may read one descriptor at once (pread; on Windows ReadFile at an
// OVERLAPPED offset).  0 at the end; -1 with `error`.  EINTR is retried.
long long readFdAt(int fd, void* data, std::size_t size, std::uint64_t offset, int& error);
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
// need no such step); false with `error` when the system could not.  A
// directory that cannot be opened for reading, or whose file system has no
// such flush, is passed over.
bool syncDirectory(const std::string& directory, int& error);
bool removeFile(const std::string& path);
// The names of the entries of the directory `path` ("" for the current
// one), "." and ".." left out, as paths are held; false with `error` when
// it cannot be read.
bool listDirectory(const std::string& path, std::vector<std::string>& names, int& error);
// Creates the directory `path` (its parent must exist); true when it was
// made or already is a directory.  A new directory is made to survive a
// power cut in its parent, as a rename is.
bool makeDirectory(const std::string& path, int& error);

// The file a link points to (the path itself when it is none or does not exist).
std::string resolveLinks(const std::string& path);
// `path` made absolute with links in its existing directories resolved, for
// comparing where two names land; the last component may not exist yet.
std::string absolutePath(const std::string& path);
// True when both paths exist and are the same file.
bool sameFile(const std::string& a, const std::string& b);
// What tells a file apart from every other on this machine: its device and
// inode (on Windows, its volume's serial number and its file index); false
// when `path` does not exist or cannot be looked at.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;  // the file's size, looked at in the same call
    bool operator<(const FileIdentity& other) const {
        return device != other.device ? device < other.device : file < other.file;
    }
};
bool fileIdentity(const std::string& path, FileIdentity& identity);
// The bytes that may still be written to the file system holding
// `directory` ("" for the current one); false with `error` when unknown.
bool freeSpace(const std::string& directory, std::uint64_t& bytes, int& error);
// The directory part of a path, with its trailing separator ("" for none).
std::string directoryPart(const std::string& path);
std::uint64_t processId();
// Whether the process `id` on this machine is still running (a process
// that may not be looked at is taken to be).
bool processRunning(std::uint64_t id);
// What tells this machine's processes from others' that may share a folder:
// the host name and, on Linux, the process namespace (a container's process
// numbers are its own); on Windows the computer name.
std::string machineName();
// True when standard error is a terminal (a console on Windows).
bool standardErrorIsTerminal();

// The arguments of the command line, the program's own name first, as paths
// are held: argv as it is on POSIX; on Windows read from the UTF-16 command
// line (GetCommandLineW), whatever the ANSI code page.
std::vector<std::string> commandLineArguments(int argc, char** argv);
// The value of the environment variable `variable` as a path is held
// (UTF-8 on Windows, read as UTF-16); false when it is not set.
bool environmentValue(const char* variable, std::string& value);
// The path of the file a name stands for (see the top of this file).
std::string pathOfName(std::string_view name);
// A path as a name: false when the code page cannot hold one of its
// characters (Windows).
bool nameOfPath(std::string_view path, std::string& name);
// A name as message text.
std::string textOfName(std::string_view name);
// Prints message text on `out` and flushes it.
void writeText(std::FILE* out, std::string_view text);

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
// returns a slot (or -1 when every slot is taken: create nothing then); the
// path must stay valid until endTempFile(slot), which is called after the
// file was renamed or removed.  confirmTempFile() is called right after the
// creation.  Once an interrupt has come in, none of the three returns: the
// calling thread waits while the handler removes every tracked file (this
// one included) and ends the process, so no file is created or used after.
int beginTempFile(const char* path);
void confirmTempFile(int slot);
void endTempFile(int slot);

// For the interrupt handlers: removes every tracked temporary file.  Safe in
// a signal handler; the files' owners stop using them from then on.
void removeTempFilesOnInterrupt();
// Removes a file, and sleeps, from a signal handler (async-signal-safe).
void removeFileNow(const char* path);
void sleepOneMillisecond();

}  // namespace pactools::platform
