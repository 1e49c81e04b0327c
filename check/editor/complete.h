/*
 * What can be typed where the cursor stands in a menu, for an editor's
 * completion: the header's options after a comma, and in a command's file
 * part the folders and files of the disc, each written so that the
 * program reads it back as that name. Where the cursor stands is what the
 * program's own loading of the menu up to there says; each name offered
 * is proven by the loading of a menu that holds it.
 */
#ifndef QUORLAN_CHECK_COMPLETE_H
#define QUORLAN_CHECK_COMPLETE_H

#include "../engine/check.h"

#include <string>
#include <vector>

// Where the cursor stands.
#define CURSOR_ELSEWHERE 0
#define CURSOR_OPTION 1   // in an option of the header, after its comma
#define CURSOR_FILE 2     // in a command's file part

struct MenuCursor {
    int place;                    // CURSOR_*
    long start;                   // the first byte typed there so far (the cursor, when none)
    std::string typed;            // that text as the program reads it, in the users' code page
    std::vector<bool> fromDrive;  // for each byte of it: given by `%:`
};

// Reads the menu's bytes up to pos as the program would and yields where
// pos stands. Text in quotes (apostrophes) is elsewhere: what is typed
// there reads differently.
void FindMenuCursor(const std::string &bytes, long pos, const CheckSettings &settings, MenuCursor *cursor);

// What may be typed from the cursor's start to the cursor.
struct MenuCompletion {
    std::string label;            // what the list shows
    std::string text;             // what replaces the typed text, in UTF-8
    bool folder;                  // a folder of the disc (completion goes on in it)
    bool option;                  // an option of the header
    std::string documentation;    // Markdown
};

// The header's options; install says whether the menu has the install
// option, which changes the smallest size that shows every control.
void CompleteOption(const MenuCursor &cursor, bool install, std::vector<MenuCompletion> *completions);

// How the menu's bytes are written, for the text completion puts in them.
struct MenuEncoding {
    bool marked;                  // UTF-8 after a byte-order mark
    unsigned textCodePage;        // what the editor's text is written in: 65001, or the users' code page
};

// The disc's names that may follow what is typed in a file part, at most
// limit of them (*cut says whether there were more): each written by the
// name writing, and proven by the program's loading of a menu with that
// command, in the file's encoding: the shell gets that file, and the
// file check finds it on the disc.
void CompleteFilePart(const MenuCursor &cursor, const CheckSettings &settings, const MenuEncoding &encoding,
                      size_t limit, std::vector<MenuCompletion> *completions, bool *cut);

// The most names offered at once; beyond it, those that start as typed,
// and the list is marked incomplete so that the editor asks again.
#define MAX_COMPLETIONS 500

// What may be typed at pos in a menu whose file is written in encoding
// (FILE_*, encoding.h): the header's options (install: the menu has the
// install option), and where the menu has a disc around it (disc) the
// names of a file part, at most MAX_COMPLETIONS (*cut: there were more).
// *cursor says where they go.
void CompleteMenuAt(const std::string &bytes, long pos, const CheckSettings &settings, int encoding, bool install,
                    bool disc, MenuCursor *cursor, std::vector<MenuCompletion> *completions, bool *cut);

// The completion's kind as editors number them: 14 an option (a keyword),
// 19 a folder, 17 a file.
int FindCompletionKind(const MenuCompletion &completion);

#endif
