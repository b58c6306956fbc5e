// qobls as an editor meets it: a process on a pipe, spoken to with framed JSON-RPC by a small client.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <functional>

#include "framing.h"

namespace orrery::qobls {
namespace {

using Predicate = std::function<bool(const QJsonObject&)>;

class Client {
public:
    Client() {
        m_process.setProgram(QOBLS_PATH);
        m_process.start();
        EXPECT_TRUE(m_process.waitForStarted(10000));
    }
    ~Client() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    void sendRaw(const QByteArray& bytes) { m_process.write(bytes); }
    void send(const QJsonObject& message) {
        sendRaw(QByteArray::fromStdString(frameMessage(QJsonDocument(message).toJson().toStdString())));
    }
    void notify(const QString& method, const QJsonObject& params) {
        send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
    }
    QJsonObject request(const QString& method, const QJsonObject& params) {
        const int id = ++m_lastId;
        send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
        return waitFor([id](const QJsonObject& m) { return m.value("id").toInt(-1) == id; });
    }
    // The first message (kept or new) that matches, within 10 s; an empty object when none came.
    QJsonObject waitFor(const Predicate& matches) {
        QDeadlineTimer deadline(10000);
        for (;;) {
            for (qsizetype i = 0; i < m_received.size(); ++i) {
                if (matches(m_received[i]))
                    return m_received.takeAt(i);
            }
            if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime()))) {
                ADD_FAILURE() << "no matching message; stderr: "
                              << m_process.readAllStandardError().toStdString();
                return {};
            }
            m_reader.append(m_process.readAllStandardOutput().toStdString());
            std::string body;
            for (MessageReader::Status s; (s = m_reader.next(body)) != MessageReader::Status::NeedMore;) {
                // Anything on stdout that is not a framed JSON message is a fault of the server.
                EXPECT_EQ(s, MessageReader::Status::Message);
                const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(body));
                EXPECT_TRUE(document.isObject()) << body;
                m_received.append(document.object());
            }
        }
    }
    QJsonArray diagnosticsFor(
        const QString& uri, const Predicate& also = [](const QJsonObject&) { return true; }) {
        return waitFor([&](const QJsonObject& m) {
                   return m.value("method") == "textDocument/publishDiagnostics" &&
                          m.value("params").toObject().value("uri") == uri && also(m);
               })
            .value("params")
            .toObject()
            .value("diagnostics")
            .toArray();
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    MessageReader m_reader;
    QList<QJsonObject> m_received;
    int m_lastId = 0;
};

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "qobls_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    return *QCoreApplication::instance();
}

QJsonObject at(const QString& uri, int line, int character) {
    return {{"textDocument", QJsonObject{{"uri", uri}}},
            {"position", QJsonObject{{"line", line}, {"character", character}}}};
}

QJsonObject opened(const QString& uri, const QString& text) {
    return {{"textDocument",
             QJsonObject{{"uri", uri}, {"languageId", "quobol"}, {"version", 1}, {"text", text}}}};
}

QJsonObject initialized(Client& client) {
    const QJsonObject reply =
        client.request("initialize", {{"processId", QJsonValue::Null}, {"capabilities", QJsonObject{}}});
    client.notify("initialized", {});
    return reply;
}

QStringList labelsOf(const QJsonValue& items) {
    QStringList labels;
    for (const QJsonValue& item : items.toArray())
        labels << item.toObject().value("label").toString();
    return labels;
}

const QString kUri = "file:///tmp/prog.qob";

