/*
 * quorlan-check [--json] [--drive LETTER] [--no-files] [MENUFILE]
 *
 * Shows what the program makes of a menu file (caption, size, options, the
 * tree with each command as the shell would get it) and warns where the
 * file probably does not say what its author meant. Exit status: 0 no
 * warnings, 1 warnings, 2 the file could not be read or the arguments are
 * wrong.
 */
#include "check.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static const char USAGE[] = "usage: quorlan-check [--json] [--drive LETTER] [--no-files] [MENUFILE]";

static int Fail(const std::string &message)
{
    fprintf(stderr, "quorlan-check: %s\n", message.c_str());
    return 2;
}

// The drive of the current folder, as the program would take it at start-up,
// or D where the folder has none.
static char CurrentDrive()
{
    char folder[4096];
    if (!getcwd(folder, sizeof(folder))) return 'D';
    return isalpha((unsigned char)folder[0]) && folder[1] == ':' ? folder[0] : 'D';
}

// The folder part of a path ("" for none).
static std::string FolderOf(const std::string &path)
{
#ifdef _WIN32
    size_t cut = path.find_last_of("/\\");
#else
    size_t cut = path.find_last_of('/');
#endif
    if (cut == std::string::npos) return "";
    return cut == 0 ? "/" : path.substr(0, cut);
}

static bool ReadWholeStream(FILE *stream, std::string *bytes)
{
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), stream)) > 0) bytes->append(chunk, got);
    return !ferror(stream);
}

int main(int argc, char **argv)
{
    bool json = false;
    CheckSettings settings;
    settings.drive = 0;
    settings.checkFiles = true;
    const char *fileName = NULL;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (strcmp(arg, "--json") == 0) {
            json = true;
        } else if (strcmp(arg, "--no-files") == 0) {
            settings.checkFiles = false;
        } else if (strcmp(arg, "--drive") == 0) {
            if (i + 1 >= argc) return Fail("--drive needs a letter; " + std::string(USAGE));
            const char *letter = argv[++i];
            if (!isalpha((unsigned char)letter[0]) || letter[1] != '\0')
                return Fail("--drive takes one letter, not \"" + std::string(letter) + "\"");
            settings.drive = letter[0];
        } else if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            printf("%s\n", USAGE);
            return 0;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return Fail("unknown option " + std::string(arg) + "; " + USAGE);
        } else if (fileName) {
            return Fail("one menu file at most; " + std::string(USAGE));
        } else {
            fileName = arg;
        }
    }
    if (!fileName) fileName = MENU_FILE_NAME;
    if (!settings.drive) settings.drive = CurrentDrive();
    settings.menuFolder = FolderOf(fileName);

    FILE *stream = fopen(fileName, "rb");
    if (!stream) return Fail("cannot open " + std::string(fileName) + ": " + strerror(errno));
    std::string bytes;
    if (!ReadWholeStream(stream, &bytes)) {
        int error = errno;
        fclose(stream);
        return Fail("cannot read " + std::string(fileName) + ": " + strerror(error));
    }

    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
    CheckMenuStream(stream, bytes, settings, &menu, &warnings);
    fclose(stream);

    std::string report = json ? FormatMenuJson(menu, warnings) : FormatMenuText(menu, warnings, fileName);
    fwrite(report.data(), 1, report.size(), stdout);
    fflush(stdout);
    return warnings.empty() ? 0 : 1;
}
