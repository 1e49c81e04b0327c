/*
 * The menu's words as the program's own loading reads them (followed by
 * the engine), for an editor's highlighting and links: what each stretch
 * of the file is (the title, an option, a name, a command's file part or
 * parameters, a description, `%:`, punctuation, or what the program does
 * not read), whether an escape or a quoted stretch made it, and where each
 * command stands with what its file part gives the shell.
 */
#ifndef QUORLAN_CHECK_WORDS_H
#define QUORLAN_CHECK_WORDS_H

#include "../engine/check.h"

#include <string>
#include <vector>

// What a stretch of the file is.
#define WORD_TITLE 0
#define WORD_OPTION 1       // an option in effect, or "size=" of one
#define WORD_NUMBER 2       // a size's width or height
#define WORD_NAME 3
#define WORD_FILE 4         // a command's file part
#define WORD_PARAMETER 5    // the rest of a command
#define WORD_DESCRIPTION 6
#define WORD_DRIVE 7        // `%:`
#define WORD_PUNCTUATION 8  // a `{`, `}` or `,` the reader gave, an apostrophe, the x of a size
#define WORD_IGNORED 9      // read and ignored (an option that is none), or never read
#define WORD_KINDS 10

// How the program came to read it so.
#define WORD_ESCAPED 1      // `%` and the byte it made text
#define WORD_QUOTED 2       // inside apostrophes
#define WORD_FLAGS 2        // the flags' bits

// What editors call the kinds and the flags' bits, in their order: the
// standard types and modifiers of semantic tokens, which themes colour
// without settings ("namespace" the title ... "comment" what is ignored;
// "modification" escaped, "readonly" quoted).
extern const char *const g_wordKindNames[WORD_KINDS];
extern const char *const g_wordFlagNames[WORD_FLAGS];

struct MenuWord {
    long start, end;        // bytes of the file, the end exclusive
    int kind, flags;
};

// A command as the follower saw it: its text as kept, which bytes `%:`
// gave, and where it and its file part stand.
struct MenuCommandAt {
    std::string text;
    std::vector<bool> fromDrive;
    long start, end, fileStart, fileEnd;
};

struct MenuWords {
    std::vector<MenuWord> words;  // in the file's order, none overlapping
    std::vector<MenuCommandAt> commands;
};

// Loads the bytes as the checker does and yields their words.
bool FindMenuWords(const std::string &bytes, const CheckSettings &settings, MenuWords *words);

#endif
