-- Neovim as a real client of qobls: attach to the buffer given on the command line, wait for the
-- diagnostics, ask for a completion, write what came back as JSON to $QOBLS_RESULT and quit.
local result = { diagnostics = {}, completion = {} }

local function finish()
  vim.fn.writefile({ vim.fn.json_encode(result) }, os.getenv("QOBLS_RESULT"))
  vim.cmd("qall!")
end

vim.api.nvim_create_autocmd("VimEnter", {
  callback = function()
    local client = vim.lsp.start_client({ name = "qobls", cmd = { os.getenv("QOBLS") }, root_dir = vim.fn.getcwd() })
    vim.lsp.buf_attach_client(0, client)
    result.attached = vim.wait(10000, function() return #vim.diagnostic.get(0) > 0 end, 20)
    for _, d in ipairs(vim.diagnostic.get(0)) do
      local lsp = (d.user_data or {}).lsp or {}
      table.insert(result.diagnostics, {
        lnum = d.lnum, col = d.col, end_col = d.end_col, message = d.message,
        source = d.source, code = lsp.code or d.code, severity = d.severity,
      })
    end
    local line = tonumber(os.getenv("QOBLS_COMPLETE_LINE"))
    local params = { textDocument = vim.lsp.util.make_text_document_params(), position = { line = line, character = 2 } }
    local responses = vim.lsp.buf_request_sync(0, "textDocument/completion", params, 10000) or {}
    for _, response in pairs(responses) do
      local items = response.result or {}
      for _, item in ipairs(items.items or items) do table.insert(result.completion, item.label) end
    end
    -- Hover and go to definition on the variable at the start of the same line.
    params.position.character = 3
    for _, response in pairs(vim.lsp.buf_request_sync(0, "textDocument/hover", params, 10000) or {}) do
      if response.result then result.hover = response.result.contents.value end
    end
    for _, response in pairs(vim.lsp.buf_request_sync(0, "textDocument/definition", params, 10000) or {}) do
      if response.result then result.definition = response.result.range.start.line end
    end
    finish()
  end,
})
