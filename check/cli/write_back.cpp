/*
 * The atomic write of write_back.h: a temporary file in the same folder (a
 * rename is atomic only within one file system), filled, flushed to the
 * disc, given the old file's mode and owner, then renamed over the old one.
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

// Whether the file at path holds exactly bytes.
static bool HoldsBytes(const std::string &path, const std::string &bytes)
{
    FILE *stream = fopen(path.c_str(), "rb");
    if (!stream) return false;
    std::string held;
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), stream)) > 0 && held.size() <= bytes.size())
        held.append(chunk, got);
    bool same = !ferror(stream) && held == bytes;
    fclose(stream);
    return same;
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

bool WriteFileAtomically(const std::string &path, const std::string &bytes, std::string *error)
{
    if (HoldsBytes(path, bytes)) return true;
    std::wstring target = Widened(path);
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
    DWORD code = GetLastError();
    CloseHandle(file);
    if (ok && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (ok) ok = MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        if (!code) code = GetLastError();
        DeleteFileW(temporary.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(target.c_str(), attributes);
        *error = "cannot write " + path + ": " + Described(code ? code : GetLastError());
        return false;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(target.c_str(), attributes);
    return true;
}

#else

bool WriteFileAtomically(const std::string &path, const std::string &bytes, std::string *error)
{
    if (HoldsBytes(path, bytes)) return true;
    // The file a link names is the one replaced; the link itself stays.
    char resolved[PATH_MAX];
    std::string target = realpath(path.c_str(), resolved) ? std::string(resolved) : path;
    struct stat old;
    bool existed = stat(target.c_str(), &old) == 0;
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
    if (ok && existed) {
        ok = fchmod(fd, old.st_mode & 07777) == 0;
        // Only the superuser may give a file away; anyone else keeps it.
        if (ok && (old.st_uid != geteuid() || old.st_gid != getegid()) && fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)fchown(fd, (uid_t)-1, old.st_gid);
    } else if (ok) {
        mode_t mask = umask(0);
        umask(mask);
        ok = fchmod(fd, 0666 & ~mask) == 0;
    }
    if (ok) ok = fsync(fd) == 0;
    int code = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        *error = "cannot write " + path + ": " + strerror(code);
    }
    return ok;
}

#endif

void UseBinaryStdio()
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}
