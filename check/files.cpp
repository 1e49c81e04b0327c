/*
 * Splitting a command as Run does, and whether the file it names is on the
 * disc. The command is split by the program's own SplitCommand. The program runs from
 * the menu's folder, normally the disc's root, so `%:\x`, `%:x`, `\x` and
 * `x` are all looked for there. What the shell finds elsewhere is not
 * looked for: a name with neither a backslash nor a dot (the shell searches
 * the path for it), a name on another drive or a network path, and an
 * address such as "http://...". Names are compared without regard to case,
 * as the platform compares them, so a disc copied to a case-sensitive file
 * system checks the same.
 */
#include "check.h"

#include <ctype.h>
#include <dirent.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>

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

// Yields the path of the entry called `name` in `folder`, spelt as the
// folder spells it, or "" when the folder holds none.
static std::string FindInFolder(const std::string &folder, const std::string &name)
{
    std::string exact = folder + "/" + name;
    struct stat info;
    if (stat(exact.c_str(), &info) == 0) return exact;
    DIR *dir = opendir(folder.c_str());
    if (!dir) return "";
    std::string found;
    while (struct dirent *entry = readdir(dir)) {
        if (SameNameIgnoringCase(entry->d_name, name)) {
            found = folder + "/" + entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

// Whether a path with backslashes (or slashes) names something under folder.
static bool IsUnderFolder(const std::string &folder, const std::string &relative)
{
    std::string path = folder.empty() ? "." : folder;
    size_t from = 0;
    while (from < relative.size()) {
        size_t next = std::min(relative.find_first_of("\\/", from), relative.size());
        std::string part = relative.substr(from, next - from);
        from = next + 1;
        if (part.empty()) continue;
        path = FindInFolder(path, part);
        if (path.empty()) return false;
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0;
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

// How a file, as the shell gets it, stands to the menu's folder.
enum FileLookup { FILE_NOT_LOOKED_FOR, FILE_FOUND, FILE_MISSING };

// Looks for the file in the menu's folder, unless the shell finds it
// elsewhere. fromDrive marks the bytes that `%:` gave.
static FileLookup LookForFile(const char *filePart, const std::vector<bool> &fromDrive,
                              const std::string &menuFolder)
{
    // The shell takes a quoted name without its quotes.
    std::string file;
    std::vector<bool> drive;
    for (size_t i = 0; filePart[i]; i++) {
        if (filePart[i] == '"') continue;
        file += filePart[i];
        drive.push_back(i < fromDrive.size() && fromDrive[i]);
    }
    if (file.empty() || IsAddress(file) || file.compare(0, 2, "\\\\") == 0) return FILE_NOT_LOOKED_FOR;
    std::string relative = file;
    if (file.size() >= 2 && file[1] == ':') {
        if (!drive[0]) return FILE_NOT_LOOKED_FOR;  // a drive named in the file, not the disc's own
        relative = file.substr(2);
    } else if (file.find_first_of("\\.") == std::string::npos) {
        return FILE_NOT_LOOKED_FOR;
    }
    return IsUnderFolder(menuFolder, relative) ? FILE_FOUND : FILE_MISSING;
}

// Yields true when the command's file part names a file or folder that the
// menu's folder does not hold; *filePart gets the file part as Run gives it
// to the shell. fromDrive marks the command's bytes that `%:` gave.
bool IsCommandFileMissing(const std::string &command, const std::vector<bool> &fromDrive,
                          const std::string &menuFolder, std::string *filePart)
{
    char text[COMMAND_BUFFER];
    CommandParts parts;
    SplitMenuCommand(command, text, &parts);
    *filePart = parts.file;
    return LookForFile(parts.file, fromDrive, menuFolder) == FILE_MISSING;
}

// Yields true when the file, named as in a command, is in the menu's folder.
bool IsFileOnDisc(const std::string &file, const std::vector<bool> &fromDrive, const std::string &menuFolder)
{
    return LookForFile(file.c_str(), fromDrive, menuFolder) == FILE_FOUND;
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
