/*
 * Splitting a command as Run does, and whether the file it names is on the
 * disc. The command is split by the program's own SplitCommand. The program runs from
 * the menu's folder, normally the disc's root, so `%:\x`, `%:x`, `\x` and
 * `x` are all looked for there. What the shell finds elsewhere is not
 * looked for: a name with neither a backslash nor a dot (the shell searches
 * the path for it), a name on another drive or a network path, and an
 * address such as "http://...". A name is looked up by the characters
 * Windows gets for it: the menu's bytes read in the users' code page (a
 * marked UTF-8 menu is converted to it first, as the program converts it),
 * the folder's names read as UTF-8. They are compared without regard to
 * case, beyond ASCII too, as the platform compares them, so a disc copied
 * to a case-sensitive file system checks the same.
 */
#include "files.h"
#include "quote.h"

#include "../text/codepage.h"

#include <ctype.h>
#include <dirent.h>
#include <locale.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <wctype.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>

#ifdef __EMSCRIPTEN__
#include <stdlib.h>
// Node's file system (../wasm/names.js): the C library's readdir and stat
// there take and give names as JavaScript strings, which lose the bytes
// of a name that is not UTF-8, so the names go through Buffers instead.
extern "C" char *quorlan_list_folder(const char *path, size_t length, size_t *size);
extern "C" int quorlan_stat_path(const char *path, size_t length, long long *time);
#endif

#ifdef _WIN32
// The platform's own, declared here: <windows.h> is the substitute's.
extern "C" __attribute__((dllimport)) int __stdcall LCMapStringW(unsigned long locale, unsigned long flags,
                                                                 const wchar_t *source, int sourceLength,
                                                                 wchar_t *target, int targetLength);
#endif

// An address such as "http:" or "mailto:": a scheme of two characters or
// more (one would be a drive letter) followed by a colon.
static bool IsAddress(const std::string &file)
{
    if (file.empty() || !isalpha((unsigned char)file[0])) return false;
    size_t i = 1;
    while (i < file.size() && (isalnum((unsigned char)file[i]) || file[i] == '+' || file[i] == '-' ||
                               file[i] == '.'))
        i++;
    return i >= 2 && i < file.size() && file[i] == ':';
}

static bool SameNameIgnoringCase(const char *a, const std::string &b)
{
    size_t i = 0;
    for (; a[i] && i < b.size(); i++)
        if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i])) return false;
    return a[i] == '\0' && i == b.size();
}

typedef std::vector<uint16_t> WideName;

// Yields the UTF-16 unit in capitals, as Windows compares file names.
static uint16_t UpcaseUnit(uint16_t unit)
{
    if (unit < 0x80) return (uint16_t)toupper(unit);
    if (unit >= 0xD800 && unit <= 0xDFFF) return unit;  // half of a pair: compared as it stands
#ifdef _WIN32
    wchar_t in = unit, out = unit;
    return LCMapStringW(0x007F /* LOCALE_INVARIANT */, 0x0200 /* LCMAP_UPPERCASE */, &in, 1, &out, 1) == 1
               ? (uint16_t)out : unit;
#else
    static locale_t s_utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
    if (!s_utf8) return unit;
    wint_t upper = towupper_l(unit, s_utf8);
    return upper <= 0xFFFF && (upper < 0xD800 || upper > 0xDFFF) ? (uint16_t)upper : unit;
#endif
}

// Yields the text's characters in UTF-16, read in the code page; *valid
// (may be null) says whether every one of them is defined there.
static WideName DecodeName(unsigned codePage, const std::string &text, bool *valid = NULL)
{
    WideName wide;
    if (valid) *valid = true;
    for (size_t at = 0; at < text.size();) {
        TextChar ch;
        ReadTextChar(codePage, text.data() + at, (int)(text.size() - at), &ch);
        wide.insert(wide.end(), ch.wide, ch.wide + ch.wideCount);
        if (valid && !ch.defined) *valid = false;
        at += ch.byteCount;
    }
    return wide;
}

// Yields the UTF-16 text in the code page, a character it cannot hold as
// its default character; *lost says whether one did.
static std::string EncodeName(unsigned codePage, const WideName &wide, bool *lost)
{
    *lost = false;
    if (wide.empty()) return "";
    std::string text(wide.size() * 4, '\0');
    int length = EncodeText(codePage, wide.data(), (int)wide.size(), &text[0], (int)text.size(), lost);
    text.resize(length);
    return text;
}

