/*
 * The language server's code actions (actions.cpp): each fix of the
 * checker as a quick fix, and the safe ones together as the source action
 * "source.fixAll.quorlan".
 */
#ifndef QUORLAN_CHECK_LSP_ACTIONS_H
#define QUORLAN_CHECK_LSP_ACTIONS_H

#include "server.h"

// Answers textDocument/codeAction for the document as last checked;
// documentChanges: the client takes edits for a version of the document.
nlohmann::json CodeActions(const LspDocument &doc, const nlohmann::json *params, bool documentChanges);

#endif
