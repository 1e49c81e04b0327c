/*
 * Commands as the shell gets them (files.cpp): split as Run splits them,
 * and the files they name looked for in the menu's folder.
 */
#ifndef QUORLAN_CHECK_FILES_H
#define QUORLAN_CHECK_FILES_H

#include "check.h"
#include "../launch/launch.h"

#include <string>
#include <vector>

void SplitMenuCommand(const std::string &command, char (&text)[COMMAND_BUFFER], CommandParts *parts);
std::string FindCommandFileProblem(const std::string &command, const std::vector<bool> &fromDrive,
                                   const CheckSettings &settings, std::string *note);
bool IsFileOnDisc(const std::string &file, const std::vector<bool> &fromDrive, const CheckSettings &settings);
// Drops the folders' listings, so that the next look-up lists them again:
// each check lists a folder once.
void ForgetFolderListings();
bool HasFileExtension(const std::string &word);
bool LooksLikeFileToStart(const std::string &word);

#endif