// One entry of a folder: its name as the folder spells it (the file
// system's bytes on Linux, UTF-8 on Windows), the characters Windows gets
// for it, and whether the spelling is valid UTF-8 (Linux names are UTF-8,
// and a name that is not reaches no Windows intact).
struct FolderEntry {
    std::string spelt;
    WideName wide;
    bool isUtf8;
};

// Yields the entries of the folder (a path in the spelling above), without
// "." and "..".
static std::vector<FolderEntry> ListFolder(const std::string &folder)
{
    std::vector<FolderEntry> entries;
#ifdef _WIN32
    WideName path = DecodeName(CP_UTF8, folder.empty() ? "." : folder);
    path.push_back(0);
    _WDIR *dir = _wopendir((const wchar_t *)path.data());
    if (!dir) return entries;
    while (struct _wdirent *entry = _wreaddir(dir)) {
        FolderEntry found;
        for (const wchar_t *c = entry->d_name; *c; c++) found.wide.push_back((uint16_t)*c);
        bool lost;
        found.spelt = EncodeName(CP_UTF8, found.wide, &lost);
        found.isUtf8 = true;
        if (found.spelt != "." && found.spelt != "..") entries.push_back(found);
    }
    _wclosedir(dir);
#elif defined(__EMSCRIPTEN__)
    size_t size;
    char *names = quorlan_list_folder(folder.data(), folder.size(), &size);
    if (!names) return entries;
    for (size_t at = 0; at < size; at += strlen(names + at) + 1) {
        FolderEntry found;
        found.spelt = names + at;
        found.wide = DecodeName(CP_UTF8, found.spelt, &found.isUtf8);
        if (found.spelt != "." && found.spelt != "..") entries.push_back(found);
    }
    free(names);
#else
    DIR *dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return entries;
    while (struct dirent *entry = readdir(dir)) {
        FolderEntry found;
        found.spelt = entry->d_name;
        found.wide = DecodeName(CP_UTF8, found.spelt, &found.isUtf8);
        if (found.spelt != "." && found.spelt != "..") entries.push_back(found);
    }
    closedir(dir);
#endif
    return entries;
}

// How a file, as the shell gets it, stands to the menu's folder.
enum FileLookup {
    FILE_NOT_LOOKED_FOR,
    FILE_FOUND,
    FILE_MISSING,
    FILE_NAME_NOT_UTF8,       // there under a name that is not UTF-8
    FILE_NAME_NOT_IN_CODE_PAGE, // there under a name the users' code page cannot hold
    FILE_LISTING_INCOMPLETE   // not found in a folder whose listing lacks names
};

// A name as Windows compares it: its UTF-16 units in capitals.
static WideName KeyOfName(const WideName &wide)
{
    WideName key(wide.size());
    for (size_t i = 0; i < wide.size(); i++) key[i] = UpcaseUnit(wide[i]);
    return key;
}

// A folder's names, listed once, keyed as Windows compares them for one
// code page: the UTF-8 names Windows opens, and the names behind the two
// "why not" answers (a name that is not UTF-8, read in the code page; a
// name the code page cannot hold, as the code page holds it). Entries are
// in byte order, so that where names collide for Windows the answer does
// not hang on the order the file system lists them in.
struct FolderIndex {
    std::vector<FolderEntry> entries;
    std::map<WideName, std::vector<size_t> > opened; // the UTF-8 entries under each key
    std::map<WideName, std::pair<size_t, FileLookup> > whyNot; // the first entry behind each
    bool incomplete;       // the folder holds names its listing could not give
    long long folderTime;  // the folder's modification time when listed, or -1
    bool trusted;          // listed more than TIME_GRANULARITY after folderTime
    unsigned long checked; // the last check that used it
};

// The file systems' coarsest modification times (FAT's), in nanoseconds: a
// folder changed within this of its listing may change again with the same
// time, so such a listing is not used again.
static const long long TIME_GRANULARITY = 2000000000LL;
// A listing no check used for this many checks is dropped.
static const unsigned long CHECKS_KEPT = 64;

