/*
 * A stream over bytes in memory: natively the bytes themselves, on Windows
 * a file of the user's that is deleted when closed (msvcrt has no stream
 * over memory).
 */
#include "bytes_stream.h"

#ifdef _WIN32
#include <windows.h>
#endif

FILE *OpenBytesStream(const std::string &bytes)
{
#ifdef _WIN32
    // Not tmpfile(): msvcrt makes its file in the drive's root folder, which
    // a user without administrator rights may not write to. The user's
    // temporary folder instead, the file deleted when closed ("D").
    wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || !GetTempFileNameW(folder, L"qlc", 0, name)) return NULL;
    FILE *stream = _wfopen(name, L"w+bD");
    if (!stream) {
        // GetTempFileNameW made the file; nothing else will delete it.
        DeleteFileW(name);
        return NULL;
    }
    if (fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size()) {
        fclose(stream);
        return NULL;
    }
    rewind(stream);
    return stream;
#else
    static char empty[1];
    return bytes.empty() ? fmemopen(empty, 0, "rb") : fmemopen((void *)bytes.data(), bytes.size(), "rb");
#endif
}
