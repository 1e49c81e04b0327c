/*
 * A document as the program would read it, and the checker's report on it
 * in the editor's positions.
 *
 * The editor holds text; the program reads bytes. On open and on save the
 * bytes are the file's on disc, as quorlan-check reads them. For unsaved
 * changes they are the text written as the file on disc is written: after
 * a UTF-8 byte-order mark, in UTF-8 without one, or in the users' code
 * page, where a character the code page cannot hold is a diagnostic of its
 * own. A file of ASCII only (or none yet) counts as UTF-8 without the mark,
 * as editors save new text so.
 *
 * Positions: the editor counts lines ended by LF, CR LF or a lone CR, and
 * characters in UTF-16 units (or UTF-8 bytes, when agreed), after the
 * byte-order mark. Each line of the bytes is read in the file's encoding;
 * bytes made from the text are walked beside the text, so that a character
 * written as the code page's default still counts as the editor's.
 */
#include "document.h"
#include "../engine/bytes_stream.h"
#include "../engine/quote.h"
#include "../mend/fix.h"
#include "../rules/checker.h"
#include "lsp.h"

#include "../text/codepage.h"

#include <string.h>

#include <algorithm>

bool g_bUtf8Positions;

// At most this many diagnostics for characters the code page cannot hold.
static const int MAX_UNENCODABLE = 100;

static const char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";

static bool IsMarked(const std::string &bytes) { return bytes.compare(0, 3, BYTE_ORDER_MARK) == 0; }

// Where each line starts, lines ending as the editor ends them.
static std::vector<long> FindLineStarts(const std::string &bytes)
{
    std::vector<long> starts(1, 0);
    for (size_t i = 0; i < bytes.size(); i++)
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
            starts.push_back((long)i + 1);
    return starts;
}

// The units a character takes in the editor's positions.
static long UnitsOf(const TextChar &ch)
{
    if (!g_bUtf8Positions) return ch.wideCount;
    if (ch.wideCount == 2) return 4;
    return ch.wide[0] < 0x80 ? 1 : ch.wide[0] < 0x800 ? 2 : 3;
}

static unsigned s_codePage; // the users' code page, for the last check

static unsigned ReadingCodePage(const LspDocument &doc) { return FindTextCodePage(doc.encoding, s_codePage); }

// Walks the characters of one of the editor's lines (its break included),
// from its start or from a mark on it, calling step(place, bytes, units)
// for each, place being where it starts and the units before it, until
// step yields false; yields the place it stopped at, or where the line ends.
template <class Step>
static LspLineMark WalkLine(const LspDocument &doc, long line, const LspLineMark *from, Step step)
{
    const std::string &bytes = doc.bytes;
    long end = line + 1 < (long)doc.lineStarts.size() ? doc.lineStarts[line + 1] : (long)bytes.size();
    LspLineMark place = {doc.lineStarts[line], 0, 0};
    if (line == 0 && IsMarked(bytes)) place.at = std::min(3L, end);
    TextChar ch;
    if (doc.fromText && doc.encoding == FILE_CODE_PAGE) {
        const std::string &text = doc.text;
        place.textAt = doc.textLineStarts[line];
        if (from) place = *from;
        while (place.at < end && (size_t)place.textAt < text.size()) {
            size_t t = (size_t)place.textAt;
            ReadTextChar(CP_UTF8, text.data() + t, (int)(text.size() - t), &ch);
            char written[8];
            int count = (unsigned char)text[t] < 0x80 ? 1
                        : EncodeText(s_codePage, ch.wide, ch.wideCount, written, sizeof(written), NULL);
            long units = UnitsOf(ch);
            if (!step(place, count, units)) return place;
            place.at += std::max(count, 1);
            place.textAt += ch.byteCount;
            place.units += units;
        }
        place.at = std::min(place.at, end);
        return place;
    }
    if (from) place = *from;
    unsigned codePage = ReadingCodePage(doc);
    while (place.at < end) {
        ReadTextChar(codePage, bytes.data() + place.at, (int)(end - place.at), &ch);
        long units = UnitsOf(ch);
        if (!step(place, ch.byteCount, units)) return place;
        place.at += ch.byteCount;
        place.units += units;
    }
    place.at = end;
    return place;
}

// A line at least this long gets marks, this far apart at least: on a menu
// written on one line of a megabyte, each position walked from the line's
// start made a request of its folds or its tokens take minutes.
#define LONG_LINE_BYTES 4096
#define LINE_MARK_SPACING 256

