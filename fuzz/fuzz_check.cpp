/*
 * Any bytes through the menu checker's loading, warnings and both reports;
 * or, for input that starts with "Content-Length", through the checker's
 * language server as the messages a client sends.
 * Besides not crashing or leaking: the checker still shows at least one
 * item, no deeper than the levels kept; every warning and every note
 * names a line of the file and a column of that line (its end included,
 * where a missing comma goes); and the JSON report is well formed (strings
 * closed, escapes and UTF-8 valid, brackets paired). Every fix the
 * checker gives has its edits inside the file, in order and apart; the
 * fixes kept, proven together where they can be, are those that, made
 * alone, read back without the warning at its place and with what they
 * recorded; making them all, round by round, leaves only errors that were
 * there before, each where it stood (mapped back through each round's
 * edits), and none that a fix of the first round mended; no edit splits
 * a CR LF pair, the mended file keeps its kind of line end, its last line
 * end and its byte-order mark (or its absence) unless a fix says it saves
 * the file in another encoding, a UTF-16 file is saved as UTF-8 before any
 * other fix, and a second run of all the fixes on it changes nothing. The server's
 * every answer is framed with its true length and is well-formed JSON;
 * where every message the client sends is framed and parses, each request
 * is answered once, with a result or an error. Each text the session
 * gives a document, as a document in each encoding that holds it and in
 * both position encodings: each quick fix's edits, made as an editor makes
 * them, are inside their lines and give the text the fix's own edits give
 * the bytes, decoded as the editor holds them; the fix-all's edits are
 * inside their lines and apart. At the session's end each document's
 * diagnostics are those a fresh session gives a didOpen of its text.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <ctype.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "../check/engine/check.h"
#include "../check/rules/checker.h"
#include "../check/mend/fix.h"
#include "../check/report/report.h"
#include "../check/lsp/actions.h"
#include "../check/lsp/lsp.h"
#include "../check/text/codepage.h"
#include "../menu/menu.h"

static void Fail(const char *what)
{
    fprintf(stderr, "checker invariant broken: %s\n", what);
    abort();
}

static int Depth(const std::vector<CheckedItem> &items)
{
    int depth = 0;
    for (const CheckedItem &item : items) depth = std::max(depth, 1 + Depth(item.children));
    return depth;
}

// Yields whether the text is JSON as far as its structure goes: strings
// with valid escapes, no raw control bytes and valid UTF-8 for the real
// characters (a code page's bytes above 127 are anything up to U+FFFF),
// and brackets that pair.
static bool IsWellFormedJson(const std::string &json)
{
    std::string open;
    for (size_t i = 0; i < json.size(); i++) {
        unsigned char c = json[i];
        if (c == '{' || c == '[') open += (char)c;
        else if (c == '}' || c == ']') {
            if (open.empty() || open.back() != (c == '}' ? '{' : '[')) return false;
            open.pop_back();
        } else if (c == '"') {
            for (i++;; i++) {
                if (i >= json.size()) return false;
                unsigned char s = json[i];
                if (s == '"') break;
                if (s < 0x20) return false;
                if (s == '\\') {
                    if (++i >= json.size()) return false;
                    if (json[i] == 'u') {
                        if (i + 4 >= json.size()) return false;
                        for (int k = 1; k <= 4; k++)
                            if (!isxdigit((unsigned char)json[i + k])) return false;
                        i += 4;
                    } else if (!strchr("\"\\/bfnrt", json[i])) {
                        return false;
                    }
                } else if (s >= 0x80) {
                    TextChar ch;
                    ReadTextChar(CP_UTF8, json.data() + i, (int)(json.size() - i), &ch);
                    if (!ch.defined) return false;
                    i += ch.byteCount - 1;
                }
            }
        } else if (c >= 0x80) {
            return false;
        }
    }
    return open.empty();
}

// Yields whether the file has that line (from 1; lines end at a line feed)
// and that byte column on it (from 1, up to one past its last byte).
static bool IsInFile(const std::string &bytes, long line, long column)
{
    size_t start = 0;
    for (long n = 1; n < line; n++) {
        start = bytes.find('\n', start);
        if (start == std::string::npos) return false;
        start++;
    }
    size_t end = std::min(bytes.find('\n', start), bytes.size());
    return line >= 1 && column >= 1 && column <= (long)(end - start) + 1;
}

// A message of the client's, as read here.
struct FramedMessage {
    json message;
    bool idUnknown;               // read with its surrogate escapes blanked, so a string id may be any string
    size_t start, end;            // its bytes, header included
};

// The body with each escape of a surrogate, paired or not, written as a
// space: what it says but for the characters of its strings.
static std::string BlankSurrogates(std::string body)
{
    for (size_t at = body.find('\\'); at != std::string::npos; at = body.find('\\', at + 2))
        if (at + 6 <= body.size() && body[at + 1] == 'u' && tolower((unsigned char)body[at + 2]) == 'd' &&
            strchr("89abcdefABCDEF", body[at + 3]))
            body.replace(at, 6, "\\u0020");
    return body;
}

// Takes the messages framed as "Content-Length: N" and an empty line, up
// to the first that is not framed so or does not parse; yields whether
// that is none, so that the messages are all the server reads.
static bool SplitMessages(const std::string &bytes, std::vector<FramedMessage> *messages)
{
    static const char header[] = "Content-Length: ";
    for (size_t at = 0; at < bytes.size();) {
        if (bytes.compare(at, strlen(header), header) != 0) return false;
        size_t digits = at + strlen(header), end = digits;
        while (end < bytes.size() && isdigit((unsigned char)bytes[end])) end++;
        if (end == digits || end - digits > 9 || bytes.compare(end, 4, "\r\n\r\n") != 0) return false;
        size_t length = strtoul(bytes.c_str() + digits, NULL, 10), body = end + 4;
        if (length > bytes.size() - body) return false;
        FramedMessage framed = {json::parse(bytes.substr(body, length), nullptr, false), false, at, body + length};
        if (framed.message.is_discarded()) {
            framed = {json::parse(BlankSurrogates(bytes.substr(body, length)), nullptr, false), true, at, body + length};
            if (framed.message.is_discarded()) return false;
        }
        messages->push_back(std::move(framed));
        at = body + length;
    }
    return true;
}

// Whether the answers are those owed: one for each request (or message
// without a method, result or error) that carries its id, up to the
// "exit" the server takes, which ends it unanswered. An id of a string
// read with its surrogate escapes blanked may be answered as any string.
static bool IsOwed(const std::vector<FramedMessage> &messages, std::map<std::string, int> answered)
{
    long anyString = 0;
    for (const FramedMessage &framed : messages) {
        const json &message = framed.message;
        const json *id = Find(&message, "id"), *method = Find(&message, "method"), *params = Find(&message, "params");
        bool usable = !params || params->is_null() || params->is_object() || params->is_array();
        if (IsText(method) && TextOf(method) == "exit" && usable) break;
        if (!id || !(id->is_string() || id->is_number())) continue;
        if (!IsText(method) && (Find(&message, "result") || Find(&message, "error"))) continue;
        if (framed.idUnknown && id->is_string()) anyString++;
        else if (answered[id->dump()]-- == 0) return false;
    }
    for (const auto &left : answered) {
        if (left.second == 0) continue;
        if (left.first[0] != '"' || (anyString -= left.second) < 0) return false;
    }
    return anyString == 0;
}

// The editor's index in the text of a position (lines end at LF, CR LF or
// a lone CR; characters count UTF-16 units, or UTF-8 bytes), or -1 for
// one past its line's end (so inside a CR LF pair) or inside a character.
static long IndexOfPosition(const std::string &text, const json *position, bool utf8)
{
    const json *lineValue = Find(position, "line"), *characterValue = Find(position, "character");
    // Not TakeCount: the actions' values, never written out, are signed.
    if (!lineValue || !lineValue->is_number_integer() || !characterValue || !characterValue->is_number_integer())
        return -1;
    long line = lineValue->get<long>(), character = characterValue->get<long>();
    if (line < 0 || character < 0) return -1;
    size_t at = 0;
    for (long n = 0; n < line; n++) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) return -1;
        at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    long units = 0;
    while (units < character) {
        if (at >= text.size() || text[at] == '\r' || text[at] == '\n') return -1;
        TextChar ch;
        ReadTextChar(CP_UTF8, text.data() + at, (int)(text.size() - at), &ch);
        units += utf8 ? ch.byteCount : ch.wideCount;
        at += ch.byteCount;
    }
    return units == character ? (long)at : -1;
}

// Makes a workspace edit's edits of the document as an editor makes them;
// false for a position not in the text, or edits that overlap.
static bool MakeEditorEdits(const LspDocument &doc, const json &action, bool utf8, std::string *text)
{
    const json *edits = Find(Find(Find(&action, "edit"), "changes"), doc.uri.c_str());
    if (!edits || !edits->is_array()) return false;
    struct Span {
        long start, end;
        std::string text;
    };
    std::vector<Span> spans;
    for (const json &edit : *edits) {
        const json *range = Find(&edit, "range"), *newText = Find(&edit, "newText");
        long start = IndexOfPosition(doc.text, Find(range, "start"), utf8);
        long end = IndexOfPosition(doc.text, Find(range, "end"), utf8);
        if (start < 0 || end < start || !IsText(newText)) return false;
        spans.push_back({start, end, TextOf(newText)});
    }
    // Edits at one place are made in the order sent.
    std::stable_sort(spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.start < b.start; });
    *text = doc.text;
    for (size_t i = spans.size(); i-- > 0;) {
        if (i + 1 < spans.size() && spans[i].end > spans[i + 1].start) return false;
        text->replace(spans[i].start, spans[i].end - spans[i].start, spans[i].text);
    }
    return true;
}

// Whether the bytes, decoded as the editor holds the document's, are the text.
static bool IsTextOfBytes(const LspDocument &doc, const std::string &bytes, const std::string &text)
{
    LspDocument file = LspDocument();
    file.discRead = 1;
    file.discBytes = bytes;
    file.encoding = doc.encoding;
    file.text = text;
    return IsTextOfFile(file, 1252);
}

// Each quick fix of the editor's text, as a document kept in UTF-8 with
// and without the mark and in code page 1252, in both position encodings.
static void CheckQuickFixes(const std::string &text)
{
    LspSettings settings = {1252, 0, false, {}};
    for (int encoding : {FILE_UNMARKED_UTF8, FILE_MARKED_UTF8, FILE_CODE_PAGE}) {
        for (bool utf8 : {false, true}) {
            g_bUtf8Positions = utf8; // the diagnostics' ranges are made in it
            LspDocument doc = LspDocument();
            doc.uri = "untitled:fuzz";
            doc.text = text;
            doc.version = 1;
            doc.encoding = encoding;
            doc.discRead = -1;
            CheckDocument(&doc, settings, false);
            // A character the code page cannot write leaves another text.
            if (!doc.checked || !IsTextOfBytes(doc, doc.bytes, text)) continue;
            for (const LspDiagnostic &d : doc.diagnostics) {
                if (!d.hasFix) continue;
                json given = {{"code", d.code}, {"range", RangeJson(d.range)}};
                json params = {{"textDocument", {{"uri", doc.uri}}}, {"range", RangeJson(d.range)},
                               {"context", {{"diagnostics", json::array({given})}, {"only", json::array({"quickfix"})}}}};
                for (const json &action : CodeActions(doc, &params, false)) {
                    std::string edited;
                    if (!MakeEditorEdits(doc, action, utf8, &edited))
                        Fail("a quick fix's edit past its line's end, inside a character or overlapping");
                    // The server takes the fix of the first diagnostic of that code on that line.
                    bool same = false;
                    for (const LspDiagnostic &o : doc.diagnostics)
                        same = same || (o.hasFix && o.code == d.code && o.range.start.line == d.range.start.line &&
                                        IsTextOfBytes(doc, ApplyFixEdits(doc.bytes, o.fix.edits), edited));
                    if (!same) Fail("a quick fix gives the editor another text than its edits give the bytes");
                }
            }
            json only = json::array({"source.fixAll.quorlan"});
            json params = {{"textDocument", {{"uri", doc.uri}}},
                           {"context", {{"diagnostics", json::array()}, {"only", only}}}};
            std::string edited;
            for (const json &action : CodeActions(doc, &params, false))
                if (!MakeEditorEdits(doc, action, utf8, &edited))
                    Fail("a fix-all edit past its line's end, inside a character or overlapping");
        }
    }
    g_bUtf8Positions = false;
}

// The texts the messages give documents: opened, or changed whole.
static std::vector<std::string> TextsOf(const std::vector<FramedMessage> &messages)
{
    std::vector<std::string> texts;
    for (const FramedMessage &framed : messages) {
        const json *params = Find(&framed.message, "params");
        const json *text = Find(Find(params, "textDocument"), "text");
        if (IsText(text)) texts.push_back(TextOf(text));
        const json *changes = Find(params, "contentChanges");
        if (changes && changes->is_array())
            for (const json &change : *changes)
                if (IsText(Find(&change, "text"))) texts.push_back(TextOf(Find(&change, "text")));
    }
    return texts;
}

// What a server session answers to the bytes as a client's messages.
static std::string ServeSession(const std::string &bytes)
{
    FILE *in = fmemopen((void *)bytes.data(), bytes.size(), "rb");
    char *written = NULL;
    size_t writtenSize = 0;
    FILE *out = open_memstream(&written, &writtenSize);
    ServeLanguageClient(in, out, "fuzz");
    if (in) fclose(in);
    fclose(out);
    std::string answers(written, writtenSize);
    free(written);
    return answers;
}

static std::string FrameMessage(const json &message)
{
    std::string body = message.dump(-1, ' ', false, json::error_handler_t::replace);
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The diagnostics last published for each document, from a session's
// answers (framed as the server frames them).
static std::map<std::string, json> LastDiagnostics(const std::string &answers)
{
    std::map<std::string, json> last;
    static const char header[] = "Content-Length: ";
    for (size_t at = answers.find(header); at != std::string::npos; at = answers.find(header, at + 1)) {
        size_t body = answers.find("\r\n\r\n", at);
        if (body == std::string::npos) break;
        json answer = json::parse(answers.substr(body + 4, strtoul(answers.c_str() + at + strlen(header), NULL, 10)),
                                  nullptr, false);
        const json *method = Find(&answer, "method"), *params = Find(&answer, "params");
        if (IsText(method) && TextOf(method) == "textDocument/publishDiagnostics" && IsText(Find(params, "uri")))
            last[TextOf(Find(params, "uri"))] = Find(params, "diagnostics") ? *Find(params, "diagnostics") : json();
    }
    return last;
}

// The documents open at the end of the messages and their texts, as the
// server takes the messages: none before "initialize", none past
// "shutdown" or "exit"; *served gets the bytes of the messages it
// follows, and *settings those of the session's settings (its initialize,
// initialized and changes of configuration). False where the session is
// not one to hold to a fresh one: a request cancelled, a notification
// read with its surrogate escapes blanked.
static bool FollowDocuments(const std::string &bytes, const std::vector<FramedMessage> &messages,
                            std::map<std::string, std::string> *texts, std::string *served, std::string *settings)
{
    bool initialized = false;
    size_t end = 0;
    for (const FramedMessage &framed : messages) {
        const json &message = framed.message;
        const json *id = Find(&message, "id"), *method = Find(&message, "method"), *params = Find(&message, "params");
        bool usable = message.is_object() && (!id || id->is_string() || id->is_number()) && IsText(method);
        if (usable && TextOf(method) == "$/cancelRequest") return false;
        if (params && params->is_null()) params = NULL;
        usable = usable && (!params || params->is_object() || params->is_array());
        if (usable && (TextOf(method) == "exit" || (initialized && id && TextOf(method) == "shutdown"))) break;
        end = framed.end;
        if (!usable) continue;
        const std::string &name = TextOf(method);
        if (name == "initialize" && id && !initialized) initialized = true;
        else if (!initialized || id) continue;
        if (name == "initialize" || name == "initialized" || name == "workspace/didChangeConfiguration")
            settings->append(bytes, framed.start, framed.end - framed.start);
        const json *item = Find(params, "textDocument"), *uri = Find(item, "uri");
        if (!IsText(uri)) continue;
        std::map<std::string, std::string>::iterator doc = texts->find(TextOf(uri));
        const json *text = Find(name == "textDocument/didOpen" ? item : params, "text");
        if (name == "textDocument/didOpen" && IsText(text)) {
            (*texts)[TextOf(uri)] = TextOf(text);
        } else if (doc == texts->end()) {
        } else if (name == "textDocument/didChange" && Find(params, "contentChanges") &&
                   Find(params, "contentChanges")->is_array()) {
            for (const json &change : *Find(params, "contentChanges"))
                if (IsText(Find(&change, "text")) && !Find(&change, "range")) doc->second = TextOf(Find(&change, "text"));
        } else if (name == "textDocument/didSave" && IsText(text)) {
            doc->second = TextOf(text);
        } else if (name == "textDocument/didClose") {
            texts->erase(doc);
        }
    }
    served->assign(bytes, 0, end);
    return initialized;
}

// Each document's diagnostics at the end of the session are those a fresh
// session, with the same settings, gives a didOpen of its last text: what
// the server kept between its checks (listings, proofs, queued changes,
// places on its lines) must not show. A document of a file on disc is
// left out, as its text is checked against the file's.
static void CheckFreshDiagnostics(const std::string &bytes, const std::vector<FramedMessage> &messages)
{
    std::map<std::string, std::string> texts;
    std::string served, fresh;
    if (!FollowDocuments(bytes, messages, &texts, &served, &fresh)) return;
    for (const auto &doc : texts)
        if (PathOfFileUri(doc.first).empty())
            fresh += FrameMessage({{"jsonrpc", "2.0"},
                                   {"method", "textDocument/didOpen"},
                                   {"params", {{"textDocument", {{"uri", doc.first}, {"languageId", "quorlan"},
                                                                 {"version", 1}, {"text", doc.second}}}}}});
    std::map<std::string, json> last = LastDiagnostics(ServeSession(served));
    std::map<std::string, json> opened = LastDiagnostics(ServeSession(fresh));
    for (const auto &doc : texts)
        if (PathOfFileUri(doc.first).empty() && last[doc.first] != opened[doc.first])
            Fail("a document's diagnostics after a session are not those of a fresh open of its text");
}

// Serves the bytes as a client's messages, and reads the answers back.
static void ServeMessages(const std::string &bytes)
{
    std::string answers = ServeSession(bytes);
    static const char header[] = "Content-Length: ";
    std::map<std::string, int> answered;
    for (size_t at = 0; at < answers.size();) {
        if (answers.compare(at, strlen(header), header) != 0) Fail("an answer without its header");
        char *end;
        unsigned long length = strtoul(answers.c_str() + at + strlen(header), &end, 10);
        if (strncmp(end, "\r\n\r\n", 4) != 0) Fail("an answer's header not ended by an empty line");
        size_t body = (size_t)(end + 4 - answers.c_str());
        if (length > answers.size() - body) Fail("an answer shorter than its Content-Length");
        if (!IsWellFormedJson(answers.substr(body, length))) Fail("an answer that is not well-formed JSON");
        json answer = json::parse(answers.substr(body, length), nullptr, false);
        const json *id = Find(&answer, "id");
        if (!Find(&answer, "method") && id && !id->is_null()) {
            if (!Find(&answer, "result") == !Find(&answer, "error"))
                Fail("an answer with both a result and an error, or neither");
            answered[id->dump()]++;
        }
        at = body + length;
    }

    std::vector<FramedMessage> messages;
    bool framed = SplitMessages(bytes, &messages);
    if (framed && !IsOwed(messages, answered))
        Fail("a request answered more than once, or not at all, or an answer to no request");
    std::vector<std::string> texts = TextsOf(messages);
    for (size_t i = 0; i < texts.size() && i < 4; i++) CheckQuickFixes(texts[i]);
    if (framed) CheckFreshDiagnostics(bytes, messages);
}

// The line ends of a text of one or two bytes a character (UTF-16 in the
// order given): how many of each kind, and whether it ends with one.
struct LineEnds {
    long crlf, lf, cr;
    bool last;
};

static LineEnds CountLineEnds(const std::string &bytes, size_t unit, bool bigEndian)
{
    LineEnds ends = {0, 0, 0, false};
    size_t count = bytes.size() / unit;
    auto at = [&](size_t i) {
        return unit == 1 ? (unsigned char)bytes[i]
                         : (unsigned char)bytes[2 * i + !bigEndian] << 8 | (unsigned char)bytes[2 * i + bigEndian];
    };
    for (size_t i = 0; i < count; i++) {
        if (at(i) == '\r' && i + 1 < count && at(i + 1) == '\n') ends.crlf++, i++;
        else if (at(i) == '\n') ends.lf++;
        else if (at(i) == '\r') ends.cr++;
    }
    ends.last = count > 0 && (at(count - 1) == '\n' || at(count - 1) == '\r');
    return ends;
}

static bool IsMarkedUtf8(const std::string &bytes) { return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0; }

// The mended bytes keep the mark, or its absence, unless a fix says it
// saves the file in another encoding (then they have it); and the line
// ends: a file of one kind gets no other, and a file that ends with one
// still does. A UTF-16 file saved as UTF-8 is held to its
// characters.
static void CheckLineEnds(const std::string &bytes, const std::string &mended, const std::vector<MenuWarning> &fixed)
{
    bool reencoded = false;
    for (const MenuWarning &w : fixed) reencoded = reencoded || w.fix.reencodes;
    if (reencoded ? !IsMarkedUtf8(mended) : IsMarkedUtf8(mended) != IsMarkedUtf8(bytes))
        Fail("the fixes added or removed the byte-order mark, and no fix says it saves the file so");
    bool utf16 = reencoded && (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0);
    LineEnds was = CountLineEnds(utf16 ? bytes.substr(2) : bytes, utf16 ? 2 : 1, bytes[0] == '\xFE');
    LineEnds is = CountLineEnds(mended, 1, false);
    if ((was.crlf > 0 && was.lf == 0 && is.lf > 0) || (was.lf > 0 && was.crlf == 0 && is.crlf > 0))
        Fail("the fixes wrote a line end of another kind than the file's");
    if (was.last && !is.last) Fail("the fixes lost the file's last line end");
}

// Makes every fix, round by round, and holds each error left against the
// errors found (warnings) where it stood before the rounds.
static void CheckFixedErrors(const std::string &bytes, const CheckSettings &settings,
                             const std::vector<MenuWarning> &warnings)
{
    std::vector<MenuWarning> fixed, left;
    std::vector<size_t> rounds;
    std::string mended = FixMenu(bytes, settings, true, &fixed, std::vector<std::string>(), &rounds);
    // Each round's bytes and edits, again from the fixes it made.
    std::vector<std::string> given(1, bytes);
    std::vector<std::vector<FixEdit>> edits;
    for (size_t round = 0, from = 0; round < rounds.size(); from = rounds[round++]) {
        edits.emplace_back();
        for (size_t i = from; i < rounds[round]; i++)
            edits.back().insert(edits.back().end(), fixed[i].fix.edits.begin(), fixed[i].fix.edits.end());
        std::sort(edits.back().begin(), edits.back().end(),
                  [](const FixEdit &a, const FixEdit &b) { return a.offset < b.offset; });
        const std::string &was = given.back();
        for (const FixEdit &edit : edits.back())
            for (long at : {edit.offset, edit.offset + edit.length})
                if (at > 0 && at < (long)was.size() && was[at - 1] == '\r' && was[at] == '\n')
                    Fail("a fix's edit splits a CR LF pair");
        given.push_back(ApplyFixEdits(given.back(), edits.back()));
        if (given.back() == given[given.size() - 2]) Fail("a round of fixes changed nothing");
    }
    if (given.back() != mended) Fail("the fixes' rounds do not give the mended bytes");
    // A UTF-16 file's bytes are not its text: the save as UTF-8 comes first.
    bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0;
    if (utf16 && !fixed.empty() && !fixed[0].fix.reencodes) Fail("a fix edited a UTF-16 file's bytes");
    CheckLineEnds(bytes, mended, fixed);
    // The rounds converge: the whole mend again finds nothing to make.
    std::vector<MenuWarning> again;
    if (FixMenu(mended, settings, true, &again, std::vector<std::string>()) != mended || !again.empty())
        Fail("a second --fix=all of the mended menu changed it");
    CheckedMenu after;
    CheckMenuBytes(mended, settings, &after, &left);
    for (const MenuWarning &error : left) {
        if (!error.error) continue;
        long place = error.offset;
        for (size_t round = edits.size(); round-- > 0;) place = PlaceBeforeEdits(given[round], edits[round], place);
        bool was = false;
        for (const MenuWarning &w : warnings) was = was || (w.error && w.code == error.code && w.offset == place);
        for (size_t i = 0; i < (rounds.empty() ? 0 : rounds[0]); i++)
            if (fixed[i].error && fixed[i].code == error.code && fixed[i].offset == place) was = false;
        if (!was) Fail("the fixes made an error, or moved one");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes((const char *)data, size);
    if (bytes.compare(0, 14, "Content-Length") == 0) {
        ServeMessages(bytes);
        return 0;
    }
    FILE *stream = fmemopen((void *)bytes.data(), bytes.size(), "rb");
    CheckedMenu menu;
    CheckSettings settings;
    // Half the inputs as machines whose ANSI code page is UTF-8 read them.
    settings.codePage = size % 2 ? CP_UTF8 : 1252;
    settings.drive = 'E';
    settings.checkFiles = false;
    std::vector<MenuWarning> warnings;
    CheckMenuStream(stream, bytes, settings, &menu, &warnings);
    fclose(stream);
    if (menu.items.empty()) Fail("no item shown");
    if (Depth(menu.items) > MAX_NESTING + 1) Fail("an item deeper than the levels kept");
    for (const MenuWarning &warning : warnings) {
        if (!IsInFile(bytes, warning.line, warning.column)) Fail("a warning outside the file");
        if (!IsInFile(bytes, warning.noteLine, warning.noteColumn)) Fail("a note outside the file");
    }

    std::vector<MenuWarning> given = warnings;
    KeepProvenFixes(bytes, settings, menu, &warnings);
    // The fixes the proofs had no readings left for, as their verdicts
    // say while the proofs are kept: those may be dropped though each
    // alone is proven.
    std::vector<bool> unafforded(warnings.size(), false);
    for (size_t i = 0; i < warnings.size(); i++) {
        std::string why;
        if (given[i].hasFix && !warnings[i].hasFix && !ProveFix(bytes, settings, given[i], &why))
            unafforded[i] = why.compare(0, 13, "left unproven") == 0;
    }
    // Right after the proofs, as --fix makes them, with the proofs kept.
    CheckFixedErrors(bytes, settings, warnings);
    for (size_t i = 0; i < warnings.size(); i++) {
        const MenuWarning &warning = warnings[i];
        if (!given[i].hasFix) continue;
        long end = 0;
        for (const FixEdit &edit : warning.fix.edits) {
            if (edit.offset < end || edit.length < 0 || edit.offset + edit.length > (long)size)
                Fail("a fix's edits outside the file, out of order or overlapping");
            end = edit.offset + edit.length;
        }
        // The fixes are proven together where they can be; each verdict
        // must be that of the fix made alone.
        std::string why;
        bool alone = ProveFixAlone(bytes, settings, given[i], &why);
        if (warning.hasFix && !alone) Fail("a fix kept that its own reading does not prove");
        if (!warning.hasFix && alone && !unafforded[i]) Fail("a fix dropped that its own reading proves");
    }

    if (!IsWellFormedJson(FormatMenuJson(menu, warnings))) Fail("the JSON report is not well formed");
    FormatMenuText(menu, warnings, "Quorlan.ini");
    return 0;
}