// The indexes kept from check to check, by code page and folder, and the
// number of the check in progress.
static std::map<std::pair<unsigned, std::string>, FolderIndex> s_folderIndexes;
static unsigned long s_check = 1;
// The folders, as ListFolder takes them, known to hold names that could
// not be given as text: a name not found in one may still be there.
static std::set<std::string> s_incompleteFolders;

void MarkListingIncomplete(const std::string &folder) { s_incompleteFolders.insert(folder); }

void ForgetIncompleteListings() { s_incompleteFolders.clear(); }

// Yields the folder's modification time in nanoseconds since 1970, or -1
// where it has none to give.
static long long FindFolderTime(const std::string &folder)
{
    const std::string &path = folder.empty() ? std::string(".") : folder;
#ifdef _WIN32
    WideName wide = DecodeName(CP_UTF8, path);
    wide.push_back(0);
    struct _stat64 status;
    if (_wstat64((const wchar_t *)wide.data(), &status) != 0 || (status.st_mode & S_IFMT) != S_IFDIR) return -1;
    return (long long)status.st_mtime * 1000000000LL;
#elif defined(__EMSCRIPTEN__)
    long long time;
    return quorlan_stat_path(path.data(), path.size(), &time) == 2 ? time : -1;
#else
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return -1;
    return (long long)status.st_mtim.tv_sec * 1000000000LL + status.st_mtim.tv_nsec;
#endif
}

// Yields the time now, as FindFolderTime gives times.
static long long FindTimeNow()
{
#ifdef _WIN32
    return (long long)time(NULL) * 1000000000LL;
#else
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
#endif
}

void StartCheckingFolders()
{
    s_check++;
    for (std::map<std::pair<unsigned, std::string>, FolderIndex>::iterator index = s_folderIndexes.begin();
         index != s_folderIndexes.end();)
        index = s_check - index->second.checked > CHECKS_KEPT ? s_folderIndexes.erase(index) : std::next(index);
}

unsigned long CountChecksStarted() { return s_check; }

// A path's spelling as Windows compares paths where the platform is
// Windows, and as it stands elsewhere, with slashes for its separators.
static WideName KeyOfPath(const std::string &path)
{
    std::string slashed = path;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    while (slashed.size() > 1 && slashed.back() == '/') slashed.pop_back();
#ifdef _WIN32
    return KeyOfName(DecodeName(CP_UTF8, slashed));
#else
    return WideName(slashed.begin(), slashed.end());
#endif
}

void ForgetFolderListings(const std::string &path)
{
    WideName changed = KeyOfPath(path), slash(1, '/');
    WideName parent(changed.begin(), std::find_end(changed.begin(), changed.end(), slash.begin(), slash.end()));
    for (std::map<std::pair<unsigned, std::string>, FolderIndex>::iterator index = s_folderIndexes.begin();
         index != s_folderIndexes.end();) {
        WideName folder = KeyOfPath(index->first.second);
        bool under = folder.size() > changed.size() && std::equal(changed.begin(), changed.end(), folder.begin()) &&
                     folder[changed.size()] == '/';
        index = folder == changed || folder == parent || under ? s_folderIndexes.erase(index) : std::next(index);
    }
}

// The folder's index for this check: the one kept, where its folder still
// has the time it had when listed and the listing is trusted, else a new
// listing. Each is checked against its folder once in a check.
static const FolderIndex &IndexFolder(const std::string &folder, unsigned codePage)
{
    std::pair<unsigned, std::string> key(codePage, folder);
    std::map<std::pair<unsigned, std::string>, FolderIndex>::iterator found = s_folderIndexes.find(key);
    if (found != s_folderIndexes.end() && found->second.checked == s_check) return found->second;
    long long folderTime = FindFolderTime(folder);
    if (found != s_folderIndexes.end() && found->second.trusted && folderTime == found->second.folderTime) {
        found->second.checked = s_check;
        return found->second;
    }
    FolderIndex &index = s_folderIndexes[key];
    index = FolderIndex();
    // The time now is taken before the listing: a change while it lists is
    // then within the granularity, and the listing is not trusted.
    long long listed = FindTimeNow();
    index.folderTime = folderTime;
    index.trusted = folderTime >= 0 && listed - folderTime > TIME_GRANULARITY;
    index.checked = s_check;
    index.incomplete = s_incompleteFolders.count(folder) > 0;
    index.entries = ListFolder(folder);
    std::sort(index.entries.begin(), index.entries.end(),
              [](const FolderEntry &a, const FolderEntry &b) { return a.spelt < b.spelt; });
    for (size_t i = 0; i < index.entries.size(); i++) {
        const FolderEntry &entry = index.entries[i];
        if (entry.isUtf8) {
            index.opened[KeyOfName(entry.wide)].push_back(i);
            bool lost;
            std::string held = EncodeName(codePage, entry.wide, &lost);
            if (lost)
                index.whyNot.insert(std::make_pair(KeyOfName(DecodeName(codePage, held)),
                                                   std::make_pair(i, FILE_NAME_NOT_IN_CODE_PAGE)));
        } else {
            index.whyNot.insert(std::make_pair(KeyOfName(DecodeName(codePage, entry.spelt)),
                                               std::make_pair(i, FILE_NAME_NOT_UTF8)));
        }
    }
    return index;
}