// Marks the document's long lines, before the first line break on each.
static void MarkLongLines(LspDocument *doc)
{
    doc->lineMarks.clear();
    doc->marksUtf8 = g_bUtf8Positions;
    doc->marksCodePage = s_codePage;
    for (size_t line = 0; line < doc->lineStarts.size(); line++) {
        long start = doc->lineStarts[line];
        long end = line + 1 < doc->lineStarts.size() ? doc->lineStarts[line + 1] : (long)doc->bytes.size();
        if (end - start < LONG_LINE_BYTES) continue;
        long next = start + LINE_MARK_SPACING;
        WalkLine(*doc, (long)line, NULL, [&](const LspLineMark &place, int, long) {
            char c = doc->bytes[place.at];
            if (c == '\r' || c == '\n') return false;
            if (place.at >= next) {
                doc->lineMarks.push_back(place);
                next = place.at + LINE_MARK_SPACING;
            }
            return true;
        });
    }
}

// The line's marks, from *first up to *last; none where they were made in
// other units or another code page than the walk's now.
static void FindLineMarks(const LspDocument &doc, long line, const LspLineMark **first, const LspLineMark **last)
{
    *first = *last = NULL;
    if (doc.lineMarks.empty() || doc.marksUtf8 != g_bUtf8Positions || doc.marksCodePage != s_codePage) return;
    long start = doc.lineStarts[line];
    long end = line + 1 < (long)doc.lineStarts.size() ? doc.lineStarts[line + 1] : (long)doc.bytes.size();
    auto before = [](const LspLineMark &mark, long at) { return mark.at < at; };
    const LspLineMark *marks = doc.lineMarks.data(), *marksEnd = marks + doc.lineMarks.size();
    *first = std::lower_bound(marks, marksEnd, start, before);
    *last = std::lower_bound(*first, marksEnd, end, before);
}

LspPosition PositionOf(const LspDocument &doc, long offset)
{
    offset = std::max(0L, std::min(offset, (long)doc.bytes.size()));
    LspPosition position;
    position.line = (long)(std::upper_bound(doc.lineStarts.begin(), doc.lineStarts.end(), offset) -
                           doc.lineStarts.begin()) - 1;
    // From the last mark at or before the offset: the walk from the line's
    // start passes it with those units.
    const LspLineMark *first, *last;
    FindLineMarks(doc, position.line, &first, &last);
    const LspLineMark *from =
        first ? std::upper_bound(first, last, offset, [](long at, const LspLineMark &mark) { return at < mark.at; })
              : NULL;
    from = from && from > first ? from - 1 : NULL;
    position.character = WalkLine(doc, position.line, from, [&](const LspLineMark &place, int count, long) {
                             return place.at + count <= offset;
                         }).units;
    return position;
}

LspRange RangeOfEdit(const LspDocument &doc, long start, long end)
{
    return {PositionOf(doc, start), PositionOf(doc, std::max(start, end))};
}

// The range from the character at start to the one at end, at least one
// character long, so that an editor shows it.
LspRange RangeOfBytes(const LspDocument &doc, long start, long end)
{
    LspRange range = RangeOfEdit(doc, start, end);
    if (range.end.line == range.start.line && range.end.character <= range.start.character)
        range.end.character = range.start.character + 1;
    return range;
}

long OffsetOfPosition(const LspDocument &doc, const LspPosition &position)
{
    if (position.line >= (long)doc.lineStarts.size()) return (long)doc.bytes.size();
    long line = std::max(0L, position.line);
    // From the last mark with fewer units: the walk from the line's start
    // passes it, as no line break stands before a mark.
    const LspLineMark *first, *last;
    FindLineMarks(doc, line, &first, &last);
    const LspLineMark *from =
        first ? std::partition_point(first, last, [&](const LspLineMark &mark) { return mark.units < position.character; })
              : NULL;
    from = from && from > first ? from - 1 : NULL;
    return WalkLine(doc, line, from, [&](const LspLineMark &place, int, long) {
               char c = doc.bytes[place.at];
               return place.units < position.character && c != '\r' && c != '\n';
           }).at;
}

// Whether a byte belongs to a word: not white space, and none of the
// menu's separators.
static bool IsWordByte(char c)
{
    return !strchr(" \t\r\n\v\f,{}'", c) || c == '\0';
}

