/*
 * The folder index against the look-up it replaced, which listed the
 * folder again for every name and took the first entry the file system
 * listed: that look-up is kept here whole as the reference. Both answer
 * the same command with the same warning and note, on the commands of the
 * existing cases and on a table of names; where the reference's answer
 * hangs on the order the folder is listed in, the row says so and the
 * index gives one of the two answers, the same every time.
 */
#include <gtest/gtest.h>

#include "../engine/check.h"
#include "../rules/checker.h"
#include "../engine/files.h"
#include "../engine/quote.h"
#include "../text/codepage.h"

#include <ctype.h>
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <wctype.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

/* ---- the reference: the look-up as it was, one listing per name ---- */

typedef std::vector<uint16_t> WideName;

uint16_t UpcaseUnit(uint16_t unit)
{
    if (unit < 0x80) return (uint16_t)toupper(unit);
    if (unit >= 0xD800 && unit <= 0xDFFF) return unit;
    static locale_t s_utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
    if (!s_utf8) return unit;
    wint_t upper = towupper_l(unit, s_utf8);
    return upper <= 0xFFFF && (upper < 0xD800 || upper > 0xDFFF) ? (uint16_t)upper : unit;
}

bool SameWideIgnoringCase(const WideName &a, const WideName &b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (UpcaseUnit(a[i]) != UpcaseUnit(b[i])) return false;
    return true;
}

WideName DecodeName(unsigned codePage, const std::string &text, bool *valid = NULL)
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

std::string EncodeName(unsigned codePage, const WideName &wide, bool *lost)
{
    *lost = false;
    if (wide.empty()) return "";
    std::string text(wide.size() * 4, '\0');
    int length = EncodeText(codePage, wide.data(), (int)wide.size(), &text[0], (int)text.size(), lost);
    text.resize(length);
    return text;
}

struct FolderEntry {
    std::string spelt;
    WideName wide;
    bool isUtf8;
};

// The order the reference takes the folder's entries in: as the file
// system lists them, or the other way round.
bool g_reversed = false;

std::vector<FolderEntry> ListFolder(const std::string &folder)
{
    std::vector<FolderEntry> entries;
    DIR *dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return entries;
    while (struct dirent *entry = readdir(dir)) {
        FolderEntry found;
        found.spelt = entry->d_name;
        found.wide = DecodeName(CP_UTF8, found.spelt, &found.isUtf8);
        if (found.spelt != "." && found.spelt != "..") entries.push_back(found);
    }
    closedir(dir);
    if (g_reversed) std::reverse(entries.begin(), entries.end());
    return entries;
}

enum FileLookup { FILE_NOT_LOOKED_FOR, FILE_FOUND, FILE_MISSING, FILE_NAME_NOT_UTF8, FILE_NAME_NOT_IN_CODE_PAGE };

FileLookup FindInFolder(const std::string &folder, const std::string &part, unsigned codePage, std::string *path,
                        std::string *name)
{
    WideName wanted = DecodeName(codePage, part);
    std::vector<FolderEntry> entries = ListFolder(folder);
    for (const FolderEntry &entry : entries) {
        if (entry.isUtf8 && SameWideIgnoringCase(entry.wide, wanted)) {
            *path = (folder.empty() ? "" : folder + "/") + entry.spelt;
            return FILE_FOUND;
        }
    }
    for (const FolderEntry &entry : entries) {
        *name = entry.spelt;
        bool lost;
        if (!entry.isUtf8 && SameWideIgnoringCase(DecodeName(codePage, entry.spelt), wanted))
            return FILE_NAME_NOT_UTF8;
        std::string held = EncodeName(codePage, entry.wide, &lost);
        if (entry.isUtf8 && lost && SameWideIgnoringCase(DecodeName(codePage, held), wanted))
            return FILE_NAME_NOT_IN_CODE_PAGE;
    }
    return FILE_MISSING;
}

FileLookup FindUnderFolder(const std::string &folder, const std::string &relative, unsigned codePage,
                           std::string *name)
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
        FileLookup found = FindInFolder(path, part, codePage, &path, name);
        if (found != FILE_FOUND) return found;
    }
    return FILE_FOUND;
}

bool IsAddress(const std::string &file)
{
    if (file.empty() || !isalpha((unsigned char)file[0])) return false;
    size_t i = 1;
    while (i < file.size() && (isalnum((unsigned char)file[i]) || file[i] == '+' || file[i] == '-' ||
                               file[i] == '.'))
        i++;
    return i >= 2 && i < file.size() && file[i] == ':';
}

