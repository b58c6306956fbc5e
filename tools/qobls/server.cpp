#include "server.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include "keyworddocs.h"
#include "models.h"
#include "orrery_version.h"

namespace orrery::qobls {

namespace {

// LSP enumerations used here.
constexpr int kSyncFull = 1;
constexpr int kSeverityError = 1;
constexpr int kCompletionFunction = 3;
constexpr int kCompletionVariable = 6;
constexpr int kCompletionValue = 12;
constexpr int kCompletionKeyword = 14;
constexpr int kCompletionReference = 18;
constexpr int kSymbolFunction = 12;
constexpr int kSymbolConstant = 14;
constexpr int kSymbolArray = 18;

QString fromBytes(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QJsonObject position(int line, int character) {
    return {{"line", line}, {"character", character}};
}

QJsonObject rangeJson(const TextRange& r) {
    return {{"start", position(r.line, r.column)}, {"end", position(r.line, r.column + r.length)}};
}

// The statements that take a label as their next word.
bool takesLabel(std::string_view word) {
    for (std::string_view keyword : {"GOTO", "GOSUB", "RUN", "ONERR", "CBREAK"}) {
        if (word.size() == keyword.size() && std::equal(word.begin(), word.end(), keyword.begin(),
                                                        [](char a, char b) { return (a & ~0x20) == b; }))
            return true;
    }
    return false;
}

QString typeName(char type) {
    switch (type) {
        case 'I':
            return QStringLiteral("integer");
        case 'F':
            return QStringLiteral("float");
        case 'S':
            return QStringLiteral("string");
        default:
            return QStringLiteral("other");
    }
}

QString storageText(const SymbolFacts& facts) {
    const QString hex =
        QStringLiteral("0x%1").arg(facts.address, 4, 16, QLatin1Char('0')).toUpper().replace("0X", "0x");
    return facts.slotAddressing ? QStringLiteral("slot %1 (%2)").arg(facts.address).arg(hex)
                                : QStringLiteral("address %1").arg(hex);
}

QString variableHover(const NameEntry& entry, const SymbolFacts* facts) {
    if (!facts) {
        return QStringLiteral("**%1** %2\n\nIts type and storage are known once the program compiles.")
            .arg(fromBytes(entry.name), entry.kind == NameKind::Array ? "array" : "variable");
    }
    QString what;
    if (facts->kind == 'A') {
        const QString dims = facts->dim2 > 0 ? QStringLiteral("%1 x %2").arg(facts->dim1).arg(facts->dim2)
                                             : QString::number(facts->dim1);
        what =
            QStringLiteral("%1 array (%2), %3 elements").arg(typeName(facts->type), dims).arg(facts->count);
    } else if (facts->kind == 'E') {
        what = QStringLiteral("extension number %1").arg(facts->address);
    } else {
        what = QStringLiteral("%1 variable").arg(typeName(facts->type));
    }
    QString text = QStringLiteral("**%1** %2").arg(fromBytes(entry.name), what);
    if (facts->kind != 'E')
        text += QStringLiteral(", %1").arg(storageText(*facts));
    return text + QStringLiteral("\n\nSymbol file: `%1`").arg(fromBytes(facts->symbolFileLine));
}

QString labelHover(const NameEntry& entry) {
    const QString kind = entry.kind == NameKind::AsmLabel ? "assembler label" : "label";
    if (!entry.definition)
        return QStringLiteral("%1 **%2**, not defined").arg(kind, fromBytes(entry.name));
    return QStringLiteral("%1 **%2**, defined on line %3")
        .arg(kind, fromBytes(entry.name))
        .arg(entry.definition->line + 1);
}

QString keywordHover(const compiler::KeywordDoc& doc) {
    return QStringLiteral("```quobol\n%1\n```\n%2").arg(fromBytes(doc.syntax), fromBytes(doc.summary));
}

QJsonObject markdown(const QString& text) {
    return {{"kind", "markdown"}, {"value", text}};
}

}  // namespace

struct LanguageServer::Document {
    QString uri;
    int version = 0;
    std::string text;  // the compiler's bytes, one per UTF-16 unit of the editor's text
    std::vector<std::string_view> lines;
    Analysis analysis;
    bool stale = true;
    QTimer debounce;

