/*
 * The name on the disc that a command's missing file was probably meant to
 * be: in the folder the path names, a name at a Damerau-Levenshtein
 * distance of at most 2 from the file's, case ignored as Windows ignores
 * it; or the file's own name in exactly one other folder of the disc. Only
 * where exactly one name is close is it offered, written as the disc
 * writes it, so that the program reads the menu back as naming it.
 */
#include "near_names.h"
#include "engine.h"
#include "files.h"

#include <string.h>

#include <algorithm>
#include <map>

typedef std::vector<uint16_t> NameKey;

// The most a name may differ from the file's and still be close.
#define MAX_NAME_DISTANCE 2

// The edits (insert, delete, change, swap two neighbours, with letters in
// between the swapped ones changed too) that make one name of the other:
// the unrestricted Damerau-Levenshtein distance (Lowrance and Wagner).
static int FindNameDistance(const NameKey &a, const NameKey &b)
{
    size_t n = a.size(), m = b.size();
    int far = (int)(n + m);
    std::vector<std::vector<int> > d(n + 2, std::vector<int>(m + 2, far));
    for (size_t i = 0; i <= n; i++) d[i + 1][1] = (int)i;
    for (size_t j = 0; j <= m; j++) d[1][j + 1] = (int)j;
    std::map<uint16_t, size_t> lastRow; // the last row of a's that holds each unit
    for (size_t i = 1; i <= n; i++) {
        size_t lastColumn = 0;          // the last column of this row where the units matched
        for (size_t j = 1; j <= m; j++) {
            std::map<uint16_t, size_t>::const_iterator found = lastRow.find(b[j - 1]);
            size_t i1 = found == lastRow.end() ? 0 : found->second, j1 = lastColumn;
            int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            if (!cost) lastColumn = j;
            d[i + 1][j + 1] = std::min({d[i][j] + cost, d[i + 1][j] + 1, d[i][j + 1] + 1,
                                        d[i1][j1] + (int)(i - i1 - 1) + 1 + (int)(j - j1 - 1)});
        }
        lastRow[a[i - 1]] = i;
    }
    return d[n + 1][m + 1];
}

// The most names the walk of the disc looks at: a disc holds far fewer,
// and beyond them the search for the same name elsewhere gives up, as a
// name found once among a part of the disc may not be the only one.
#define MAX_WALKED_NAMES 20000

// One walk of the disc from a menu's folder.
struct DiscWalk {
    std::vector<DiscFolder> folders;
    bool cut;                     // it stopped at the limit
};

static std::map<std::string, DiscWalk> s_walks; // by the menu's folder, in this check

void ForgetDiscFolders() { s_walks.clear(); }

// Yields the folders under the menu's folder (itself first), breadth
// first in byte order, with the names a menu can write; *cut says whether
// the walk stopped short of them all.
static const std::vector<DiscFolder> &WalkDisc(const CheckSettings &settings, bool *cut)
{
    std::map<std::string, DiscWalk>::iterator done = s_walks.find(settings.menuFolder);
    if (done != s_walks.end()) {
        *cut = done->second.cut;
        return done->second.folders;
    }
    DiscWalk &walk = s_walks[settings.menuFolder];
    std::vector<DiscFolder> &folders = walk.folders;
    DiscFolder root;
    size_t looked = 0;
    *cut = false;
    if (ListDiscFolder("", settings, &root)) folders.push_back(root);
    for (size_t at = 0; at < folders.size() && !*cut; at++) {
        looked += folders[at].names.size();
        *cut = looked > MAX_WALKED_NAMES;
        std::vector<std::string> inner;
        for (const DiscName &name : folders[at].names)
            if (name.folder) inner.push_back(folders[at].held + name.held + "\\");
        for (const std::string &relative : inner) {
            DiscFolder folder;
            if (ListDiscFolder(relative, settings, &folder)) folders.push_back(folder);
        }
    }
    walk.cut = *cut;
    return folders;
}

// Looks for the one name close to the command's file, which must be
// missing from the disc; *fileLength gets the bytes of the command's text
// that its file part takes, *written the file part naming that name
// instead, as menu text in the users' code page, and *name that name as
// the users' code page holds it, from the menu's folder.
bool FindNearFileName(const std::string &command, const std::vector<bool> &fromDrive, const CheckSettings &settings,
                      size_t *fileLength, std::string *written, std::string *name)
{
    char text[COMMAND_BUFFER];
    CommandParts parts;
    SplitMenuCommand(command, text, &parts);
    if (!IsFileMissingFromDisc(parts.file, fromDrive, settings)) return false;  // there, by a name it should not have
    // The file as the shell takes it, without its quotes; %: stays %:.
    std::string file, prefix;
    for (size_t i = 0; parts.file[i]; i++)
        if (parts.file[i] != '"') {
            if (file.empty() && i < fromDrive.size() && fromDrive[i] && parts.file[i + 1] == ':') {
                prefix = "%:";
                i++;
                continue;
            }
            file += parts.file[i];
        }
    size_t cut = file.find_last_of("\\/");
    std::string folderPart = cut == std::string::npos ? "" : file.substr(0, cut + 1);
    std::string last = file.substr(folderPart.size());
    if (last.empty()) return false;
    NameKey wanted = KeyOfMenuName(last, settings.codePage);

    // The folder the path names, as ListDiscFolder takes it.
    std::string relative = folderPart;
    std::replace(relative.begin(), relative.end(), '/', '\\');
    relative.erase(0, std::min(relative.find_first_not_of('\\'), relative.size()));
    std::vector<std::string> close;
    DiscFolder folder;
    bool inFolder = ListDiscFolder(relative, settings, &folder);
    if (inFolder)
        for (const DiscName &near : folder.names) {
            NameKey key = KeyOfMenuName(near.held, settings.codePage);
            size_t a = key.size(), b = wanted.size();
            if ((a > b ? a - b : b - a) > MAX_NAME_DISTANCE) continue;
            int distance = FindNameDistance(key, wanted);
            if (distance > 0 && distance <= MAX_NAME_DISTANCE) close.push_back(folderPart + near.held);
        }
    // The same name in one other folder, written from the menu's folder.
    bool cutShort;
    const std::vector<DiscFolder> &folders = WalkDisc(settings, &cutShort);
    if (cutShort) return false;
    std::vector<std::string> elsewhere;
    bool absolute = file[0] == '\\' || file[0] == '/';
    for (const DiscFolder &other : folders) {
        if (inFolder && other.utf8 == folder.utf8) continue;
        for (const DiscName &same : other.names)
            if (KeyOfMenuName(same.held, settings.codePage) == wanted) {
                elsewhere.push_back((absolute ? "\\" : "") + other.held + same.held);
                break;
            }
    }
    if (elsewhere.size() > 1) return false;
    close.insert(close.end(), elsewhere.begin(), elsewhere.end());
    if (close.size() != 1) return false;
    *fileLength = strlen(parts.file);
    *written = WriteMenuFileName(prefix, close[0]);
    *name = close[0];
    return true;
}
