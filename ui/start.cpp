/*
 * The executable's entry point, in place of the C runtime's start-up code
 * (linked with -nostartfiles, see program.cmake). That code sets up what
 * this program never uses: main's arguments, static constructors, TLS
 * callbacks, pseudo-relocations, floating point and signal handling. What
 * the program does use of the runtime, msvcrt's stdio, heap and ctype, is
 * set up by msvcrt.dll itself when the loader initialises it, before this
 * runs. So the entry only gathers WinMain's arguments and exits the
 * process with WinMain's result.
 */
#include <windows.h>

// Yields the command line past the program's own name and the blanks after
// it, as the runtime gives it to WinMain.
static LPSTR SkipProgramName(LPSTR line)
{
    if (*line == '"') {
        for (line++; *line && *line != '"'; line++) {}
        if (*line) line++;
    } else {
        while ((unsigned char)*line > ' ') line++;
    }
    while (*line == ' ' || *line == '\t') line++;
    return line;
}

// The loader calls this with a stack aligned to 4 bytes only; the attribute
// realigns it for the compiler's code. It never returns: ExitProcess ends
// every thread, the platform's own included, with WinMain's exit code.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WinMainCRTStartup(void)
{
    STARTUPINFOA startup;
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    int nShowCmd = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, SkipProgramName(GetCommandLineA()), nShowCmd));
}
