/*
 * Starting the command box's text: split into file, parameters and working
 * folder, then handed to the shell.
 */
#ifndef QUORLAN_LAUNCH_H
#define QUORLAN_LAUNCH_H

#include <windows.h>

#define COMMAND_BUFFER 1024 /* the command box is read into this many bytes */

/* A command line taken apart; file and parameters point into the text. */
struct CommandParts {
    char *file;                       /* up to the first space outside double quotes */
    char *parameters;                 /* everything after that space, or NULL */
    char *directory;                  /* folder, or NULL when the file has no backslash */
    char folder[COMMAND_BUFFER];      /* storage for directory, as long as the box's text */
};

void SplitCommand(char *text, CommandParts *parts);
void RunCommand(HWND hDlg);

#endif
