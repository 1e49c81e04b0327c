-- Run by lsp_nvim.py in a headless Neovim (0.7) with the menu open: attaches
-- quorlan-check --lsp ($QUORLAN_CHECK) to the buffer, waits for its
-- diagnostics, asks for the document's symbols, and writes them, one a line,
-- to $QUORLAN_OUT: each diagnostic as Neovim holds it (lines and byte
-- columns from 0) with its note, each symbol where its name starts, the
-- first line once the first diagnostic's quick fix is applied, and each
-- line of the buffer once formatted.
local out = {}
local bufnr = vim.api.nvim_get_current_buf()
local id = vim.lsp.start_client({name = 'quorlan-check', cmd = {vim.env.QUORLAN_CHECK, '--lsp'},
                                 root_dir = vim.fn.getcwd()})
vim.lsp.buf_attach_client(bufnr, id)
vim.wait(30000, function() return #vim.diagnostic.get(bufnr) > 0 end, 20)
for _, d in ipairs(vim.diagnostic.get(bufnr)) do
  local note = (d.user_data.lsp.relatedInformation or {})[1] or {location = {range = {start = {}}}}
  table.insert(out, string.format('diagnostic %d:%d-%d:%d %s | note %s:%s %s', d.lnum, d.col, d.end_lnum,
                                  d.end_col, d.message, note.location.range.start.line,
                                  note.location.range.start.character, note.message))
end
local responses = vim.lsp.buf_request_sync(bufnr, 'textDocument/documentSymbol',
                                           {textDocument = vim.lsp.util.make_text_document_params()}, 30000)
local function walk(symbols, depth)
  for _, s in ipairs(symbols) do
    table.insert(out, string.format('symbol %s%s %d:%d', string.rep('  ', depth), s.name,
                                    s.selectionRange.start.line, s.selectionRange.start.character))
    walk(s.children or {}, depth + 1)
  end
end
walk(responses and responses[id] and responses[id].result or {}, 0)
-- The quick fix of the first diagnostic, applied as Neovim applies an edit
-- (vim.lsp.buf.code_action would ask which one); then the first line.
local first = vim.diagnostic.get(bufnr)[1]
local client = vim.lsp.get_client_by_id(id)
-- Neovim keeps no range in the diagnostic it passes back: the request's
-- range, its lines, stands for it.
local range = {start = {line = first.lnum, character = 0}, ['end'] = {line = first.end_lnum + 1, character = 0}}
local params = {textDocument = vim.lsp.util.make_text_document_params(), range = range,
                context = {diagnostics = {first.user_data.lsp}}}
local actions = vim.lsp.buf_request_sync(bufnr, 'textDocument/codeAction', params, 30000)
local action = actions and actions[id] and actions[id].result and actions[id].result[1]
if action then
  vim.lsp.util.apply_workspace_edit(action.edit, client.offset_encoding)
  table.insert(out, 'fixed ' .. action.title .. ' | ' .. vim.api.nvim_buf_get_lines(bufnr, 0, 1, false)[1])
end
vim.lsp.buf.formatting_sync(nil, 30000)
for _, line in ipairs(vim.api.nvim_buf_get_lines(bufnr, 0, -1, false)) do
  table.insert(out, 'formatted ' .. line)
end
vim.fn.writefile(out, vim.env.QUORLAN_OUT)
vim.lsp.stop_client(id)
vim.cmd('qa!')
