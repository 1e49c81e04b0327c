/*
 * The language server's side of the platform: file addresses as editors
 * send them, reading a document's file, standard input read as it comes
 * and asked whether more waits, and binary standard streams. Built
 * with the platform's own headers, not the window substitute's: paths are
 * UTF-8 here and wide on Windows.
 */
#include "lsp.h"

#include <ctype.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <vector>

static int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    c = (char)tolower((unsigned char)c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Decodes %XX escapes; a % without two hex digits stays as it is.
static std::string DecodePercents(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low < 0) {
            out += text[i];
            continue;
        }
        out += (char)(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string PathOfFileUri(const std::string &uri)
{
    static const char scheme[] = "file://";
    const size_t schemeLength = sizeof(scheme) - 1;
    if (uri.size() < schemeLength) return "";
    for (size_t i = 0; i < schemeLength; i++)
        if (tolower((unsigned char)uri[i]) != scheme[i]) return "";
    size_t slash = uri.find('/', schemeLength);
    if (slash == std::string::npos) return "";
    std::string host = uri.substr(schemeLength, slash - schemeLength);
    std::string path = DecodePercents(uri.substr(slash, uri.find_first_of("?#", slash) - slash));
    if (path.find('\0') != std::string::npos) return "";
#ifdef _WIN32
    // "/c:/a" is the drive's path; a host names a share.
    if (path.size() >= 3 && isalpha((unsigned char)path[1]) && path[2] == ':') path.erase(0, 1);
    for (char &c : path)
        if (c == '/') c = '\\';
    if (!host.empty() && host != "localhost") path = "\\\\" + host + path;
#else
    if (!host.empty() && host != "localhost") return "";
#endif
    return path;
}

// The path's parts, "." dropped and each ".." taking the part before it
// away, as Windows takes a path apart.
static std::string NormalPath(const std::string &path)
{
    std::vector<std::string> parts;
    size_t from = 0;
    while (from <= path.size()) {
        size_t next = std::min(path.find('/', from), path.size());
        std::string part = path.substr(from, next - from);
        from = next + 1;
        if (part == "." || (part.empty() && !parts.empty())) continue;
        if (part == ".." && parts.size() > 1) parts.pop_back();
        else if (part != "..") parts.push_back(part);
    }
    std::string out;
    for (size_t i = 0; i < parts.size(); i++) out += (i ? "/" : "") + parts[i];
    return out.empty() ? "/" : out;
}

std::string FileUriOfPath(const std::string &path)
{
    std::string slashed = path, host;
#ifdef _WIN32
    for (char &c : slashed)
        if (c == '\\') c = '/';
    if (slashed.compare(0, 2, "//") == 0) {
        size_t end = std::min(slashed.find('/', 2), slashed.size());
        host = slashed.substr(2, end - 2);
        slashed.erase(0, end);
    } else if (slashed.size() >= 2 && slashed[1] == ':') {
        slashed.insert(0, "/");
    }
#endif
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://" + host;
    for (unsigned char c : NormalPath(slashed)) {
        if (isalnum(c) || strchr("/-._~", c)) uri += (char)c;
        else uri += std::string("%") + hex[c >> 4] + hex[c & 15];
    }
    return uri;
}

#ifdef _WIN32
// UTF-8 to UTF-16 for the platform's wide calls.
static std::wstring WidePath(const std::string &path)
{
    int count = MultiByteToWideChar(CP_UTF8, 0, path.data(), (int)path.size(), NULL, 0);
    std::wstring wide(count, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), (int)path.size(), &wide[0], count);
    return wide;
}
#endif

#ifdef __EMSCRIPTEN__
// Node's files and standard input (../wasm/names.js): the C library there
// takes paths as JavaScript strings, losing a name's bytes that are not
// UTF-8, and its poll() does not work on standard input.
extern "C" int quorlan_read_file(const char *path, size_t length, long limit, char **data, size_t *count,
                                 double *size);
extern "C" long quorlan_read_input(char *buffer, long size);
extern "C" int quorlan_input_waiting();
#endif

int ReadFileBytes(const std::string &path, long limit, std::string *bytes, long long *size)
{
    bytes->clear();
    *size = 0;
#ifdef __EMSCRIPTEN__
    char *data;
    size_t count;
    double known = 0;
    int read = path.empty() ? -1 : quorlan_read_file(path.data(), path.size(), limit, &data, &count, &known);
    *size = (long long)known;
    if (read == 1) {
        bytes->assign(data, count);
        free(data);
    }
    return read;
#endif
    // Only a plain file: opening a pipe or a device could wait for ever.
#ifdef _WIN32
    struct _stati64 info;
    if (path.empty() || _wstati64(WidePath(path).c_str(), &info) != 0 || !(info.st_mode & _S_IFREG)) return -1;
    FILE *file = _wfopen(WidePath(path).c_str(), L"rb");
#else
    struct stat info;
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    FILE *file = fopen(path.c_str(), "rb");
#endif
    *size = info.st_size;
    if (!file) return -1;
    char chunk[65536];
    size_t got;
    while ((long)bytes->size() <= limit && (got = fread(chunk, 1, sizeof(chunk), file)) > 0)
        bytes->append(chunk, got);
    bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) return -1;
    if ((long)bytes->size() <= limit) return 1;
    if (*size < (long long)bytes->size()) *size = (long long)bytes->size();
    bytes->clear();
    return 0;
}

