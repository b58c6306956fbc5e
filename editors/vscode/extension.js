// Starts qobls for Quobol documents; the language client does the rest (diagnostics, hover,
// completion, go to definition, references, outline).
const vscode = require("vscode");
const { LanguageClient, TransportKind } = require("vscode-languageclient/node");

let client;

function activate(context) {
  const settings = vscode.workspace.getConfiguration("quobol.server");
  const server = {
    command: settings.get("path", "qobls"),
    args: settings.get("arguments", []),
    transport: TransportKind.stdio,
  };
  client = new LanguageClient("qobls", "Quobol language server", server, {
    documentSelector: [{ language: "quobol" }],
  });
  context.subscriptions.push(client);
  return client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
