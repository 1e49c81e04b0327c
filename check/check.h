/*
 * quorlan-check: shows what the program makes of a menu file, and where the
 * file probably does not say what its author meant.
 *
 * Nothing here reads the menu format by itself. The program's own loading
 * (ReadMenuStream) fills the window substitute's dialog, which is read back
 * for the result, and tells its hook what it reads as it goes: every byte
 * and token with where it stands, every field, entry and level. The
 * warnings and the header's options come from those reports.
 */
#ifndef QUORLAN_CHECK_H
#define QUORLAN_CHECK_H

#include <stdio.h>

#include "../launch/launch.h"
#include "../menu/menu.h"

#include <string>
#include <vector>

// One tree item as the program shows it, in the tree's order.
struct CheckedItem {
    std::string text;             // the item's text in the tree
    bool hasRecord;               // false for the fallback item "Explore CD"
    std::string name, command, description;
    bool launches;                // Run would call the shell (the command is not empty)
    std::string file;             // what the shell would be given
    bool hasParameters;
    std::string parameters;
    bool hasDirectory;
    std::string directory;
    std::vector<CheckedItem> children;
};

// The dialog after the menu is loaded.
struct CheckedMenu {
    std::string caption;
    bool hasSize;                 // a size= option resized the window
    int width, height;            // its outer size then, in pixels
    bool sorted, install;
    std::vector<CheckedItem> items;
};

// A warning points where the author types the mend; its note says how, and
// usually points at the same place. Lines count from 1 and end at a line
// feed (so a CR LF pair is one break); columns count bytes from 1.
struct MenuWarning {
    long offset;                  // the byte the warning points at
    long line, column;
    std::string message;
    long noteLine, noteColumn;    // where the note points
    std::string note;
};

struct CheckSettings {
    unsigned codePage;            // the ANSI code page of the disc's users
    char drive;                   // what %: gives
    bool checkFiles;              // look for the files that commands name
    std::string menuFolder;       // where they are looked for ("" for the current folder)
};

/* load.cpp: bytes is the whole content of stream */
void UsePlatformText(unsigned codePage);
void CheckMenuStream(FILE *stream, const std::string &bytes, const CheckSettings &settings,
                     CheckedMenu *menu, std::vector<MenuWarning> *warnings);

// One field as the loading collected it, and what it held.
struct FieldScan {
    std::string text;             // the bytes kept, at most the field's limit, as converted
    std::string raw;              // the bytes as the file gives them, up to the same limit
    std::vector<long> rawPos;     // where each of them stands (a folded space: where its run starts),
                                  // and the first byte past the limit
    std::vector<bool> fromDrive;  // for each byte up to MAX_FIELD: given by %:
    long length;                  // every byte the reader gave
    long firstPos;                // where the first of them stands, or -1
    long textEnd;                 // just after the last byte that is not a folded space, or -1
    bool leadingFold;             // the first is a folded run of white space
    long nulIndex, nulPos;        // the first zero byte, or -1
    long breakPos;                // the first folded run over a line feed with text after it, or -1
    long lastBreakPos;            // the last such run, or -1
    long pendingBreak;            // the last result so far is such a run
    int token;                    // the token that ended the field
    long tokenPos;
};

/* warnings.cpp: follows the loading through the menu hook */
void StartFollowingMenu(const std::string &bytes, const CheckSettings &settings, CheckedMenu *menu,
                        std::vector<MenuWarning> *warnings);
void FollowMenu(int event, int value, long offset, const char *text);
void FinishFollowingMenu(FILE *stream);
void AddWarning(long pos, const std::string &message, long notePos, const std::string &note);
long LineOf(long pos);
std::string Shown(const FieldScan &field);
long PositionOfText(const FieldScan &field, size_t index);

/* mistakes.cpp: what authors mistype in plain text, from the same reports */
void StartCheckingMistakes(const std::string &bytes, const CheckSettings &settings);
void FollowQuoteForMistakes(int opened, long offset);
void FollowResultForMistakes(int value, long offset, int event);
void CheckFieldForMistakes(int kind, const FieldScan &field);
void CheckEntryForMistakes(const FieldScan *fields, int count, long headerEnd);

/* encoding.cpp: each yields "" or a message, with where it points and a note */
bool IsUtf8Text(const std::string &bytes);
std::string FindUnmarkedUtf8(const std::string &raw, unsigned codePage, long *at, std::string *note);
std::string FindUnshownChar(const std::string &raw, const std::string &shown, unsigned codePage, long *at,
                            std::string *note);
std::string FindOtherByteOrderMark(const std::string &bytes, long *at, std::string *note);

/* files.cpp */
void SplitMenuCommand(const std::string &command, char (&text)[COMMAND_BUFFER], CommandParts *parts);
std::string FindCommandFileProblem(const std::string &command, const std::vector<bool> &fromDrive,
                                   const CheckSettings &settings, std::string *note);
bool IsFileOnDisc(const std::string &file, const std::vector<bool> &fromDrive, const CheckSettings &settings);
bool HasFileExtension(const std::string &word);
bool LooksLikeFileToStart(const std::string &word);

/* output.cpp */
void SetShownCodePage(unsigned codePage);
std::string ShowText(const std::string &bytes);
std::string QuoteText(const std::string &bytes);
std::string QuoteUtf8(const std::string &bytes);
std::string QuoteJson(const std::string &utf8);
std::string FormatMenuJson(const CheckedMenu &menu, const std::vector<MenuWarning> &warnings);
std::string FormatMenuText(const CheckedMenu &menu, const std::vector<MenuWarning> &warnings,
                           const std::string &fileName);

#endif
