/*
 * A file's encoding as its bytes tell it (encoding.h).
 */
#include "encoding.h"

#include "../engine/quote.h"
#include "../text/codepage.h"

#include <algorithm>

const char *const g_fileEncodingNames[FILE_ENCODINGS] = {"utf-8-marked", "utf-8", "code-page"};

int FindFileEncoding(const std::string &bytes)
{
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return FILE_MARKED_UTF8;
    bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (unsigned char)c < 0x80; });
    return ascii || IsUtf8Text(bytes) ? FILE_UNMARKED_UTF8 : FILE_CODE_PAGE;
}

unsigned FindTextCodePage(int encoding, unsigned codePage) { return encoding == FILE_CODE_PAGE ? codePage : CP_UTF8; }