    void setText(const QString& editorText) {
        text = compilerText(std::u16string_view(reinterpret_cast<const char16_t*>(editorText.utf16()),
                                                std::size_t(editorText.size())));
        lines = splitLines(text);
        stale = true;
    }
    void refresh(const compiler::CompilerOptions& options) {
        if (!stale)
            return;
        analysis = analyse(text, options, &analysis);
        stale = false;
    }
    std::string_view line(int n) const {
        return n >= 0 && std::size_t(n) < lines.size() ? lines[std::size_t(n)] : std::string_view();
    }
};

LanguageServer::LanguageServer(compiler::CompilerOptions options, Sender send, QObject* parent)
    : QObject(parent), m_options(options), m_send(std::move(send)) {}

LanguageServer::~LanguageServer() = default;

void LanguageServer::handleMessage(const QByteArray& body) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        replyError(QJsonValue::Null, error.error != QJsonParseError::NoError ? kParseError : kInvalidRequest,
                   error.error != QJsonParseError::NoError
                       ? "Parse error: " + error.errorString()
                       : QStringLiteral("Invalid request: not an object"));
        return;
    }
    const QJsonObject message = document.object();
    const QJsonValue id = message.value("id");
    const QJsonValue method = message.value("method");
    if (!method.isString()) {
        // A reply to a request of ours (we send none) or garbage: only a request gets an answer.
        if (!message.contains("result") && !message.contains("error"))
            replyError(id.isUndefined() ? QJsonValue::Null : id, kInvalidRequest,
                       "Invalid request: no method");
        return;
    }
    const QJsonObject params = message.value("params").toObject();
    if (id.isUndefined()) {
        handleNotification(method.toString(), params);
    } else {
        handleRequest(id, method.toString(), params);
    }
}

