#pragma once
// qobls's side of the Language Server Protocol: JSON-RPC messages in, replies and notifications out.
//
// The server keeps the open documents (full text sync) and their analyses. It never touches stdin or
// stdout itself: the caller feeds it whole message bodies (handleMessage) and passes on what it emits
// (the send callback), so the same object runs behind the stdio loop and in tests. Diagnostics go out
// at once when a document is opened or saved and about 200 ms after the last change, so that typing
// does not compile on every keystroke.
//
// What it does not do: incremental sync, workspace-wide symbols, formatting, several files per
// program (Quobol has no includes).

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "analysis.h"

namespace orrery::qobls {

// JSON-RPC and LSP error codes.
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kServerNotInitialized = -32002;

inline constexpr int kChangeDebounceMs = 200;

class LanguageServer : public QObject {
    Q_OBJECT
public:
    using Sender = std::function<void(const QJsonObject&)>;

    LanguageServer(compiler::CompilerOptions options, Sender send, QObject* parent = nullptr);
    ~LanguageServer() override;

    // One message body as received (JSON text). Malformed JSON gets the protocol's parse error.
    void handleMessage(const QByteArray& body);

    // After "exit": the process's exit code (0 when "shutdown" came first, else 1), or -1 before it.
    int exitCode() const { return m_exitCode; }

signals:
    void exitRequested();

private:
    struct Document;

    void handleRequest(const QJsonValue& id, const QString& method, const QJsonObject& params);
    void handleNotification(const QString& method, const QJsonObject& params);
    void reply(const QJsonValue& id, const QJsonValue& result);
    void replyError(const QJsonValue& id, int code, const QString& message);

    QJsonObject initializeResult() const;
    void openDocument(const QJsonObject& params);
    void changeDocument(const QJsonObject& params);
    void publishDiagnostics(const QString& uri);

    QJsonValue hover(const QJsonObject& params);
    QJsonValue completion(const QJsonObject& params);
    QJsonValue definition(const QJsonObject& params);
    QJsonValue references(const QJsonObject& params);
    QJsonValue documentSymbols(const QJsonObject& params);

    Document* documentOf(const QJsonObject& params);

    compiler::CompilerOptions m_options;
    Sender m_send;
    QHash<QString, std::shared_ptr<Document>> m_documents;
    bool m_initialized = false;
    bool m_shutdown = false;
    int m_exitCode = -1;
};

}  // namespace orrery::qobls
