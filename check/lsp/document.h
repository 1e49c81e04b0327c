/*
 * One document the editor has open, as the language server checks it: the
 * bytes the program would read (the file on disc, or the editor's text in
 * the file's encoding), the checker's report on them, and the editor's
 * positions (lines and characters in UTF-16 or UTF-8 units) of its bytes.
 */
#ifndef QUORLAN_CHECK_LSP_DOCUMENT_H
#define QUORLAN_CHECK_LSP_DOCUMENT_H

#include "../engine/check.h"
#include "../editor/encoding.h" // how the file on disc is written, and so how the editor's text becomes bytes

#include <string>
#include <vector>

struct LspPosition {
    long line, character;
};

struct LspRange {
    LspPosition start, end;
};

// A place on a long line where a walk of its characters may start: a
// character's first byte, where it stands in the text when the bytes were
// made from it, and the editor's units before it on its line.
struct LspLineMark {
    long at, textAt, units;
};

struct LspDiagnostic {
    LspRange range;
    std::string message;
    LspRange noteRange;
    std::string note;             // "" for none
    std::string code;             // the warning's code ("" for the server's own)
    bool error;
    long offset;                  // the byte the warning points at
    bool hasFix;                  // a fix, proven only when a code action asks for it
    MenuFix fix;
};

struct LspDocument {
    std::string uri;
    std::string path;             // its file on this machine, or ""
    std::string text;             // the editor's text, UTF-8
    long long version;
    bool edited;                  // the text has changes the file has not
    int encoding;                 // FILE_*, as the file was at the last open or save
    // The file as read at the last open, save or change of settings, until checked.
    std::string discBytes;
    int discRead;                 // as ReadFileBytes yields
    long long discSize;
    // Where the checks stand.
    bool stale;                   // the text, the file or the settings changed since the last check
    bool fromDisc;                // the next check is of the file as read, not of the text
    bool published;               // the last check's diagnostics were sent
    // The last check.
    std::string bytes;            // what the program would read
    bool fromText;                // the bytes were made from the text
    bool checked;                 // the bytes were checked (not too large)
    std::vector<long> lineStarts; // where each of the editor's lines starts in the bytes
    std::vector<long> textLineStarts; // and in the text, when the bytes were made from it
    // Places on the long lines, in order, a few hundred bytes apart, so that
    // finding a position there walks from the mark before it, not from its
    // line's start; made in these units and this code page.
    std::vector<LspLineMark> lineMarks;
    bool marksUtf8;
    unsigned marksCodePage;
    CheckedMenu menu;
    CheckSettings check;          // what the checker was given
    std::vector<LspDiagnostic> diagnostics;
};

// The settings the client gives: what the checker takes, less the folder.
struct LspSettings {
    unsigned codePage;
    char drive;                   // 0: the document's drive, or D
    bool checkFiles;
    std::vector<std::string> ignore; // the codes whose warnings are left out
};

extern bool g_bUtf8Positions;     // positions count UTF-8 bytes, not UTF-16 units

/* document.cpp */
// Reads the document's file for its next check, and learns its encoding.
void ReadDocumentFile(LspDocument *doc);
// Whether the editor's text is the file as read, decoded as the checker
// decodes it: the mark left out, UTF-8 where the file is, else the code
// page, line ends as stored; true when no file was read.
bool IsTextOfFile(const LspDocument &doc, unsigned codePage);
// Checks the document, from the file as read or from its text.
void CheckDocument(LspDocument *doc, const LspSettings &settings, bool fromDisc);
LspPosition PositionOf(const LspDocument &doc, long offset);
// A range to show (a diagnostic's, a symbol's): at least one character.
LspRange RangeOfBytes(const LspDocument &doc, long start, long end);
// The range of an edit: exactly its bytes, so empty for an insertion. A
// widened one would replace the character after an insertion.
LspRange RangeOfEdit(const LspDocument &doc, long start, long end);
long OffsetOfPosition(const LspDocument &doc, const LspPosition &position);
const CheckedItem *FindItemAt(const std::vector<CheckedItem> &items, long offset);
CheckSettings SettingsForDocument(const LspDocument &doc, const LspSettings &settings);

struct LspTextEdit {
    LspRange range;
    std::string text;
};

/* formatting.cpp: the layout's edits of the whole document, or of the
   entries that range touches; yields "" or why it is not formatted. */
std::string FormatDocument(const LspDocument &doc, const CheckSettings &settings, const LspRange *range,
                           std::vector<LspTextEdit> *edits);

#endif