static bool IsFolderPath(const std::string &path)
{
#ifdef _WIN32
    WideName wide = DecodeName(CP_UTF8, path);
    wide.push_back(0);
    struct _stat64 status;
    return _wstat64((const wchar_t *)wide.data(), &status) == 0 && (status.st_mode & S_IFMT) == S_IFDIR;
#elif defined(__EMSCRIPTEN__)
    long long time;
    return quorlan_stat_path(path.data(), path.size(), &time) == 2;
#else
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
#endif
}

// Looks for the entry that Windows opens by `part` (bytes in the users' code
// page) in the folder; *path gets its path. Where names collide for
// Windows, a file is taken over a folder for the path's last part (a
// folder over a file before it), then the first in byte order. Where there
// is none, yields why a likely one is not it, and *name gets that one's
// spelling.
static FileLookup FindInFolder(const std::string &folder, const std::string &part, unsigned codePage, bool last,
                               std::string *path, std::string *name)
{
    const FolderIndex &index = IndexFolder(folder, codePage);
    WideName wanted = KeyOfName(DecodeName(codePage, part));
    std::string prefix = folder.empty() ? "" : folder + "/";
    std::map<WideName, std::vector<size_t> >::const_iterator opened = index.opened.find(wanted);
    if (opened != index.opened.end()) {
        size_t chosen = opened->second[0];
        if (opened->second.size() > 1)
            for (size_t i : opened->second)
                if (IsFolderPath(prefix + index.entries[i].spelt) != last) {
                    chosen = i;
                    break;
                }
        *path = prefix + index.entries[chosen].spelt;
        return FILE_FOUND;
    }
    std::map<WideName, std::pair<size_t, FileLookup> >::const_iterator why = index.whyNot.find(wanted);
    if (why == index.whyNot.end()) return index.incomplete ? FILE_LISTING_INCOMPLETE : FILE_MISSING;
    *name = index.entries[why->second.first].spelt;
    return why->second.second;
}

// Looks for a path with backslashes (or slashes), in the users' code page,
// under the folder; *name gets the name at fault as FindInFolder gives it.
static FileLookup FindUnderFolder(const std::string &folder, const std::string &relative, unsigned codePage,
                                  std::string *name, std::string *found = NULL)
{
    std::string path = folder;
    size_t from = 0;
    while (from < relative.size()) {
        size_t next = std::min(relative.find_first_of("\\/", from), relative.size());
        std::string part = relative.substr(from, next - from);
        from = next + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            path = (path.empty() ? "." : path) + "/..";
            continue;
        }
        bool last = relative.find_first_not_of("\\/.", from) == std::string::npos;
        FileLookup lookup = FindInFolder(path, part, codePage, last, &path, name);
        if (lookup != FILE_FOUND) return lookup;
    }
    if (found) *found = path;
    return FILE_FOUND;
}

// Yields the menu's folder in the spelling ListFolder takes: as given on
// Linux; on Windows, where the arguments come in the ANSI code page, in UTF-8.
static std::string MenuFolderSpelt(const std::string &folder)
{
#ifdef _WIN32
    unsigned codePage = IsKnownCodePage(FindPlatformCodePage()) ? FindPlatformCodePage() : 1252;
    bool lost;
    return EncodeName(CP_UTF8, DecodeName(codePage, folder), &lost);
#else
    return folder;
#endif
}

