/*
 * The one name on the disc close to a command's missing file
 * (near_names.cpp), for the missing-file warning's fix.
 */
#ifndef QUORLAN_CHECK_NEAR_NAMES_H
#define QUORLAN_CHECK_NEAR_NAMES_H

#include "check.h"

#include <string>
#include <vector>

bool FindNearFileName(const std::string &command, const std::vector<bool> &fromDrive, const CheckSettings &settings,
                      size_t *fileLength, std::string *written, std::string *name);
// Drops the folders walked, so that the next check walks the disc again.
void ForgetDiscFolders();

#endif
