/*
 * The disc watched through the client: where the client can watch files
 * for the server, the server asks it, once initialized, to watch the
 * folders of the workspace and of each menu opened outside them. When a
 * file there is added, changed or removed, the listings of the folders
 * concerned are dropped and every open menu is checked again, so that a
 * warning about a missing file goes as soon as the file is on the disc,
 * with no edit. Without such a client, each check still sees the change by
 * the folder's modification time, at the next edit.
 */
#include "lsp.h"
#include "server.h"

#include "../engine/files.h"

#include <string>
#include <vector>

static bool s_canWatch;            // the client registers watchers the server asks for
static bool s_relativePatterns;    // ... with a folder and a pattern under it
static bool s_watching;            // "initialized" has come: registrations can be sent
static std::vector<std::string> s_watched;  // the folders' addresses, each ended by a slash
static long s_registrations;

// The folder part of a file's address, ended by its slash; "" for none.
static std::string FolderOfUri(const std::string &uri)
{
    size_t slash = uri.rfind('/');
    return PathOfFileUri(uri).empty() || slash == std::string::npos ? "" : uri.substr(0, slash + 1);
}

// Adds the registration that asks the client to watch the folder (an
// address ended by a slash), unless it watches a folder that holds it already.
static void WatchFolder(const std::string &folder, json *registrations)
{
    if (!s_canWatch || !s_watching || folder.empty()) return;
    for (const std::string &watched : s_watched)
        if (folder.compare(0, watched.size(), watched) == 0) return;
    s_watched.push_back(folder);
    json pattern;
    if (s_relativePatterns) {
        pattern = {{"baseUri", folder.substr(0, folder.size() - 1)}, {"pattern", "**/*"}};
    } else {
        std::string path = PathOfFileUri(folder);
        for (char &c : path)
            if (c == '\\') c = '/';
        pattern = path + (path.empty() || path.back() != '/' ? "/" : "") + "**/*";
    }
    // The registration's id serves as the request's too (server.cpp).
    std::string id = "quorlan-watch-" + std::to_string(++s_registrations);
    json registration = {{"id", id},
                         {"method", "workspace/didChangeWatchedFiles"},
                         {"registerOptions", {{"watchers", json::array({{{"globPattern", pattern}}})}}}};
    registrations->push_back(registration);
}

void TakeWatchCapabilities(const json *params)
{
    const json *watch = Find(Find(Find(params, "capabilities"), "workspace"), "didChangeWatchedFiles");
    const json *dynamic = Find(watch, "dynamicRegistration"), *relative = Find(watch, "relativePatternSupport");
    s_canWatch = dynamic && dynamic->is_boolean() && dynamic->get<bool>();
    s_relativePatterns = relative && relative->is_boolean() && relative->get<bool>();
    s_watching = false;
    s_watched.clear();
    s_registrations = 0;
    // The workspace's folders, registered once the client is initialized.
    const json *folders = Find(params, "workspaceFolders");
    if (folders && folders->is_array()) {
        for (const json &folder : *folders)
            if (IsText(Find(&folder, "uri"))) s_watched.push_back(TextOf(Find(&folder, "uri")));
    } else if (IsText(Find(params, "rootUri"))) {
        s_watched.push_back(TextOf(Find(params, "rootUri")));
    }
    for (std::string &folder : s_watched)
        if (folder.empty() || folder.back() != '/') folder += '/';
}

json StartWatching()
{
    json registrations = json::array();
    if (s_watching) return registrations;
    s_watching = true;
    std::vector<std::string> roots;
    roots.swap(s_watched);
    for (const std::string &root : roots)
        if (!PathOfFileUri(root).empty()) WatchFolder(root, &registrations);
    for (const std::pair<const std::string, LspDocument> &doc : g_server.documents)
        WatchFolder(FolderOfUri(doc.first), &registrations);
    return registrations;
}

json WatchDocumentFolder(const LspDocument &doc)
{
    json registrations = json::array();
    WatchFolder(FolderOfUri(doc.uri), &registrations);
    return registrations;
}

void FollowWatchedFiles(const json *params)
{
    const json *changes = Find(params, "changes");
    if (!changes || !changes->is_array()) return;
    bool changed = false;
    for (const json &change : *changes) {
        const json *uri = Find(&change, "uri");
        std::string path = IsText(uri) ? PathOfFileUri(TextOf(uri)) : "";
        if (path.empty()) continue;
        ForgetFolderListings(path);
        changed = true;
    }
    if (!changed) return;
    for (std::pair<const std::string, LspDocument> &doc : g_server.documents)
        CheckAndPublish(&doc.second, !doc.second.edited);
}
