/*
 * How a menu's bytes are written, as an editor takes them: UTF-8 after a
 * byte-order mark, UTF-8 without one, or the users' code page. A file of
 * ASCII only (or none yet) counts as UTF-8 without the mark, as editors
 * save new text so. The editor's text becomes bytes in the same encoding.
 */
#ifndef QUORLAN_CHECK_ENCODING_H
#define QUORLAN_CHECK_ENCODING_H

#include <string>

#define FILE_MARKED_UTF8 0   // UTF-8 after a byte-order mark
#define FILE_UNMARKED_UTF8 1 // UTF-8 without one (also a file of ASCII only, or none yet)
#define FILE_CODE_PAGE 2     // in the users' code page
#define FILE_ENCODINGS 3

// Their names, for programs: "utf-8-marked", "utf-8", "code-page".
extern const char *const g_fileEncodingNames[FILE_ENCODINGS];

// The encoding of a file's bytes (FILE_*), as far as the bytes tell.
int FindFileEncoding(const std::string &bytes);

// The code page the text of a file in that encoding is read and written
// in: 65001 (UTF-8), or codePage, the users'.
unsigned FindTextCodePage(int encoding, unsigned codePage);

#endif