TEST(QoblsProtocol, DiagnosticsFollowTheTextAndTheSessionEndsCleanly) {
    application();
    Client client;
    const QJsonObject capabilities =
        initialized(client).value("result").toObject().value("capabilities").toObject();
    EXPECT_EQ(capabilities.value("textDocumentSync").toObject().value("change").toInt(), 1);
    EXPECT_TRUE(capabilities.value("hoverProvider").toBool());

    client.notify("textDocument/didOpen", opened(kUri, "X = 1\r\nTotal = 0\nI = 2\n  Total = Total + * I\n"));
    const QJsonArray errors = client.diagnosticsFor(kUri);
    ASSERT_EQ(errors.size(), 1);
    const QJsonObject error = errors[0].toObject();
    EXPECT_EQ(error.value("message").toString(), "parse error");
    EXPECT_EQ(error.value("code").toString(), "parse_error");
    EXPECT_EQ(error.value("source").toString(), "qobc");
    EXPECT_EQ(error.value("severity").toInt(), 1);
    const QJsonObject range = error.value("range").toObject();
    EXPECT_EQ(range.value("start").toObject(), (QJsonObject{{"line", 3}, {"character", 18}}));
    EXPECT_EQ(range.value("end").toObject(), (QJsonObject{{"line", 3}, {"character", 19}}));

    // Two quick changes: the text after the last one is what gets diagnosed.
    client.notify("textDocument/didChange",
                  {{"textDocument", QJsonObject{{"uri", kUri}, {"version", 2}}},
                   {"contentChanges", QJsonArray{QJsonObject{{"text", "GOTO Nowhere\n"}}}}});
    client.notify("textDocument/didChange",
                  {{"textDocument", QJsonObject{{"uri", kUri}, {"version", 3}}},
                   {"contentChanges", QJsonArray{QJsonObject{{"text", "X = 1\n"}}}}});
    EXPECT_EQ(client.diagnosticsFor(kUri), QJsonArray{});

    client.notify("textDocument/didChange",
                  {{"textDocument", QJsonObject{{"uri", kUri}, {"version", 4}}},
                   {"contentChanges", QJsonArray{QJsonObject{{"text", "FOR I = 1 TO 2\n"}}}}});
    const QJsonArray open = client.diagnosticsFor(kUri);
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open[0].toObject().value("code").toString(), "FOR_NEXT_not_terminated");

    EXPECT_EQ(client.request("shutdown", {}).value("result"), QJsonValue::Null);
    EXPECT_EQ(
        client.request("textDocument/hover", at(kUri, 0, 0)).value("error").toObject().value("code").toInt(),
        -32600);
    client.notify("exit", {});
    ASSERT_TRUE(client.process().waitForFinished(10000));
    EXPECT_EQ(client.process().exitCode(), 0);
}

TEST(QoblsProtocol, BadMessagesAreAnsweredAndTheServerStaysUp) {
    application();
    Client client;
    EXPECT_EQ(
        client.request("textDocument/hover", at(kUri, 0, 0)).value("error").toObject().value("code").toInt(),
        -32002)
        << "nothing before initialize";
    initialized(client);
    client.sendRaw("Content-Length: 9\r\n\r\n{\"id\": 1,");
    QJsonObject reply = client.waitFor([](const QJsonObject& m) { return m.contains("error"); });
    EXPECT_EQ(reply.value("id"), QJsonValue::Null);
    EXPECT_EQ(reply.value("error").toObject().value("code").toInt(), -32700);
    client.sendRaw("Content-Type: text/plain\r\n\r\n");
    reply = client.waitFor([](const QJsonObject& m) { return m.contains("error"); });
    EXPECT_EQ(reply.value("error").toObject().value("code").toInt(), -32700) << "a header without a length";

    reply = client.request("workspace/unheardOf", {});
    EXPECT_EQ(reply.value("error").toObject().value("code").toInt(), -32601);
    EXPECT_EQ(client.request("textDocument/hover", at("file:///never-opened.qob", 0, 0))
                  .value("error")
                  .toObject()
                  .value("code")
                  .toInt(),
              -32602);

    client.notify("textDocument/didOpen", opened(kUri, "PRINT 1\n"));
    EXPECT_EQ(client.diagnosticsFor(kUri), QJsonArray{}) << "still serving after the bad messages";
    client.notify("exit", {});
    ASSERT_TRUE(client.process().waitForFinished(10000));
    EXPECT_EQ(client.process().exitCode(), 1) << "exit without shutdown";
}

