/*
 * The reading and the atomic write of write_back.h: the file read in one
 * pass with its identity noted from the same open file; then a temporary
 * file in the same folder (a rename is atomic only within one file
 * system), filled, flushed to the disc, given the old file's mode and
 * owner, and renamed over the old one once the old one is seen to be still
 * the one read. A gap stays between that last look and the rename:
 * neither POSIX nor Windows has a rename that compares first.
 */
#include "write_back.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>
#endif

bool ReadStreamWhole(FILE *stream, std::string *bytes)
{
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), stream)) > 0) bytes->append(chunk, got);
    return !ferror(stream);
}

// Whether two looks at a file saw the same regular file in the same state.
static bool IsSameFile(const FileAsRead &a, const FileAsRead &b)
{
    return !a.kind && !b.kind && a.device == b.device && a.index == b.index && a.size == b.size &&
           a.modified == b.modified;
}

static std::string DescribeChanged(const std::string &path)
{
    return path + " changed after it was read (saved again meanwhile?): nothing written; run the command again";
}

static std::string DescribeRemoved(const std::string &path)
{
    return path + " was removed after it was read: nothing written";
}

static std::string DescribeNotRegular(const std::string &path, const char *kind)
{
    return path + " is " + kind + ", not a regular file: nothing written back";
}

// Whether a second look at the file, which saw it as seen and holding
// held, found it as it was read; else *error says how it is not. The time
// may not have moved on a save within one tick of its clock: the bytes are
// compared too.
static bool IsStillAsRead(const std::string &path, const FileAsRead &read, const FileAsRead &seen,
                          const std::string &held, std::string *error)
{
    if (IsSameFile(read, seen) && held == read.bytes) return true;
    *error = seen.kind ? DescribeNotRegular(path, seen.kind) : DescribeChanged(path);
    return false;
}

#ifdef _WIN32

static std::wstring Widened(const std::string &path)
{
    int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, NULL, 0);
    std::wstring wide(length > 0 ? length : 1, L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

static std::string Described(DWORD code) { return "Windows error " + std::to_string((unsigned long)code); }

// What the open file is: its kind, identity, size and time.
static void DescribeHandle(HANDLE file, FileAsRead *seen)
{
    BY_HANDLE_FILE_INFORMATION info;
    DWORD type = GetFileType(file);
    seen->kind = type == FILE_TYPE_PIPE ? "a named pipe" : type == FILE_TYPE_CHAR ? "a device" : NULL;
    if (seen->kind) return;
    if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) {
        seen->kind = "a special file";
        return;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) seen->kind = "a folder";
    seen->device = info.dwVolumeSerialNumber;
    seen->index = (unsigned long long)info.nFileIndexHigh << 32 | info.nFileIndexLow;
    seen->size = (unsigned long long)info.nFileSizeHigh << 32 | info.nFileSizeLow;
    seen->modified = (unsigned long long)info.ftLastWriteTime.dwHighDateTime << 32 | info.ftLastWriteTime.dwLowDateTime;
}

bool ReadFileWhole(const std::string &path, FileAsRead *read, std::string *error)
{
    FILE *stream = fopen(path.c_str(), "rb");
    if (!stream) {
        *error = "cannot open " + path + ": " + strerror(errno);
        return false;
    }
    DescribeHandle((HANDLE)_get_osfhandle(_fileno(stream)), read);
    read->bytes.clear();
    bool ok = ReadStreamWhole(stream, &read->bytes);
    if (!ok) *error = "cannot read " + path + ": " + strerror(errno);
    fclose(stream);
    return ok;
}

// Whether the file at target is still the one read, bytes and all; else
// *error says what became of it.
static bool IsAsRead(const std::wstring &target, const std::string &path, const FileAsRead &read,
                     std::string *error)
{
    HANDLE file = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        bool gone = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        *error = gone ? DescribeRemoved(path) : "cannot read " + path + " again: " + Described(code);
        return false;
    }
    FileAsRead seen;
    DescribeHandle(file, &seen);
    std::string held;
    char chunk[65536];
    DWORD got;
    while (IsSameFile(read, seen) && held.size() <= read.bytes.size() &&
           ReadFile(file, chunk, sizeof(chunk), &got, NULL) && got > 0)
        held.append(chunk, got);
    CloseHandle(file);
    return IsStillAsRead(path, read, seen, held, error);
}