FileLookup LookForFile(const char *filePart, const std::vector<bool> &fromDrive, const CheckSettings &settings,
                       std::string *file, std::string *name)
{
    std::vector<bool> drive;
    for (size_t i = 0; filePart[i]; i++) {
        if (filePart[i] == '"') continue;
        *file += filePart[i];
        drive.push_back(i < fromDrive.size() && fromDrive[i]);
    }
    if (file->empty() || IsAddress(*file) || file->compare(0, 2, "\\\\") == 0) return FILE_NOT_LOOKED_FOR;
    std::string relative = *file;
    if (file->size() >= 2 && (*file)[1] == ':') {
        if (!drive[0]) return FILE_NOT_LOOKED_FOR;
        relative = file->substr(2);
    } else if (file->find_first_of("\\.") == std::string::npos) {
        return FILE_NOT_LOOKED_FOR;
    }
    return FindUnderFolder(settings.menuFolder, relative, settings.codePage, name);
}

// The warning and its note, as the reference gave them.
std::string FindCommandFileProblemAsBefore(const std::string &command, const std::vector<bool> &fromDrive,
                                           const CheckSettings &settings, std::string *note)
{
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
    case FILE_NAME_NOT_IN_CODE_PAGE:
        *note = "rename it with characters of " + codePage + ", or give the users' code page (--codepage)";
        return "the command's file " + QuoteText(file) + " is on the disc as " + QuoteUtf8(name) + ", which " +
               codePage + " cannot hold: the menu cannot name it on the users' machines";
    default:
        return "";
    }
}

/* ---- the comparison ---- */

// The reference's answer in both listing orders, and the index's in a
// check of its own, which it yields: *readdirOrder says whether the two
// orders differ. The index's answer must be one of the reference's.
std::string Compare(const std::string &command, const std::vector<bool> &fromDrive, const CheckSettings &settings,
             bool *readdirOrder)
{
    SCOPED_TRACE(command + " in code page " + std::to_string(settings.codePage));
    UsePlatformText(settings.codePage);
    std::string asListedNote, reversedNote, note;
    g_reversed = false;
    std::string asListed = FindCommandFileProblemAsBefore(command, fromDrive, settings, &asListedNote);
    g_reversed = true;
    std::string reversed = FindCommandFileProblemAsBefore(command, fromDrive, settings, &reversedNote);
    g_reversed = false;
    StartCheckingFolders();
    std::string indexed = FindCommandFileProblem(command, fromDrive, settings, &note);
    *readdirOrder = asListed != reversed || asListedNote != reversedNote;
    if (indexed == reversed && note == reversedNote) return indexed;
    EXPECT_EQ(asListed, indexed);
    EXPECT_EQ(asListedNote, note);
    return indexed;
}

CheckSettings DiscSettings(const std::string &disc, unsigned codePage)
{
    CheckSettings settings;
    settings.codePage = codePage;
    settings.drive = 'E';
    settings.checkFiles = true;
    settings.menuFolder = disc;
    return settings;
}

void AddCommands(const std::vector<CheckedItem> &items, std::vector<std::string> *commands)
{
    for (const CheckedItem &item : items) {
        if (item.launches) commands->push_back(item.command);
        AddCommands(item.children, commands);
    }
}

// Marks the drive that `%:` gave where the command starts with the
// settings' drive, as the existing cases write their paths.
std::vector<bool> DriveOf(const std::string &command, char drive)
{
    std::vector<bool> fromDrive(command.size(), false);
    size_t at = command.compare(0, 1, "\"") == 0 ? 1 : 0;
    if (command.size() >= at + 2 && command[at] == drive && command[at + 1] == ':')
        fromDrive[at] = fromDrive[at + 1] = true;
    return fromDrive;
}

void Write(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_TRUE(file) << path;
    fclose(file);
}

// Every command of the existing cases' menus, on their own folder.
TEST(CheckFilesIndex, FindsWhatTheListingPerNameFoundOnTheCases)
{
    std::string cases = std::string(QUORLAN_SOURCE_DIR) + "/check/tests/cases";
    DIR *dir = opendir(cases.c_str());
    ASSERT_TRUE(dir);
    std::vector<std::string> menus;
    while (struct dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ini") == 0) menus.push_back(name);
    }
    closedir(dir);
    ASSERT_FALSE(menus.empty());
    size_t compared = 0;
    for (const std::string &name : menus) {
        FILE *stream = fopen((cases + "/" + name).c_str(), "rb");
        ASSERT_TRUE(stream);
        std::string bytes;
        for (int c; (c = fgetc(stream)) != EOF;) bytes += (char)c;
        for (unsigned codePage : {1252u, 1251u, 932u}) {
            CheckSettings settings = DiscSettings(cases, codePage);
            CheckedMenu menu;
            std::vector<MenuWarning> warnings;
            CheckMenuStream(stream, bytes, settings, &menu, &warnings);
            std::vector<std::string> commands;
            AddCommands(menu.items, &commands);
            for (const std::string &command : commands) {
                SCOPED_TRACE(name);
                bool readdirOrder;
                Compare(command, DriveOf(command, settings.drive), settings, &readdirOrder);
                EXPECT_FALSE(readdirOrder);
                compared++;
            }
        }
        fclose(stream);
    }
    EXPECT_GT(compared, 30u);
}

