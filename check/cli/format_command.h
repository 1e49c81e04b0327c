/*
 * quorlan-check --format: the house layout (../mend/format.h) made on a
 * file or standard input, checked, shown as a diff or written back.
 */
#ifndef QUORLAN_CHECK_FORMAT_COMMAND_H
#define QUORLAN_CHECK_FORMAT_COMMAND_H

#include "../engine/check.h"
#include "write_back.h"

#include <string>

/* format_command.cpp: quorlan-check --format on the file at path (NULL for
   standard input), read as read, with bytes (what it held, or that fixed)
   to lay out; yields the exit status. *delivered tells whether the
   layout is now where it goes: in the file, or written to standard output
   (whose flushing is the caller's); with --check or --diff it is not. */
int FormatMenuFile(const char *path, const FileAsRead &read, const std::string &bytes,
                   const CheckSettings &settings, bool checkOnly, bool diff, bool *delivered);

#endif
