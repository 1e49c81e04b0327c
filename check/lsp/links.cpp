/*
 * Links from commands to their files: each command whose file the file
 * check finds on the disc links its file part to that file, and going to
 * the definition of a command opens it. The file is found as the file
 * check finds it (files.h), from the commands as the loading read them.
 */
#include "server.h"
#include "../engine/files.h"
#include "lsp.h"
#include "../editor/words.h"

// Each command of the document whose file is on the disc, with its file's address.
static std::vector<std::pair<const MenuCommandAt *, std::string>> FindLinks(const LspDocument &doc, MenuWords *words)
{
    std::vector<std::pair<const MenuCommandAt *, std::string>> links;
    if (!doc.checked || doc.check.menuFolder.empty() || !FindMenuWords(doc.bytes, doc.check, words)) return links;
    for (const MenuCommandAt &command : words->commands) {
        std::string path = FindCommandFilePath(command.text, command.fromDrive, doc.check);
        if (!path.empty()) links.push_back(std::make_pair(&command, FileUriOfPath(path)));
    }
    return links;
}

void AnswerDocumentLink(const json *params, LspAnswer *answer)
{
    LspDocument *doc = FindDocumentOrRefuse(params, "documentLink", answer);
    if (!doc) return;
    MenuWords words;
    json links = json::array();
    for (const auto &link : FindLinks(*doc, &words))
        links.push_back({{"range", RangeJson(RangeOfBytes(*doc, link.first->fileStart, link.first->fileEnd))},
                         {"target", link.second}});
    answer->result = links;
}

void AnswerDefinition(const json *params, LspAnswer *answer)
{
    LspDocument *doc;
    long offset;
    if (!FindPositionOrRefuse(params, "definition", answer, &doc, &offset)) return;
    MenuWords words;
    json target = nullptr;
    LspRange start = {{0, 0}, {0, 0}};
    for (const auto &link : FindLinks(*doc, &words))
        if (link.first->start <= offset && offset <= link.first->end)
            target = {{"uri", link.second}, {"range", RangeJson(start)}};
    answer->result = target;
}

void AddLinkCapabilities(json *capabilities)
{
    (*capabilities)["documentLinkProvider"] = {{"resolveProvider", false}};
    (*capabilities)["definitionProvider"] = true;
}