// A table of names on a disc of its own, then a name removed between two
// checks: once with the folder's time well in the past (the listing is
// kept, and the folder's new time says it changed), and once with it
// within the file systems' granularity of the listing and put back after
// the change (the listing is not kept, as the time cannot tell).
TEST(CheckFilesIndex, FindsWhatTheListingPerNameFoundOnATableOfNames)
{
    char folder[] = "/tmp/quorlan-index-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    std::string disc = folder;
    const char *folders[] = {"/setup", "/\xc3\xa9t\xc3\xa9", "/\xc3\x89T\xc3\x89"};
    const char *files[] = {
        "/Setup",                                       // a file, one for Windows with the folder setup
        "/setup/x.exe",
        "/\xc3\x89T\xc3\x89/a.txt",                    // only in the capital one of two folders one for Windows
        "/Stra\xc3\x9f" "e.txt",                       // no capital for sharp s
        "/\xce\x9f\xce\x94\xce\x9f\xce\xa3.txt",       // Greek capitals
        "/\xd0\x94\xd1\x80\xd0\xb0\xd0\xb9\xd0\xb2\xd0\xb5\xd1\x80.txt", // beyond code page 1252
        "/alt\xfc.txt",                                // Latin-1 bytes: not UTF-8
        "/\x82\xa0.txt",                               // Shift-JIS bytes: not UTF-8
    };
    for (const char *name : folders) mkdir((disc + name).c_str(), 0700);
    for (const char *name : files) Write(disc + name);
    struct {
        unsigned codePage;
        const char *command;  // in the code page's bytes
        bool readdirOrder;    // the reference's answer hangs on the listing's order
    } rows[] = {
        {1252, "SETUP", false},                 // not looked for: no dot, no backslash
        {1252, "setup\\x.exe", true},           // the file Setup or the folder setup first
        {1252, "SETUP\\X.EXE /q", true},
        {1252, "Setup\\", false},               // a folder's path ends in the folder either way
        {1252, "\xe9t\xe9\\a.txt", true},       // the folder without a.txt, or the one with it
        {1252, "\xc9T\xc9\\A.TXT", true},
        {1252, "\xc9t\xe9\\b.txt", false},      // in neither
        {1252, "stra\xdf" "e.txt", false},
        {1252, "STRASSE.TXT", false},           // Windows makes no SS of sharp s
        {1253, "\xef\xe4\xef\xf3.txt", false},  // small Greek letters
        {1253, "\xef\xe4\xef\xf2.txt", false},  // final sigma
        {1251, "\xe4\xf0\xe0\xe9\xe2\xe5\xf0.txt", false},
        {1252, "???????.txt", false},          // what code page 1252 makes of the Cyrillic name
        {1252, "alt\xfc.txt", false},
        {1251, "alt\xfc.txt", false},           // the Latin-1 byte read as a Cyrillic letter
        {932, "\x82\xa0.txt", false},
        {1252, "missing\\y.exe", false},
        {1252, "\"Setup\\x.exe\" /s", true},
    };
    for (auto &row : rows) {
        CheckSettings settings = DiscSettings(disc, row.codePage);
        bool readdirOrder;
        std::string indexed =
            Compare(row.command, std::vector<bool>(strlen(row.command), false), settings, &readdirOrder);
        EXPECT_EQ(row.readdirOrder, readdirOrder) << row.command;
        // Where the order decided, the index goes through the folder, and
        // of two folders takes the first in byte order: each holds the file.
        if (row.readdirOrder) {
            EXPECT_EQ("", indexed) << row.command;
        }
    }

    // The time is taken to the nanosecond: a whole second cut from now
    // would leave the recent folder as little as a millisecond inside the
    // granularity, and a loaded machine then trusted the listing.
    for (long long age : {-3600LL, 0LL}) {
        SCOPED_TRACE("the folder's time " + std::to_string(age) + " s from now");
        std::string gone = disc + "/gone.txt";
        Write(gone);
        struct timespec then[2];
        clock_gettime(CLOCK_REALTIME, &then[0]);
        then[0].tv_sec += age;
        then[1] = then[0];
        utimensat(AT_FDCWD, disc.c_str(), then, 0);
        CheckSettings settings = DiscSettings(disc, 1252);
        bool readdirOrder;
        Compare("gone.txt", std::vector<bool>(8, false), settings, &readdirOrder);
        remove(gone.c_str());
        if (age > -2) utimensat(AT_FDCWD, disc.c_str(), then, 0);
        Compare("gone.txt", std::vector<bool>(8, false), settings, &readdirOrder);
        std::string note;
        StartCheckingFolders();
        EXPECT_NE("", FindCommandFileProblem("gone.txt", std::vector<bool>(8, false), settings, &note));
    }

    for (int i = (int)(sizeof(files) / sizeof(files[0])) - 1; i >= 0; i--) remove((disc + files[i]).c_str());
    for (int i = 2; i >= 0; i--) rmdir((disc + folders[i]).c_str());
    rmdir(disc.c_str());
}

} // namespace
