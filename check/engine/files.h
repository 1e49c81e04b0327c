/*
 * Commands as the shell gets them (files.cpp): split as Run splits them,
 * and the files they name looked for in the menu's folder.
 */
#ifndef QUORLAN_CHECK_FILES_H
#define QUORLAN_CHECK_FILES_H

#include "check.h"
#include "../../launch/launch.h"

#include <stdint.h>

#include <string>
#include <vector>

void SplitMenuCommand(const std::string &command, char (&text)[COMMAND_BUFFER], CommandParts *parts);
// Yields "" where the command's file is on the disc or not looked for;
// else the warning. *unlisted, where given, says that the file was not
// found in a folder whose listing is incomplete, so it may be there.
std::string FindCommandFileProblem(const std::string &command, const std::vector<bool> &fromDrive,
                                   const CheckSettings &settings, std::string *note, bool *unlisted = NULL);
bool IsFileOnDisc(const std::string &file, const std::vector<bool> &fromDrive, const CheckSettings &settings);
std::string FindCommandFilePath(const std::string &command, const std::vector<bool> &fromDrive,
                                const CheckSettings &settings);
// Starts a check: each folder's listing kept from an earlier check is used
// again only while the folder keeps the modification time it had when
// listed, which is looked at once in the check, at the folder's first
// look-up; else the folder is listed again.
void StartCheckingFolders();
// The checks started so far: what one check found of the disc holds until
// the next one starts, which may find it changed.
unsigned long CountChecksStarted();
// Drops the listings of the folder that holds the file or folder at path
// (in the server's spelling of paths), and of the folder itself and those
// under it, so that the next check lists them again.
void ForgetFolderListings(const std::string &path);
// Says that the folder (as the menu's folder and the names under it spell
// it) holds names that its listing cannot give, as a browser gives a name
// it cannot read as text; until forgotten, a file not found there is not
// called missing. Takes effect at the folder's next listing.
void MarkListingIncomplete(const std::string &folder);
void ForgetIncompleteListings();
// A name in a folder of the disc, as a command would name it.
struct DiscName {
    std::string held;             // in the users' code page
    std::string utf8;             // the disc's spelling, in UTF-8
    bool folder;
};
// A folder of the disc, under the menu's folder, and the names in it that
// reach every Windows intact and open as that entry: UTF-8 on the disc,
// held whole by the users' code page, and not one that Windows takes for
// another entry (names that differ only in case). The folder's own path
// is in the disc's spelling, each name ended by a backslash.
struct DiscFolder {
    std::string held, utf8;
    std::vector<DiscName> names;
};
// Lists the folder that relative names (names in the users' code page,
// each ended by a backslash, as a command writes them after `%:\`),
// through the folder index; false when one of them is not a folder there.
bool ListDiscFolder(const std::string &relative, const CheckSettings &settings, DiscFolder *folder);
bool IsFileMissingFromDisc(const std::string &file, const std::vector<bool> &fromDrive, const CheckSettings &settings);
// A name in the users' code page as Windows compares it: its UTF-16 in capitals.
std::vector<uint16_t> KeyOfMenuName(const std::string &name, unsigned codePage);
bool HasFileExtension(const std::string &word);
bool LooksLikeFileToStart(const std::string &word);

#endif