void LanguageServer::reply(const QJsonValue& id, const QJsonValue& result) {
    m_send({{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
}

void LanguageServer::replyError(const QJsonValue& id, int code, const QString& message) {
    m_send({{"jsonrpc", "2.0"}, {"id", id}, {"error", QJsonObject{{"code", code}, {"message", message}}}});
}

QJsonObject LanguageServer::initializeResult() const {
    const QJsonObject sync{
        {"openClose", true}, {"change", kSyncFull}, {"save", QJsonObject{{"includeText", true}}}};
    const QJsonObject capabilities{{"textDocumentSync", sync},
                                   {"hoverProvider", true},
                                   {"completionProvider", QJsonObject{{"resolveProvider", false}}},
                                   {"definitionProvider", true},
                                   {"referencesProvider", true},
                                   {"documentSymbolProvider", true}};
    return {{"capabilities", capabilities},
            {"serverInfo", QJsonObject{{"name", "qobls"}, {"version", ORRERY_VERSION_TEXT}}}};
}

void LanguageServer::handleRequest(const QJsonValue& id, const QString& method, const QJsonObject& params) {
    if (method == "initialize") {
        m_initialized = true;
        reply(id, initializeResult());
        return;
    }
    if (!m_initialized) {
        replyError(id, kServerNotInitialized, "The server is not initialized");
        return;
    }
    if (m_shutdown) {
        replyError(id, kInvalidRequest, "The server is shutting down");
        return;
    }
    if (method == "shutdown") {
        m_shutdown = true;
        reply(id, QJsonValue::Null);
        return;
    }
    using Handler = QJsonValue (LanguageServer::*)(const QJsonObject&);
    static const QHash<QString, Handler> kHandlers = {
        {"textDocument/hover", &LanguageServer::hover},
        {"textDocument/completion", &LanguageServer::completion},
        {"textDocument/definition", &LanguageServer::definition},
        {"textDocument/references", &LanguageServer::references},
        {"textDocument/documentSymbol", &LanguageServer::documentSymbols},
    };
    const auto handler = kHandlers.constFind(method);
    if (handler == kHandlers.constEnd()) {
        replyError(id, kMethodNotFound, "Unknown method: " + method);
        return;
    }
    if (!documentOf(params)) {
        replyError(id, kInvalidParams, "The document is not open");
        return;
    }
    reply(id, (this->*handler.value())(params));
}

void LanguageServer::handleNotification(const QString& method, const QJsonObject& params) {
    if (method == "exit") {
        m_exitCode = m_shutdown ? 0 : 1;
        emit exitRequested();
        return;
    }
    if (!m_initialized || m_shutdown)
        return;
    if (method == "textDocument/didOpen") {
        openDocument(params);
    } else if (method == "textDocument/didChange") {
        changeDocument(params);
    } else if (method == "textDocument/didSave") {
        Document* document = documentOf(params);
        if (!document)
            return;
        if (params.contains("text"))
            document->setText(params.value("text").toString());
        document->debounce.stop();
        publishDiagnostics(document->uri);
    } else if (method == "textDocument/didClose") {
        const QString uri = params.value("textDocument").toObject().value("uri").toString();
        if (m_documents.remove(uri) > 0) {
            m_send({{"jsonrpc", "2.0"},
                    {"method", "textDocument/publishDiagnostics"},
                    {"params", QJsonObject{{"uri", uri}, {"diagnostics", QJsonArray()}}}});
        }
    }
    // Every other notification ("initialized", "$/cancelRequest", settings) needs nothing from us.
}

LanguageServer::Document* LanguageServer::documentOf(const QJsonObject& params) {
    const QString uri = params.value("textDocument").toObject().value("uri").toString();
    const auto found = m_documents.constFind(uri);
    return found == m_documents.constEnd() ? nullptr : found.value().get();
}

void LanguageServer::openDocument(const QJsonObject& params) {
    const QJsonObject item = params.value("textDocument").toObject();
    auto document = std::make_shared<Document>();
    document->uri = item.value("uri").toString();
    document->version = item.value("version").toInt();
    document->setText(item.value("text").toString());
    document->debounce.setSingleShot(true);
    document->debounce.setInterval(kChangeDebounceMs);
    const QString uri = document->uri;
    connect(&document->debounce, &QTimer::timeout, this, [this, uri] { publishDiagnostics(uri); });
    m_documents.insert(uri, document);
    publishDiagnostics(uri);
}

// Full sync: the last change holds the whole text.
void LanguageServer::changeDocument(const QJsonObject& params) {
    Document* document = documentOf(params);
    const QJsonArray changes = params.value("contentChanges").toArray();
    if (!document || changes.isEmpty())
        return;
    document->version = params.value("textDocument").toObject().value("version").toInt(document->version);
    document->setText(changes.last().toObject().value("text").toString());
    document->debounce.start();
}

void LanguageServer::publishDiagnostics(const QString& uri) {
    const auto found = m_documents.constFind(uri);
    if (found == m_documents.constEnd())
        return;
    Document& document = *found.value();
    document.refresh(m_options);
    QJsonArray diagnostics;
    if (const auto& error = document.analysis.error) {
        diagnostics.append(QJsonObject{{"range", rangeJson(error->range)},
                                       {"severity", kSeverityError},
                                       {"source", "qobc"},
                                       {"code", fromBytes(error->name)},
                                       {"message", fromBytes(error->message)}});
    }
    m_send(
        {{"jsonrpc", "2.0"},
         {"method", "textDocument/publishDiagnostics"},
         {"params", QJsonObject{{"uri", uri}, {"version", document.version}, {"diagnostics", diagnostics}}}});
}

namespace {
struct Place {
    int line = 0;
    int character = 0;
};
Place placeOf(const QJsonObject& params) {
    const QJsonObject p = params.value("position").toObject();
    return {p.value("line").toInt(), p.value("character").toInt()};
}
}  // namespace

QJsonValue LanguageServer::hover(const QJsonObject& params) {
    Document& document = *documentOf(params);
    document.refresh(m_options);
    const Place at = placeOf(params);
    int start = 0;
    const std::string_view word = wordAt(document.line(at.line), at.character, &start);
    if (word.empty())
        return QJsonValue::Null;
    QString text;
    if (const NameEntry* entry = document.analysis.nameAt(at.line, at.character)) {
        if (entry->kind == NameKind::Label || entry->kind == NameKind::AsmLabel) {
            text = labelHover(*entry);
        } else {
            const auto facts = document.analysis.symbols.find(entry->name);
            text = variableHover(*entry, facts == document.analysis.symbols.end() ? nullptr : &facts->second);
        }
    } else if (const compiler::KeywordDoc* doc = compiler::keywordDoc(word)) {
        text = keywordHover(*doc);
    } else {
        return QJsonValue::Null;
    }
    const TextRange range{at.line, start, int(word.size())};
    return QJsonObject{{"contents", markdown(text)}, {"range", rangeJson(range)}};
}

QJsonValue LanguageServer::completion(const QJsonObject& params) {
    Document& document = *documentOf(params);
    document.refresh(m_options);
    const Place at = placeOf(params);
    const std::string_view line = document.line(at.line);
    // The word before the one being typed decides what fits here.
    std::size_t end = std::min<std::size_t>(std::size_t(std::max(at.character, 0)), line.size());
    while (end > 0 && !(line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '('))
        --end;
    const bool afterParen = end > 0 && line[end - 1] == '(';
    while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t' || line[end - 1] == '('))
        --end;
    const std::string_view before = wordAt(line.substr(0, end), int(end));

    QJsonArray items;
    auto add = [&items](const QString& label, int kind, const QString& detail, const QString& doc = {}) {
        QJsonObject item{{"label", label}, {"kind", kind}, {"detail", detail}};
        if (!doc.isEmpty())
            item.insert("documentation", markdown(doc));
        items.append(item);
    };
    const bool labelsOnly = takesLabel(before) || (afterParen && compiler::keywordDoc(before) &&
                                                   compiler::keywordDoc(before)->name == "LABPTR");
    if (labelsOnly) {
        for (const auto& [name, entry] : document.analysis.names) {
            if (entry.kind == NameKind::Label && entry.definition)
                add(fromBytes(name), kCompletionReference,
                    QStringLiteral("label, line %1").arg(entry.definition->line + 1));
        }
        return items;
    }
    const compiler::KeywordDoc* beforeDoc = compiler::keywordDoc(before);
    if (beforeDoc && beforeDoc->name == "MODEL") {
        for (const compiler::ModelInfo& model : compiler::kModels)
            add(QString::number(model.code), kCompletionValue, fromBytes(model.name));
        return items;
    }
    for (const compiler::KeywordDoc& doc : compiler::kKeywordDocs) {
        add(fromBytes(doc.name),
            doc.role == compiler::KeywordRole::Function ? kCompletionFunction : kCompletionKeyword,
            fromBytes(doc.syntax), fromBytes(doc.summary));
    }
    for (const auto& [name, entry] : document.analysis.names) {
        if (entry.kind != NameKind::Variable && entry.kind != NameKind::Array)
            continue;
        const auto facts = document.analysis.symbols.find(name);
        const QString detail = facts == document.analysis.symbols.end()
                                   ? QString(entry.kind == NameKind::Array ? "array" : "variable")
                                   : fromBytes(facts->second.symbolFileLine);
        add(fromBytes(name), kCompletionVariable, detail);
    }
    return items;
}

QJsonValue LanguageServer::definition(const QJsonObject& params) {
    Document& document = *documentOf(params);
    document.refresh(m_options);
    const Place at = placeOf(params);
    const NameEntry* entry = document.analysis.nameAt(at.line, at.character);
    if (!entry || !entry->definition)
        return QJsonValue::Null;
    return QJsonObject{{"uri", document.uri}, {"range", rangeJson(*entry->definition)}};
}

QJsonValue LanguageServer::references(const QJsonObject& params) {
    Document& document = *documentOf(params);
    document.refresh(m_options);
    const Place at = placeOf(params);
    const NameEntry* entry = document.analysis.nameAt(at.line, at.character);
    QJsonArray locations;
    if (!entry)
        return locations;
    const bool withDeclaration = params.value("context").toObject().value("includeDeclaration").toBool(true);
    for (const TextRange& r : entry->references) {
        if (!withDeclaration && entry->definition && r == *entry->definition)
            continue;
        locations.append(QJsonObject{{"uri", document.uri}, {"range", rangeJson(r)}});
    }
    return locations;
}

QJsonValue LanguageServer::documentSymbols(const QJsonObject& params) {
    Document& document = *documentOf(params);
    document.refresh(m_options);
    QJsonArray symbols;
    for (const auto& [name, entry] : document.analysis.names) {
        if (!entry.definition || entry.kind == NameKind::Variable)
            continue;
        const int kind = entry.kind == NameKind::Label   ? kSymbolFunction
                         : entry.kind == NameKind::Array ? kSymbolArray
                                                         : kSymbolConstant;
        const QJsonObject range = rangeJson(*entry.definition);
        symbols.append(QJsonObject{
            {"name", fromBytes(name)}, {"kind", kind}, {"range", range}, {"selectionRange", range}});
    }
    return symbols;
}

}  // namespace orrery::qobls
