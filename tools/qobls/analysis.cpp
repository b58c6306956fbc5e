#include "analysis.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "scanner.h"
#include "symboltable.h"
#include "symfile.h"

namespace orrery::qobls {

namespace {

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '@';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isKeyword(int code) {
    return code >= compiler::kFirstKeyword && code < compiler::kLastKeyword;
}

std::string_view withoutSuffix(std::string_view name) {
    if (!name.empty() && (name.back() == '$' || name.back() == '!'))
        name.remove_suffix(1);
    return name;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x & ~0x20) == (y & ~0x20) && isNameChar(x) == isNameChar(y);
           });
}

// Walks the program's tokens with the compiler's scanner, line by line, and records every name.
class Indexer {
public:
    explicit Indexer(std::string_view text)
        : m_text(text), m_clean(clearBit7(text)), m_scanner(m_clean, m_text) {}

    std::map<std::string, NameEntry> run() {
        for (;;) {
            const compiler::Token token = m_scanner.next();
            if (token.code == compiler::kEnd)
                break;
            take(token);
        }
        settleKinds();
        return std::move(m_names);
    }

private:
    static std::string clearBit7(std::string_view text) {
        std::string clean(text);
        for (char& c : clean)
            c = static_cast<char>(c & 0x7F);
        return clean;
    }

    TextRange rangeOf(std::size_t start, std::size_t length) const {
        return {m_line, static_cast<int>(start - m_lineStart), static_cast<int>(length)};
    }

    void take(const compiler::Token& token) {
        const int code = token.code;
        if (code == compiler::kNewline) {
            newLine(token.start + token.length);
            return;
        }
        if (code == compiler::COMMENT || code == compiler::COMMENT2)
            return;
        if (code == compiler::LABELDEF) {
            std::size_t start = token.start;
            while (isBlank(m_clean[start]))
                ++start;
            const std::size_t length = token.start + token.length - 1 - start;
            note(std::string_view(m_clean).substr(start, length), rangeOf(start, length),
                 Role::LabelDefinition);
        } else if (code == compiler::SYMBOL) {
            const std::string_view name = withoutSuffix(m_scanner.text(token));
            note(name, rangeOf(token.start, name.size()), roleOfName());
        } else if (code == compiler::kw::Asm) {
            skipAssemblerBlock();
            return;
        }
        if (code == '(')
            ++m_depth;
        if (code == ')')
            --m_depth;
        if (m_atStatementStart && isKeyword(code))
            m_statementKeyword = code;
        m_atStatementStart = code == ':' || code == compiler::LABELDEF;
        if (code == ':')
            m_statementKeyword = 0;
        m_beforePrevious = m_previous;
        m_previous = code;
    }

    enum class Role { Use, LabelUse, LabelDefinition, ArrayDefinition };

    Role roleOfName() const {
        using namespace compiler;
        switch (m_previous) {
            case kw::Goto:
            case kw::Gosub:
            case kw::Run:
            case kw::Onerr:
            case kw::Cbreak:
                return Role::LabelUse;
            case '(':
                if (m_beforePrevious == kw::Labptr)
                    return Role::LabelUse;
                break;
            default:
                break;
        }
        if (m_statementKeyword == kw::Dim && m_depth == 0)
            return Role::ArrayDefinition;
        return Role::Use;
    }

    void note(std::string_view name, TextRange range, Role role) {
        NameEntry& entry = m_names[std::string(name)];
        entry.name = std::string(name);
        entry.references.push_back(range);
        switch (role) {
            case Role::LabelDefinition:
                m_labels.insert(entry.name);
                m_labelDefinitions.emplace(entry.name, range);
                break;
            case Role::LabelUse:
                m_labels.insert(entry.name);
                break;
            case Role::ArrayDefinition:
                entry.kind = NameKind::Array;
                entry.definition = range;
                break;
            case Role::Use:
                if (!entry.definition)
                    entry.definition = range;
                break;
        }
    }

    void newLine(std::size_t nextLineStart) {
        ++m_line;
        m_lineStart = nextLineStart;
        m_previous = 0;
        m_beforePrevious = 0;
        m_statementKeyword = 0;
        m_depth = 0;
        m_atStatementStart = true;
    }

    std::size_t endOfLine(std::size_t pos) const {
        const std::size_t end = m_clean.find('\n', pos);
        return end == std::string_view::npos ? m_clean.size() : end;
    }

    // The rest of the ASM line, then raw assembler lines up to an indented "end": their column-1 words
    // are assembler labels.
    void skipAssemblerBlock() {
        std::size_t pos = endOfLine(m_scanner.position());
        while (pos < m_clean.size()) {
            newLine(pos + 1);
            pos = m_lineStart;
            const std::size_t end = endOfLine(pos);
            const std::string_view line = std::string_view(m_clean).substr(pos, end - pos);
            if (!line.empty() && isNameChar(line[0])) {
                std::size_t length = 0;
                while (length < line.size() && isNameChar(line[length]))
                    ++length;
                NameEntry& entry = m_names[std::string(line.substr(0, length))];
                entry.name = std::string(line.substr(0, length));
                entry.kind = NameKind::AsmLabel;
                entry.definition = rangeOf(pos, length);
                entry.references.push_back(*entry.definition);
                m_asmLabels.insert(entry.name);
            } else {
                std::size_t word = 0;
                while (word < line.size() && isBlank(line[word]))
                    ++word;
                std::size_t wordEnd = word;
                while (wordEnd < line.size() && isNameChar(line[wordEnd]))
                    ++wordEnd;
                if (word > 0 && equalsNoCase(line.substr(word, wordEnd - word), "end")) {
                    m_scanner.setPosition(end);
                    return;
                }
            }
            pos = end;
        }
        m_scanner.setPosition(m_clean.size());
    }