// The write back once it is known to change a regular file.
static bool ReplaceFileAsRead(const std::string &path, const std::string &bytes, const FileAsRead &read,
                              std::string *error)
{
    std::wstring target = Widened(path);
    if (!IsAsRead(target, path, read, error)) return false;
    // The old file's attributes go to the new one (read-only, hidden, ...).
    DWORD attributes = GetFileAttributesW(target.c_str());
    std::wstring temporary = target + L".quorlan-" + std::to_wstring(GetCurrentProcessId());
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        *error = "cannot make a temporary file beside " + path + ": " + Described(GetLastError());
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) && written == bytes.size() &&
              FlushFileBuffers(file);
    DWORD code = ok ? 0 : GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(temporary.c_str());
        *error = "cannot write " + path + ": " + Described(code);
        return false;
    }
    if (!IsAsRead(target, path, read, error)) {
        DeleteFileW(temporary.c_str()); // saved again while the new bytes were written: the save stays
        return false;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    ok = MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    code = ok ? 0 : GetLastError();
    if (!ok) DeleteFileW(temporary.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(target.c_str(), attributes);
    if (!ok) *error = "cannot write " + path + ": " + Described(code);
    return ok;
}

#else

// What the file of a stat is: its kind, identity, size and time.
static void DescribeStat(const struct stat &st, FileAsRead *seen)
{
    seen->kind = S_ISREG(st.st_mode)                          ? NULL
                 : S_ISFIFO(st.st_mode)                       ? "a named pipe"
                 : S_ISDIR(st.st_mode)                        ? "a folder"
                 : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                 : S_ISSOCK(st.st_mode)                       ? "a socket"
                                                              : "a special file";
    seen->device = (unsigned long long)st.st_dev;
    seen->index = (unsigned long long)st.st_ino;
    seen->size = (unsigned long long)st.st_size;
    seen->modified = (unsigned long long)st.st_mtim.tv_sec * 1000000000ull + (unsigned long long)st.st_mtim.tv_nsec;
}

bool ReadFileWhole(const std::string &path, FileAsRead *read, std::string *error)
{
    FILE *stream = fopen(path.c_str(), "rb");
    struct stat st;
    if (!stream || fstat(fileno(stream), &st) != 0) {
        *error = "cannot open " + path + ": " + strerror(errno);
        if (stream) fclose(stream);
        return false;
    }
    DescribeStat(st, read);
    read->bytes.clear();
    bool ok = ReadStreamWhole(stream, &read->bytes);
    if (!ok) *error = "cannot read " + path + ": " + strerror(errno);
    fclose(stream);
    return ok;
}

// Whether the file at target is still the one read, bytes and all (*now
// then its stat); else *error says what became of it. Opened without
// waiting, so that a pipe put in its place cannot hold us.
static bool IsAsRead(const std::string &target, const std::string &path, const FileAsRead &read, struct stat *now,
                     std::string *error)
{
    int fd = open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno == ENOENT ? DescribeRemoved(path) : "cannot read " + path + " again: " + strerror(errno);
        return false;
    }
    FileAsRead seen;
    seen.kind = "a special file";
    if (fstat(fd, now) == 0) DescribeStat(*now, &seen);
    std::string held; // a read that fails leaves it short: changed, as far as we can tell
    char chunk[65536];
    ssize_t got;
    while (IsSameFile(read, seen) && held.size() <= read.bytes.size() &&
           ((got = ::read(fd, chunk, sizeof(chunk))) > 0 || (got < 0 && errno == EINTR)))
        if (got > 0) held.append(chunk, (size_t)got);
    close(fd);
    return IsStillAsRead(path, read, seen, held, error);
}

// The write back once it is known to change a regular file.
static bool ReplaceFileAsRead(const std::string &path, const std::string &bytes, const FileAsRead &read,
                              std::string *error)
{
    // The file a link names is the one replaced; the link itself stays.
    char resolved[PATH_MAX];
    std::string target = realpath(path.c_str(), resolved) ? std::string(resolved) : path;
    struct stat old;
    if (!IsAsRead(target, path, read, &old, error)) return false;
    size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temporary = folder + "/." + base + ".quorlan-XXXXXX";
    int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        *error = "cannot make a temporary file beside " + path + ": " + strerror(errno);
        return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += (size_t)n;
    }
    if (ok) ok = fchmod(fd, old.st_mode & 07777) == 0;
    // Only the superuser may give a file away; anyone else keeps it.
    if (ok && (old.st_uid != geteuid() || old.st_gid != getegid()) && fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)fchown(fd, (uid_t)-1, old.st_gid);
    if (ok) ok = fsync(fd) == 0;
    int code = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        *error = "cannot write " + path + ": " + strerror(code);
    } else if (!IsAsRead(target, path, read, &old, error)) {
        ok = false; // saved again while the new bytes were written: the save stays
    } else if (rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        *error = "cannot write " + path + ": " + strerror(errno);
    }
    if (!ok) unlink(temporary.c_str());
    return ok;
}

#endif

bool WriteFileAtomically(const std::string &path, const std::string &bytes, const FileAsRead &read,
                         std::string *error)
{
    if (bytes == read.bytes) return true;
    if (read.kind) {
        *error = DescribeNotRegular(path, read.kind);
        return false;
    }
    return ReplaceFileAsRead(path, bytes, read, error);
}

void UseBinaryStdio()
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}
