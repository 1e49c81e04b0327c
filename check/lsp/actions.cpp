/*
 * Code actions: the fixes the checker proved on the document's last check,
 * found again from the diagnostics the request's context carries (their
 * code and range), not taken from the client's copy of them. An edit's
 * byte range becomes the editor's range through the same conversion as the
 * diagnostics' positions, but exactly (an insertion is an empty range),
 * and its text is the Unicode the file's encoding decodes, as the editor
 * holds the text.
 */
#include "actions.h"
#include "../mend/fix.h"

using json = nlohmann::json;

static const char FIX_ALL[] = "source.fixAll.quorlan";

// Whether the diagnostic's fix gives, in the program's own reading of the
// document's bytes, what it recorded.
static bool IsProven(const LspDocument &doc, const LspDiagnostic &d)
{
    if (!d.hasFix) return false;
    MenuWarning warning;
    warning.code = d.code;
    warning.error = d.error;
    warning.offset = d.offset;
    warning.hasFix = true;
    warning.fix = d.fix;
    std::string why;
    return ProveFix(doc.bytes, doc.check, warning, &why);
}

static const json *Member(const json *object, const char *key)
{
    if (!object || !object->is_object()) return NULL;
    auto found = object->find(key);
    return found == object->end() ? NULL : &*found;
}

// Whether the request's "only" asks for actions of the kind: a kind
// includes those below it ("source" takes "source.fixAll.quorlan").
static bool IsAsked(const json *only, const std::string &kind)
{
    if (!only || !only->is_array()) return true;
    for (const json &asked : *only) {
        if (!asked.is_string()) continue;
        const std::string &prefix = asked.get_ref<const std::string &>();
        if (kind == prefix || kind.compare(0, prefix.size() + 1, prefix + ".") == 0) return true;
    }
    return false;
}

// The edits as a workspace edit of the document, for its version when the
// client takes that.
static json WorkspaceEdit(const LspDocument &doc, const std::vector<FixEdit> &edits, bool documentChanges)
{
    json textEdits = json::array();
    for (const FixEdit &edit : edits)
        textEdits.push_back({{"range", RangeJson(RangeOfEdit(doc, edit.offset, edit.offset + edit.length))},
                             {"newText", edit.shown}});
    if (!documentChanges) return {{"changes", {{doc.uri, textEdits}}}};
    json version = doc.version >= 0 ? json(doc.version) : json(nullptr);
    return {{"documentChanges", json::array({{{"textDocument", {{"uri", doc.uri}, {"version", version}}},
                                              {"edits", textEdits}}})}};
}

static bool IsLine(const json *position, long line)
{
    const json *number = Member(position, "line");
    return number && number->is_number_integer() && number->get<long>() == line;
}

// Whether the client's diagnostic is ours: the same code, and, as far as
// the client kept them, the same lines and the same fix. Clients keep
// what they please of a diagnostic (Neovim 0.7 drops its range), and map
// columns their own way; the request's range stands in for a lost one.
static bool IsOurs(const json &given, const json *requestRange, const LspDiagnostic &d)
{
    const json *code = Member(&given, "code");
    if (!code || !code->is_string() || code->get_ref<const std::string &>() != d.code) return false;
    const json *range = Member(&given, "range");
    if (range) return IsLine(Member(range, "start"), d.range.start.line);
    const json *title = Member(Member(&given, "data"), "fix");
    if (title && (!title->is_string() || title->get_ref<const std::string &>() != d.fix.title)) return false;
    const json *start = Member(Member(requestRange, "start"), "line"), *end = Member(Member(requestRange, "end"), "line");
    return start && end && start->is_number_integer() && end->is_number_integer() &&
           start->get<long>() <= d.range.end.line && d.range.start.line <= end->get<long>();
}

static bool IsPosition(const json *position, const LspPosition &at)
{
    const json *character = Member(position, "character");
    return IsLine(position, at.line) && character && character->is_number_integer() &&
           character->get<long>() == at.character;
}

// Whether the client gave the diagnostic back as it was sent: its code,
// its whole range and its fix's title. Two warnings of one code on one
// line (two slips in one description) differ only there.
static bool IsExactlyOurs(const json &given, const LspDiagnostic &d)
{
    const json *code = Member(&given, "code"), *range = Member(&given, "range");
    const json *title = Member(Member(&given, "data"), "fix");
    return code && code->is_string() && code->get_ref<const std::string &>() == d.code && range &&
           IsPosition(Member(range, "start"), d.range.start) && IsPosition(Member(range, "end"), d.range.end) &&
           (!title || (title->is_string() && title->get_ref<const std::string &>() == d.fix.title));
}

// The server's diagnostic the client's stands for: the one it was sent
// as, else the first of its code on its lines.
static const LspDiagnostic *FindOurs(const LspDocument &doc, const json &given, const json *requestRange)
{
    for (const LspDiagnostic &d : doc.diagnostics)
        if (IsExactlyOurs(given, d)) return &d;
    for (const LspDiagnostic &d : doc.diagnostics)
        if (d.hasFix && IsOurs(given, requestRange, d)) return &d;
    return NULL;
}

json CodeActions(const LspDocument &doc, const json *params, bool documentChanges)
{
    json actions = json::array();
    const json *context = Member(params, "context");
    const json *diagnostics = Member(context, "diagnostics");
    const json *only = Member(context, "only");
    if (IsAsked(only, "quickfix") && diagnostics && diagnostics->is_array()) {
        for (const json &given : *diagnostics) {
            const LspDiagnostic *d = FindOurs(doc, given, Member(params, "range"));
            if (!d || !d->hasFix || !IsProven(doc, *d)) continue;
            json action = {{"title", d->fix.title + " [" + d->code + "]"},
                           {"kind", "quickfix"},
                           {"diagnostics", json::array({given})},
                           {"edit", WorkspaceEdit(doc, d->fix.edits, documentChanges)}};
            if (d->fix.safe) action["isPreferred"] = true;
            actions.push_back(std::move(action));
        }
    }
    if (IsAsked(only, FIX_ALL) && only) {
        // Every safe fix that overlaps or touches no other taken before it.
        TakenEdits taken;
        for (const LspDiagnostic &d : doc.diagnostics) {
            if (!d.hasFix || !d.fix.safe || !IsProven(doc, d)) continue;
            bool clear = true;
            for (const FixEdit &edit : d.fix.edits) clear = clear && !OverlapsTaken(taken, edit);
            if (clear) TakeEdits(&taken, d.fix.edits);
        }
        std::vector<FixEdit> edits;
        for (const TakenEdits::value_type &edit : taken) edits.push_back(edit.second);
        if (!edits.empty())
            actions.push_back({{"title", "Make every safe fix of quorlan-check"},
                               {"kind", FIX_ALL},
                               {"edit", WorkspaceEdit(doc, edits, documentChanges)}});
    }
    return actions;
}

void AnswerCodeAction(const json *params, LspAnswer *answer)
{
    LspDocument *doc = FindDocumentOrRefuse(params, "codeAction", answer);
    if (doc) answer->result = CodeActions(*doc, params, g_server.documentChanges);
}

void AddActionCapabilities(json *capabilities)
{
    (*capabilities)["codeActionProvider"] = {{"codeActionKinds", {"quickfix", FIX_ALL}}};
}