// Just past the word that starts at offset (a `%` takes the byte after it
// into the word), or past the one character there when no word starts. A
// word longer than a field is cut there: the editor only needs its start.
static long WordEnd(const LspDocument &doc, long offset)
{
    const std::string &bytes = doc.bytes;
    long size = std::min((long)bytes.size(), offset + MAX_FIELD), end = offset;
    while (end < size && IsWordByte(bytes[end]))
        end += bytes[end] == '%' && end + 1 < size && bytes[end + 1] != '\r' && bytes[end + 1] != '\n' ? 2 : 1;
    if (end > offset || offset >= size) return end;
    if (bytes[offset] == '\r') return offset + 1;
    TextChar ch;
    ReadTextChar(ReadingCodePage(doc), bytes.data() + offset, (int)(size - offset), &ch);
    return offset + ch.byteCount;
}

static LspRange RangeOfWord(const LspDocument &doc, long offset) { return RangeOfBytes(doc, offset, WordEnd(doc, offset)); }

// The offset of a checker's line and byte column (lines end at a line
// feed; on the first, columns count from after a byte-order mark).
static long OffsetOfColumn(const LspDocument &doc, long line, long column)
{
    long start = 0;
    for (long n = 1; n < line; n++) {
        size_t feed = doc.bytes.find('\n', (size_t)start);
        if (feed == std::string::npos) break;
        start = (long)feed + 1;
    }
    if (line == 1 && IsMarked(doc.bytes)) start = 3;
    return start + column - 1;
}

static void AddDiagnostic(LspDocument *doc, const LspRange &range, const std::string &message,
                          const LspRange &noteRange, const std::string &note)
{
    LspDiagnostic diagnostic;
    diagnostic.range = range;
    diagnostic.message = message;
    diagnostic.noteRange = noteRange;
    diagnostic.note = note;
    diagnostic.error = diagnostic.hasFix = false;
    doc->diagnostics.push_back(diagnostic);
}

// Writes the text in the code page, with a diagnostic for each character
// (up to a limit) the code page cannot hold.
static void EncodeInCodePage(LspDocument *doc)
{
    const std::string &text = doc->text;
    std::string &bytes = doc->bytes;
    bytes.clear();
    bytes.reserve(text.size());
    LspPosition at = {0, 0};
    int unencodable = 0;
    for (size_t t = 0; t < text.size();) {
        unsigned char c = (unsigned char)text[t];
        if (c < 0x80) {
            bytes += (char)c;
            t++;
            bool lineEnds = c == '\n' || (c == '\r' && (t == text.size() || text[t] != '\n'));
            at.character = lineEnds ? 0 : at.character + 1;
            at.line += lineEnds;
            continue;
        }
        TextChar ch;
        ReadTextChar(CP_UTF8, text.data() + t, (int)(text.size() - t), &ch);
        char written[8];
        bool usedDefault = false;
        int count = EncodeText(s_codePage, ch.wide, ch.wideCount, written, sizeof(written), &usedDefault);
        bytes.append(written, std::max(count, 0));
        long units = UnitsOf(ch);
        if (usedDefault && unencodable++ < MAX_UNENCODABLE) {
            LspRange range = {at, {at.line, at.character + units}};
            AddDiagnostic(doc, range,
                          QuoteUtf8(text.substr(t, ch.byteCount)) + " cannot be written in code page " +
                              std::to_string(s_codePage) + ", the encoding of the file on disc",
                          range,
                          "write the text without it, or save the file as UTF-8 with a byte-order mark "
                          "(\"UTF-8 with BOM\")");
        }
        at.character += units;
        t += ch.byteCount;
    }
}

void ReadDocumentFile(LspDocument *doc)
{
    doc->discRead = ReadFileBytes(doc->path, LSP_MAX_FILE, &doc->discBytes, &doc->discSize);
    if (doc->discRead == 1) doc->encoding = FindFileEncoding(doc->discBytes);
}

bool IsTextOfFile(const LspDocument &doc, unsigned codePage)
{
    if (doc.discRead != 1) return true;
    const std::string &bytes = doc.discBytes;
    size_t at = IsMarked(bytes) ? 3 : 0;
    if (doc.encoding != FILE_CODE_PAGE) return doc.text.compare(0, std::string::npos, bytes, at, std::string::npos) == 0;
    size_t t = 0;
    while (at < bytes.size()) {
        TextChar ch;
        ReadTextChar(codePage, bytes.data() + at, (int)(bytes.size() - at), &ch);
        char utf8[8];
        int count = EncodeText(CP_UTF8, ch.wide, ch.wideCount, utf8, sizeof(utf8), NULL);
        if (count <= 0 || doc.text.compare(t, (size_t)count, utf8, (size_t)count) != 0) return false;
        t += (size_t)count;
        at += (size_t)ch.byteCount;
    }
    return t == doc.text.size();
}