std::string FolderForChecker(const std::string &path)
{
#ifdef _WIN32
    // The checker looks files up by ANSI names, as its command line gives them.
    std::wstring wide = WidePath(path);
    int count = WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), NULL, 0, NULL, NULL);
    std::string ansi(count, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &ansi[0], count, NULL, NULL);
    size_t cut = ansi.find_last_of("/\\");
#else
    const std::string &ansi = path;
    size_t cut = ansi.find_last_of('/');
#endif
    if (cut == std::string::npos) return "";
    return ansi.substr(0, cut == 0 ? 1 : cut);
}

char DriveOfPath(const std::string &path)
{
    return path.size() >= 2 && isalpha((unsigned char)path[0]) && path[1] == ':' ? (char)toupper(path[0]) : 0;
}

// A stream without a descriptor is one in memory (the fuzzer's): all of
// it has arrived, and reading it never waits.
long ReadInput(FILE *in, char *buffer, long size)
{
#ifdef __EMSCRIPTEN__
    if (fileno(in) == 0) return quorlan_read_input(buffer, size);
#endif
#ifdef _WIN32
    int fd = _fileno(in);
    return fd < 0 ? (long)fread(buffer, 1, (size_t)size, in) : (long)_read(fd, buffer, (unsigned)size);
#else
    int fd = fileno(in);
    if (fd < 0) return (long)fread(buffer, 1, (size_t)size, in);
    ssize_t got;
    do got = read(fd, buffer, (size_t)size);
    while (got < 0 && errno == EINTR);
    return (long)got;
#endif
}

bool IsInputWaiting(FILE *in)
{
#ifdef __EMSCRIPTEN__
    if (fileno(in) == 0) return quorlan_input_waiting() != 0;
#endif
#ifdef _WIN32
    // select takes no pipes on Windows; a pipe is peeked at.
    int fd = _fileno(in);
    if (fd < 0) return !feof(in);
    HANDLE handle = (HANDLE)_get_osfhandle(fd);
    DWORD waiting = 0;
    if (PeekNamedPipe(handle, NULL, 0, NULL, &waiting, NULL)) return waiting > 0;
    // The pipe's other end closed, or a file: reading does not wait.
    return GetLastError() == ERROR_BROKEN_PIPE || GetFileType(handle) == FILE_TYPE_DISK;
#else
    int fd = fileno(in);
    if (fd < 0) return !feof(in);
    struct pollfd input = {fd, POLLIN, 0};
    int ready;
    do ready = poll(&input, 1, 0);
    while (ready < 0 && errno == EINTR);
    // An end or an error is there to read too: reading does not wait.
    return ready > 0;
#endif
}
