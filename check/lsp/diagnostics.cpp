/*
 * The server's diagnostics: the checker's warnings on a document's last
 * check, published as the client shows them (a note as related
 * information where the client takes it, else in the message), and only
 * for each document's newest version: a check waits until the messages
 * that have come are taken, so that changes sent together cost one.
 */
#include "server.h"

json DiagnosticsOf(const LspDocument &doc)
{
    json diagnostics = json::array();
    for (const LspDiagnostic &d : doc.diagnostics) {
        json diagnostic = {{"range", RangeJson(d.range)}, {"severity", d.error ? 1 : 2}, {"source", "quorlan-check"},
                           {"message", d.message}};
        // The code finds the fix again in a code action's request.
        if (!d.code.empty()) {
            diagnostic["code"] = d.code;
            if (d.hasFix) diagnostic["data"] = {{"fix", d.fix.title}};
        }
        if (!d.note.empty() && g_server.relatedInformation)
            diagnostic["relatedInformation"] = json::array(
                {{{"location", {{"uri", doc.uri}, {"range", RangeJson(d.noteRange)}}}, {"message", d.note}}});
        else if (!d.note.empty())
            diagnostic["message"] = d.message + "\nnote: " + d.note;
        diagnostics.push_back(std::move(diagnostic));
    }
    json params = {{"uri", doc.uri}, {"diagnostics", std::move(diagnostics)}};
    if (doc.version >= 0) params["version"] = doc.version;
    return params;
}

void PublishStale(void (*publish)(const json &params))
{
    for (std::map<std::string, LspDocument>::iterator doc = g_server.documents.begin();
         doc != g_server.documents.end(); ++doc) {
        if (!doc->second.stale && doc->second.published) continue;
        CheckIfStale(&doc->second);
        publish(DiagnosticsOf(doc->second));
        doc->second.published = true;
    }
}
