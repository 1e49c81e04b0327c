/*
 * quorlan-check --format: the house layout (../mend/format.h) made on a
 * file or standard input, checked, shown as a diff or written back.
 */
#ifndef QUORLAN_CHECK_FORMAT_COMMAND_H
#define QUORLAN_CHECK_FORMAT_COMMAND_H

#include "../engine/check.h"

#include <string>

/* format_command.cpp: quorlan-check --format on the file at path (NULL for
   standard input), which holds original, with bytes (the original, or
   it fixed) to lay out; yields the exit status. */
int FormatMenuFile(const char *path, const std::string &original, const std::string &bytes,
                   const CheckSettings &settings, bool checkOnly, bool diff);

#endif