// The bytes the program would read: the file's as read, or the text
// written as the file is. Yields the size they have, or would have (too
// large: none).
static long long TakeBytes(LspDocument *doc, bool fromDisc)
{
    int read = fromDisc ? doc->discRead : -1;
    doc->fromText = read < 0;
    if (read >= 0) {
        doc->bytes.swap(doc->discBytes);
        doc->discBytes.clear();
        doc->edited = false;
        return doc->discSize;
    }
    doc->discBytes.clear();
    if (doc->encoding == FILE_CODE_PAGE) {
        EncodeInCodePage(doc);
        doc->textLineStarts = FindLineStarts(doc->text);
    } else {
        doc->bytes = (doc->encoding == FILE_MARKED_UTF8 ? BYTE_ORDER_MARK : "") + doc->text;
    }
    return (long long)doc->bytes.size();
}

static void AddWarnings(LspDocument *doc, const std::vector<MenuWarning> &warnings)
{
    for (const MenuWarning &warning : warnings) {
        long noteOffset = warning.noteLine == warning.line && warning.noteColumn == warning.column
                              ? warning.offset
                              : OffsetOfColumn(*doc, warning.noteLine, warning.noteColumn);
        AddDiagnostic(doc, RangeOfWord(*doc, warning.offset), warning.message, RangeOfWord(*doc, noteOffset),
                      warning.note);
        LspDiagnostic &added = doc->diagnostics.back();
        added.code = warning.code;
        added.offset = warning.offset;
        added.error = warning.error;
        // The editor's encoding is its own: that fix is the note's to tell.
        added.hasFix = warning.hasFix && !warning.fix.reencodes;
        added.fix = warning.fix;
    }
}

// What the checker is given for the document.
CheckSettings SettingsForDocument(const LspDocument &doc, const LspSettings &settings)
{
    CheckSettings check;
    check.codePage = settings.codePage;
    check.drive = settings.drive ? settings.drive : DriveOfPath(doc.path) ? DriveOfPath(doc.path) : 'D';
    check.checkFiles = settings.checkFiles && !doc.path.empty();
    check.menuFolder = doc.path.empty() ? "" : FolderForChecker(doc.path);
    return check;
}

// Checks the document, from its file as read or from its text, and puts
// the diagnostics in the editor's positions.
void CheckDocument(LspDocument *doc, const LspSettings &settings, bool fromDisc)
{
    s_codePage = settings.codePage;
    doc->diagnostics.clear();
    doc->textLineStarts.clear();
    doc->lineMarks.clear();
    doc->menu = CheckedMenu();
    long long size = TakeBytes(doc, fromDisc);
    doc->checked = size <= LSP_MAX_FILE;
    if (!doc->checked) {
        doc->diagnostics.clear();
        doc->bytes.clear();
        doc->fromText = false;
        doc->lineStarts.assign(1, 0);
        LspRange start = RangeOfBytes(*doc, 0, 0);
        AddDiagnostic(doc, start,
                      "the file is " + std::to_string(size) + " bytes long, more than " +
                          std::to_string(LSP_MAX_FILE / 1024 / 1024) + " MiB: too large to check",
                      start, "");
        return;
    }
    doc->lineStarts = FindLineStarts(doc->bytes);
    MarkLongLines(doc);

    CheckSettings check = SettingsForDocument(*doc, settings);
    FILE *stream = OpenBytesStream(doc->bytes);
    if (!stream) {
        LspRange start = RangeOfBytes(*doc, 0, 0);
        AddDiagnostic(doc, start, "the checker found no room for a copy of the file to read", start, "");
        return;
    }
    std::vector<MenuWarning> warnings;
    CheckMenuStream(stream, doc->bytes, check, &doc->menu, &warnings);
    fclose(stream);
    // The fixes are proven together, as a check of the command line proves
    // them, for about one reading more; a code action finds their verdicts
    // kept, for as long as no other check starts.
    KeepProvenFixes(doc->bytes, check, doc->menu, &warnings);
    LeaveOutWarnings(settings.ignore, &warnings);
    doc->check = check;
    AddWarnings(doc, warnings);
}

// Yields the innermost item whose entry's own text holds the offset, or null.
const CheckedItem *FindItemAt(const std::vector<CheckedItem> &items, long offset)
{
    for (const CheckedItem &item : items) {
        if (item.start >= 0 && offset >= item.start && offset <= item.end) return &item;
        if (const CheckedItem *inner = FindItemAt(item.children, offset)) return inner;
    }
    return NULL;
}