// Splits a command into text as Run splits the command box's text, which
// holds at most COMMAND_BUFFER - 1 bytes of it.
void SplitMenuCommand(const std::string &command, char (&text)[COMMAND_BUFFER], CommandParts *parts)
{
    size_t length = std::min(command.size(), sizeof(text) - 1);
    memcpy(text, command.data(), length);
    text[length] = '\0';
    SplitCommand(text, parts);
}

// Looks for the file in the menu's folder, unless the shell finds it
// elsewhere. fromDrive marks the bytes that `%:` gave; *file gets the name
// as the shell takes it, *name the folder's name at fault.
static FileLookup LookForFile(const char *filePart, const std::vector<bool> &fromDrive,
                              const CheckSettings &settings, std::string *file, std::string *name,
                              std::string *found = NULL)
{
    // The shell takes a quoted name without its quotes.
    std::vector<bool> drive;
    for (size_t i = 0; filePart[i]; i++) {
        if (filePart[i] == '"') continue;
        *file += filePart[i];
        drive.push_back(i < fromDrive.size() && fromDrive[i]);
    }
    if (file->empty() || IsAddress(*file) || file->compare(0, 2, "\\\\") == 0) return FILE_NOT_LOOKED_FOR;
    std::string relative = *file;
    if (file->size() >= 2 && (*file)[1] == ':') {
        if (!drive[0]) return FILE_NOT_LOOKED_FOR;  // a drive named in the file, not the disc's own
        relative = file->substr(2);
    } else if (file->find_first_of("\\.") == std::string::npos) {
        return FILE_NOT_LOOKED_FOR;
    }
    return FindUnderFolder(MenuFolderSpelt(settings.menuFolder), relative, settings.codePage, name, found);
}

// Yields "" when the command's file part is on the disc or not looked for;
// else the warning, and its note in *note. fromDrive marks the command's
// bytes that `%:` gave.
std::string FindCommandFileProblem(const std::string &command, const std::vector<bool> &fromDrive,
                                   const CheckSettings &settings, std::string *note, bool *unlisted)
{
    if (unlisted) *unlisted = false;
    char text[COMMAND_BUFFER];
    CommandParts parts;
    SplitMenuCommand(command, text, &parts);
    std::string file, name;
    std::string codePage = "code page " + std::to_string(settings.codePage);
    switch (LookForFile(parts.file, fromDrive, settings, &file, &name)) {
    case FILE_MISSING:
        *note = "correct the path, or put the file on the disc there";
        return "the command's file " + QuoteText(file) + " is not in the menu's folder";
    case FILE_NAME_NOT_UTF8:
        *note = "rename " + QuoteUtf8(name) + " in UTF-8, as the menu writes it";
        return "the command's file " + QuoteText(file) + " is on the disc only as " + QuoteUtf8(name) +
               ", a name that is not UTF-8 and reaches no Windows intact";
    case FILE_LISTING_INCOMPLETE:
        if (unlisted) *unlisted = true;
        *note = "give the folder with names that can be read as text, or check the disc with quorlan-check";
        return "the command's file " + QuoteText(file) + " is not among the names given of its folder, but "
               "that folder holds names that could not be read as text: it may be one of them";
    case FILE_NAME_NOT_IN_CODE_PAGE:
        *note = "rename it with characters of " + codePage + ", or give the users' code page (--codepage)";
        return "the command's file " + QuoteText(file) + " is on the disc as " + QuoteUtf8(name) + ", which " +
               codePage + " cannot hold: the menu cannot name it on the users' machines";
    default:
        return "";
    }
}

// Yields true when the file, named as in a command, is in the menu's folder.
bool IsFileOnDisc(const std::string &file, const std::vector<bool> &fromDrive, const CheckSettings &settings)
{
    std::string shellFile, name;
    return LookForFile(file.c_str(), fromDrive, settings, &shellFile, &name) == FILE_FOUND;
}

