/*
 * The language server's code actions (lsp_actions.cpp): each fix of the
 * checker as a quick fix, and the safe ones together as the source action
 * "source.fixAll.quorlan".
 */
#ifndef QUORLAN_CHECK_LSP_ACTIONS_H
#define QUORLAN_CHECK_LSP_ACTIONS_H

#include "lsp_document.h"

#include <nlohmann/json.hpp>

// lsp.cpp's: a range as the protocol writes it.
nlohmann::json RangeJson(const LspRange &range);

// Answers textDocument/codeAction for the document as last checked;
// documentChanges: the client takes edits for a version of the document.
nlohmann::json CodeActions(const LspDocument &doc, const nlohmann::json *params, bool documentChanges);

#endif
