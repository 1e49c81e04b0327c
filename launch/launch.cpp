/*
 * Runs what the command box holds. Only a space outside double quotes ends
 * the file part; quotes stay as typed in the file part and the parameters,
 * which the shell reads as a command line. The working folder is a path,
 * which the shell takes as it stands, so it gets no quotes at all.
 */
#include "launch.h"
#include "../res/resource.h"

#include <shellapi.h>
#include <string.h>

// Splits text in place: the first space outside double quotes becomes the
// file part's end. The working folder is the file part before its last
// backslash with every double quote left out, cut to fit its storage.
void SplitCommand(char *text, CommandParts *parts)
{
    bool inQuotes = false;
    char *scan = text;
    for (; *scan; scan++) {
        if (*scan == '"') inQuotes = !inQuotes;
        else if (*scan == ' ' && !inQuotes) break;
    }
    parts->file = text;
    parts->parameters = NULL;
    if (*scan == ' ') {
        *scan = '\0';
        parts->parameters = scan + 1;
    }

    parts->directory = NULL;
    const char *lastSlash = strrchr(text, '\\');
    if (lastSlash) {
        size_t length = 0;
        for (const char *from = text; from < lastSlash && length < sizeof(parts->folder) - 1; from++)
            if (*from != '"') parts->folder[length++] = *from;
        parts->folder[length] = '\0';
        parts->directory = parts->folder;
    }
}

// Hands the command box's text to the shell with its default verb. An empty
// box starts nothing; whatever the shell makes of the rest is its own to
// report, and the dialog stays as it is.
void RunCommand(HWND hDlg)
{
    char command[COMMAND_BUFFER];
    GetDlgItemTextA(hDlg, IDC_COMMAND, command, sizeof(command));
    if (command[0] == '\0') return;
    CommandParts parts;
    SplitCommand(command, &parts);

    SHELLEXECUTEINFOA info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = 0;
    info.hwnd = hDlg;
    info.lpVerb = NULL;
    info.lpFile = parts.file;
    info.lpParameters = parts.parameters;
    info.lpDirectory = parts.directory;
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&info);
}