// Yields the path on this machine (the disc's spelling, UTF-8 on Windows)
// of the command's file when the file check finds it on the disc, else "".
std::string FindCommandFilePath(const std::string &command, const std::vector<bool> &fromDrive,
                                const CheckSettings &settings)
{
    char text[COMMAND_BUFFER];
    CommandParts parts;
    SplitMenuCommand(command, text, &parts);
    std::string file, name, path;
    return LookForFile(parts.file, fromDrive, settings, &file, &name, &path) == FILE_FOUND ? path : "";
}

// Whether Windows can have the name: none of the characters its file
// names may not hold, and no space or dot at the end, which it drops from
// a name it is given, so that such a file opens as another or not at all.
static bool IsWindowsName(const std::string &name)
{
    for (unsigned char c : name)
        if (c < 0x20 || strchr("\"*/:<>?\\|", c)) return false;
    return !name.empty() && name.back() != ' ' && name.back() != '.';
}

bool ListDiscFolder(const std::string &relative, const CheckSettings &settings, DiscFolder *folder)
{
    *folder = DiscFolder();
    unsigned codePage = settings.codePage;
    std::string path = MenuFolderSpelt(settings.menuFolder), name;
    for (size_t from = 0; from < relative.size();) {
        size_t next = relative.find('\\', from);
        std::string part = relative.substr(from, next - from);
        if (next == std::string::npos || part.empty() || part == "." || part == "..") return false;
        from = next + 1;
        std::string prefix = path.empty() ? "" : path + "/";
        if (FindInFolder(path, part, codePage, false, &path, &name) != FILE_FOUND || !IsFolderPath(path))
            return false;
        bool lost;
        std::string spelt = path.substr(prefix.size());
        folder->held += EncodeName(codePage, DecodeName(CP_UTF8, spelt), &lost) + "\\";
        folder->utf8 += spelt + "\\";
    }
    const FolderIndex &index = IndexFolder(path, codePage);
    std::string prefix = path.empty() ? "" : path + "/";
    for (const FolderEntry &entry : index.entries) {
        DiscName found;
        bool lost;
        found.held = EncodeName(codePage, entry.wide, &lost);
        if (!entry.isUtf8 || lost || !IsWindowsName(entry.spelt)) continue;
        found.utf8 = entry.spelt;
        found.folder = IsFolderPath(prefix + entry.spelt);
        std::string opened;
        if (FindInFolder(path, found.held, codePage, !found.folder, &opened, &name) == FILE_FOUND &&
            opened == prefix + entry.spelt)
            folder->names.push_back(found);
    }
    return true;
}

// Yields true when the file, named as in a command, is looked for in the
// menu's folder and is not there under any name.
bool IsFileMissingFromDisc(const std::string &file, const std::vector<bool> &fromDrive, const CheckSettings &settings)
{
    std::string shellFile, name;
    return LookForFile(file.c_str(), fromDrive, settings, &shellFile, &name) == FILE_MISSING;
}

std::vector<uint16_t> KeyOfMenuName(const std::string &name, unsigned codePage)
{
    return KeyOfName(DecodeName(codePage, name));
}

// What discs start or open, by extension: programs, documents, pages, media.
static const char *const s_fileExtensions[] = {
    "exe", "com", "bat", "cmd", "msi", "lnk", "pif", "scr", "hta", "vbs", "js",  "jar", "reg", "inf",
    "url", "txt", "pdf", "rtf", "doc", "docx", "wri", "odt", "xls", "xlsx", "ods", "ppt", "pptx", "pps",
    "odp", "htm", "html", "chm", "hlp", "jpg", "jpeg", "png", "gif", "bmp", "avi", "mpg", "mpeg", "mp3",
    "mp4", "wav", "wma", "wmv", "mov", "zip",
};

// Yields whether a word ends in the extension of a file that discs start.
bool HasFileExtension(const std::string &word)
{
    size_t dot = word.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string extension = word.substr(dot + 1);
    for (const char *known : s_fileExtensions)
        if (SameNameIgnoringCase(known, extension)) return true;
    return false;
}

// Yields whether a word looks like a file to start: an address, a drive,
// a path with a backslash, or a name with one of the extensions above.
bool LooksLikeFileToStart(const std::string &word)
{
    if (IsAddress(word) || (word.size() >= 2 && isalpha((unsigned char)word[0]) && word[1] == ':')) return true;
    return (word.find('\\') != std::string::npos && word.size() > 1) || HasFileExtension(word);
}
