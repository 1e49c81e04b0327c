/*
 * The program that test menus start. It writes what the shell gave it, its
 * arguments (its command line less its own name) and its current folder,
 * to the file named by QUORLAN_PROBE_OUT, which it inherits from the test
 * driver through the menu program.
 */
#include <windows.h>
#include <stdio.h>

// Skips the program's own name, quoted or not, and the blanks after it.
static const char *SkipProgramName(const char *line)
{
    if (*line == '"') {
        line++;
        while (*line && *line != '"') line++;
        if (*line) line++;
    } else {
        while (*line && *line != ' ' && *line != '\t') line++;
    }
    while (*line == ' ' || *line == '\t') line++;
    return line;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH], folder[MAX_PATH], temp[MAX_PATH + 8];
    if (!GetEnvironmentVariableA("QUORLAN_PROBE_OUT", path, sizeof(path))) return 1;
    GetCurrentDirectoryA(sizeof(folder), folder);
    // Written whole under another name, then renamed, so the driver never
    // reads half a file.
    snprintf(temp, sizeof(temp), "%s.tmp", path);
    FILE *out = fopen(temp, "wb");
    if (!out) return 1;
    fprintf(out, "%s\n%s\n", SkipProgramName(GetCommandLineA()), folder);
    fclose(out);
    MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING);
    return 0;
}
