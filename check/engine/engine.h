/*
 * The checker's engine, which the rule sets (../rules/) build on. It does
 * three things:
 *
 *   - positions: the file's line table, byte columns, and where a byte of a
 *     field's kept text stands in the file (positions.cpp);
 *   - the diagnostics: each warning with its note (diagnostics.cpp);
 *   - the follower: it takes the loading's reports through the menu hook
 *     and makes fields, entries and levels of them, and hands each to the
 *     rule sets it was given (follow.cpp).
 *
 * A rule set is one RuleSet: what it does at each step of the loading. It
 * knows the engine, the menu's text and its commands (quote.h, files.h),
 * and nothing of the other rule sets.
 */
#ifndef QUORLAN_CHECK_ENGINE_H
#define QUORLAN_CHECK_ENGINE_H

#include "check.h"

#include <string>
#include <vector>

// One field as the loading collected it, and what it held.
struct FieldScan {
    std::string text;             // the bytes kept, at most the field's limit, as converted
    std::string raw;              // the bytes as the file gives them, up to the same limit,
                                  // and the first byte past it
    std::vector<long> rawPos;     // where each of them stands (a folded space: where its run starts)
    std::vector<bool> fromDrive;  // for each byte up to MAX_FIELD: given by %:
    long length;                  // every byte the reader gave
    long firstPos;                // where the first of them stands, or -1
    long textEnd;                 // just after the last byte that is not a folded space, or -1
    bool leadingFold;             // the first is a folded run of white space
    long nulIndex, nulPos;        // the first zero byte, or -1
    long breakPos;                // the first folded run over a line feed with text after it, or -1
    long lastBreakPos;            // the last such run, or -1
    long pendingBreak;            // the last result so far is such a run
    bool converted;               // the text was converted from UTF-8 (a file with the mark)
    int token;                    // the token that ended the field
    long tokenPos;
};

/* positions.cpp */
void StartPositions(const std::string &bytes);
long LineOf(long pos);
long ColumnOf(long pos);
long ClampedPosition(long pos);
bool RunHoldsLineFeed(long pos);
std::string Shown(const FieldScan &field);
long PositionOf(const FieldScan &field, size_t index);
long PositionOfText(const FieldScan &field, size_t index);
bool IsWordApostrophe(long pos);

/* write_name.cpp: a disc's name as menu text that reads back as the name */
std::string WriteMenuFileName(const std::string &prefix, const std::string &name);

/* diagnostics.cpp */
// The file's warnings go to warnings; a file with the mark shows its
// fixes' text as it stands, and a UTF-16 file gets no fix but its save as
// UTF-8.
void StartDiagnostics(std::vector<MenuWarning> *warnings, const std::string &bytes);
void AddWarning(const char *code, long pos, const std::string &message, long notePos, const std::string &note);
void Warn(const char *code, long pos, const std::string &message, const std::string &note);
void FinishDiagnostics();
// An edit of the file for a fix: length bytes from offset replaced by text.
FixEdit Edit(long offset, long length, const std::string &text);
// Gives the warning added last its fix.
void FixWarning(const std::string &title, bool safe, const std::vector<FixEdit> &edits,
                const std::vector<std::string> &names = std::vector<std::string>(),
                const std::string &option = "", bool reencodes = false);

// What the follower knows of the menu so far, for the rule sets to read.
struct MenuFollowing {
    const std::string *bytes;     // the whole file
    const CheckSettings *settings;
    CheckedMenu *menu;            // the header's options as they take effect
    int lastValue;                // the reader's last result
    long lastPos;                 // where it stands
    bool inQuote;                 // the reader is inside a quoted stretch
    bool utf8File;                // the file starts with the UTF-8 mark
    long quoteOpenedAt;           // the apostrophe that opened the last quote
    bool bodyStarted;             // the loading has started the entry list
    bool bodyOpened;              // and a `{` opened it
    long headerEnd;               // just after the header's last byte that is not white space
    long headerBreak;             // the header's first line break with text after it, or -1
    long listClosedAt;            // the `}` that closed the entry list, or -1
    int joinedOpen;               // levels past the nesting kept that are open
    std::vector<long> openBraces; // each `{` not closed yet, kept or not
};

const MenuFollowing &Followed();

// What a rule set does at each step; any step may be null.
struct RuleSet {
    void (*start)();                                     // before the loading, the file's bytes known
    void (*takeReport)(const MenuReport &report);        // each report, as the hook gets it
    void (*takeField)(int kind, const FieldScan &field); // each field (MENU_TITLE ...), complete
    void (*takeEntry)(const FieldScan *fields, int count, bool inserted); // its fields, as far as read
    void (*takeLevel)(const MenuReport &report);         // MENU_LEVEL ... MENU_JOINED_END, followed
    void (*finish)();                                    // the loading done, and one more result read
};

/* load.cpp: the program's loading of the menu in stream (bytes is its whole
   content), followed by the rule sets given, and the dialog read back */
void FollowMenuLoading(FILE *stream, const std::string &bytes, const CheckSettings &settings, CheckedMenu *menu,
                       std::vector<MenuWarning> *warnings, const RuleSet *const *ruleSets, int count);

/* follow.cpp: for the checker's loading (load.cpp) */
void StartFollowingMenu(const std::string &bytes, const CheckSettings &settings, CheckedMenu *menu,
                        std::vector<MenuWarning> *warnings, const RuleSet *const *ruleSets, int count);
void FollowMenu(const MenuReport *report);
void FinishFollowingMenu(FILE *stream);

// The most bytes a field of the kind keeps (MENU_TITLE ...).
int FieldLimit(int kind);
std::string Number(long n);

#endif