    // A name used after GOTO, GOSUB ... anywhere is a label everywhere, defined only where it stands
    // with its colon; the column-1 words of assembler blocks are assembler labels.
    void settleKinds() {
        for (auto& [name, entry] : m_names) {
            if (m_asmLabels.count(name)) {
                entry.kind = NameKind::AsmLabel;
            } else if (m_labels.count(name)) {
                entry.kind = NameKind::Label;
                const auto defined = m_labelDefinitions.find(name);
                entry.definition.reset();
                if (defined != m_labelDefinitions.end())
                    entry.definition = defined->second;
            }
        }
    }

    std::string_view m_text;
    std::string m_clean;
    compiler::Scanner m_scanner;
    std::map<std::string, NameEntry> m_names;
    std::set<std::string> m_labels;
    std::set<std::string> m_asmLabels;
    std::map<std::string, TextRange> m_labelDefinitions;
    int m_line = 0;
    std::size_t m_lineStart = 0;
    int m_previous = 0;
    int m_beforePrevious = 0;
    int m_statementKeyword = 0;
    int m_depth = 0;
    bool m_atStatementStart = true;
};

std::map<std::string, SymbolFacts> symbolsOf(const compiler::CompileJob& job) {
    std::map<std::string, SymbolFacts> symbols;
    const compiler::SymbolTable* table = compiler::symbolTable(job);
    if (!table)
        return symbols;
    const int step = table->area().step;
    for (const compiler::SymbolEntry& entry : table->entries()) {
        if (entry.fullName.rfind("tocStringVar", 0) == 0)
            continue;  // the compiler's temporary strings
        const compiler::SymbolRecord record = compiler::summaryRecordOf(
            {entry.name, entry.flags, entry.type, entry.address, entry.second}, step);
        SymbolFacts facts;
        facts.kind = record.kind;
        facts.type = record.type;
        facts.address = record.address;
        facts.count = record.count;
        facts.slotAddressing = step > 0;
        if (record.kind == 'A') {
            facts.dim2 = static_cast<int>(entry.dim2);
            facts.dim1 = facts.dim2 > 0 ? record.count / facts.dim2 : record.count;
        }
        char line[96];
        std::snprintf(line, sizeof line, "%s %c %c %04X", record.name.c_str(), record.kind, record.type,
                      static_cast<unsigned>(record.address));
        facts.symbolFileLine = line;
        if (record.kind == 'A')
            facts.symbolFileLine += " " + std::to_string(record.count);
        symbols.emplace(entry.fullName, std::move(facts));
    }
    return symbols;
}

}  // namespace

const NameEntry* Analysis::nameAt(int line, int column) const {
    for (const auto& [name, entry] : names) {
        for (const TextRange& r : entry.references) {
            if (r.line == line && column >= r.column && column <= r.column + r.length)
                return &entry;
        }
    }
    return nullptr;
}

std::string compilerText(std::u16string_view text) {
    std::string bytes(text.size(), '\0');
    std::transform(text.begin(), text.end(), bytes.begin(),
                   [](char16_t c) { return static_cast<char>(c < 0x100 ? c : 0xBF); });
    return bytes;
}

Analysis analyse(std::string_view text, const compiler::CompilerOptions& options, const Analysis* previous) {
    Analysis analysis;
    compiler::CompileJob job;
    compiler::setSource(job, "", text);
    compiler::applyOptions(job, options);
    if (compiler::compile(job) == compiler::kCompileOk) {
        analysis.symbols = symbolsOf(job);
    } else {
        CompileDiagnostic error;
        error.range = {job.errorLine - 1, job.errorTokenColumn - 1, job.errorTokenLength};
        error.message = job.errorMessage;
        error.name = job.errorName;
        analysis.error = std::move(error);
        if (previous)
            analysis.symbols = previous->symbols;
    }
    compiler::releaseJob(job);
    analysis.names = Indexer(text).run();
    return analysis;
}

std::string_view wordAt(std::string_view line, int column, int* start) {
    if (column < 0 || static_cast<std::size_t>(column) > line.size())
        return {};
    std::size_t begin = static_cast<std::size_t>(column);
    // On a type suffix the word is the name before it.
    if (begin < line.size() && (line[begin] == '$' || line[begin] == '!') && begin > 0)
        --begin;
    std::size_t end = begin;
    while (begin > 0 && isNameChar(line[begin - 1]))
        --begin;
    while (end < line.size() && isNameChar(line[end]))
        ++end;
    if (end < line.size() && end > begin && (line[end] == '$' || line[end] == '!'))
        ++end;
    if (start)
        *start = static_cast<int>(begin);
    return line.substr(begin, end - begin);
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t end = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        pos = end + 1;
    }
    return lines;
}

}  // namespace orrery::qobls