constexpr const char* kSample =
    "MODEL 510\n"
    "DIM Temps!(10), Grid(4, 3)\n"
    "Total = 0\n"
    "Start:\n"
    "  Total = Total + 1\n"
    "  PRINT Total\n"
    "  IF Total < 10 GOTO Start\n"
    "  GOSUB Show\n"
    "  STOP\n"
    "Show:\n"
    "  RETURN\n"
    "ASM $\n"
    "again   ldaa $03\n"
    "        beq  again\n"
    "        end\n";

TEST(QoblsProtocol, HoverCompletionDefinitionReferencesAndSymbols) {
    application();
    Client client;
    initialized(client);
    client.notify("textDocument/didOpen", opened(kUri, kSample));
    EXPECT_EQ(client.diagnosticsFor(kUri), QJsonArray{});

    auto hoverText = [&](int line, int character) {
        return client.request("textDocument/hover", at(kUri, line, character))
            .value("result")
            .toObject()
            .value("contents")
            .toObject()
            .value("value")
            .toString();
    };
    EXPECT_TRUE(hoverText(5, 4).contains("PRINT [item, ...] [;]")) << hoverText(5, 4).toStdString();
    EXPECT_TRUE(hoverText(2, 1).contains("integer variable, address 0x")) << hoverText(2, 1).toStdString();
    EXPECT_TRUE(hoverText(2, 1).contains("`Total V I ")) << hoverText(2, 1).toStdString();
    EXPECT_TRUE(hoverText(1, 5).contains("float array (10), 10 elements")) << hoverText(1, 5).toStdString();
    EXPECT_TRUE(hoverText(1, 18).contains("integer array (4 x 3), 12 elements"))
        << hoverText(1, 18).toStdString();
    EXPECT_TRUE(hoverText(6, 22).contains("label **Start**, defined on line 4"))
        << hoverText(6, 22).toStdString();

    const QStringList afterGoto =
        labelsOf(client.request("textDocument/completion", at(kUri, 6, 21)).value("result"));
    EXPECT_EQ(afterGoto, (QStringList{"Show", "Start"}));
    const QStringList anywhere =
        labelsOf(client.request("textDocument/completion", at(kUri, 5, 2)).value("result"));
    EXPECT_TRUE(anywhere.contains("PRINT") && anywhere.contains("LEFT") && anywhere.contains("Total") &&
                anywhere.contains("Temps"));
    EXPECT_FALSE(anywhere.contains("Start")) << "labels only where a label is expected";
    EXPECT_TRUE(
        labelsOf(client.request("textDocument/completion", at(kUri, 0, 6)).value("result")).contains("510"));

    const QJsonObject definition =
        client.request("textDocument/definition", at(kUri, 7, 9)).value("result").toObject();
    EXPECT_EQ(definition.value("range").toObject().value("start").toObject(),
              (QJsonObject{{"line", 9}, {"character", 0}}));
    const QJsonArray uses =
        client.request("textDocument/references", at(kUri, 3, 1)).value("result").toArray();
    EXPECT_EQ(uses.size(), 2) << "Start: its definition and the GOTO";

    QStringList symbols;
    for (const QJsonValue& s :
         client.request("textDocument/documentSymbol", {{"textDocument", QJsonObject{{"uri", kUri}}}})
             .value("result")
             .toArray())
        symbols << s.toObject().value("name").toString() + "/" +
                       QString::number(s.toObject().value("kind").toInt());
    symbols.sort();
    EXPECT_EQ(symbols, (QStringList{"Grid/18", "Show/12", "Start/12", "Temps/18", "again/14"}));
}

TEST(QoblsProtocol, VersionAndHelpAnswerWithoutASession) {
    application();
    QProcess process;
    process.start(QOBLS_PATH, {"--version"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_TRUE(process.readAllStandardOutput().startsWith("qobls (Orrery) "));
    process.start(QOBLS_PATH, {"--max-symbols", "zero"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("--max-symbols needs a number"));
}

}  // namespace
}  // namespace orrery::qobls
