#pragma once
// The Quobol parser: hand-written recursive descent, one source line per call.
//
// The parser decides what to emit; the code buffer emits it. Each statement rule opens with its grammar
// line. A syntax error is reported as "parse error" and abandons the rest of the line (the compile stops
// after the line anyway); other errors are latched and parsing goes on to the end of the line, emitting
// nothing further for the failed part. Nesting of expressions and statements is bounded so that no input
// can exhaust the stack.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "context.h"

namespace orrery::compiler {

// What an expression, constant or variable reference leaves behind.
struct Value {
    bool ok = true;
    std::int32_t value = 0;    // constant value (float: its single-precision bits) or address
    std::uint32_t second = 0;  // array end address, extension number
    std::uint32_t cls = 0;     // symbol flags for names; kClassConstant for literals
    std::uint32_t type = kTypeInt;
    int symbol = -1;           // symbol table entry of a variable reference

    bool isConstant() const { return cls == kClassConstant; }
    static constexpr std::uint32_t kClassConstant = 4;
    static constexpr std::uint32_t kClassFunction = 1;
    static constexpr std::uint32_t kClassOperator = 2;
};

// A print-family statement: CALL, STORE, USEND, SDO, PRINT, SCROLL, DISPLY.
enum class ItemStatement : int { Call = 0, Store = 1, Usend = 2, Sdo = 3, Print = 4, Scroll = 6, Disply = 7 };
enum class ItemForm : int { Undecided = 0, Text = 1, Binary = 2 };

inline constexpr int kMaxNesting = 400;

bool isFunctionKeyword(int token);

// Thrown inside the parser to abandon the rest of a line after an error has been reported; caught by
// parseLine, never outside the parser.
struct LineAbandoned {};

// Bounds the nesting of expressions and statements; past kMaxNesting reports "parser stack overflow".
class NestingGuard {
public:
    NestingGuard(int& depth, CompileContext& context);
    ~NestingGuard() { --m_depth; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    int& m_depth;
};

class Parser {
public:
    explicit Parser(CompileContext& context) : m_ctx(context), m_code(context.code) {}

    // Parses one source line (or meets the end of the source).
    void parseLine();

private:
    using SyntaxError = LineAbandoned;

    // Tokens
    const Token& peek();
    Token take();
    bool accept(int code);
    Token expect(int code);
    std::string_view textOf(const Token& token) const { return m_ctx.scanner.text(token); }
    [[noreturn]] void syntaxError();
    bool atStatementEnd();
    void skipRestOfLine();
    void endOfSource();
    void finishLine(LineEnd kind);
    void patchLineEndJumps();

    // Statements (statements.cpp)
    void statementList();
    void statement();
    void keywordStatement(int keyword);
    void assignmentList();
    void assignment();
    void assignTo(const Value& target);
    void dimStatement();
    void ifStatement();
    void iffStatement();
    void elseStatement();
    void endifStatement();
    void forStatement();
    void nextStatement();
    void whileStatement();
    void wendStatement();
    void repeatStatement();
    void untilStatement();
    void jumpStatement(Op op);
    void gosubStatement();
    void onerrStatement();
    void cbreakStatement();
    void hybStatement();
    void sleepStatement();
    void modelStatement();
    void asmStatement();
    void assembleInlineBlock(std::size_t lengthOperand, std::uint16_t origin);
    std::uint16_t runTimeCodeBase();
    void functionStatement();
    bool openBlock(Block block, Err tooDeep);
    Block* closeBlock(BlockKind kind, Err ownMismatch);
    void emitLabelOperand(Op op, const Token& name);
    void patchToHere(std::uint16_t placeholder);

    // Expressions (expressions.cpp)
    Value expression();
    Value binary(int level);
    Value applyBinary(int kind, int token, Value left, Value right);
    Value unary();
    Value primary();
    Value constant(const Token& token);
    Value numericConstant(const Token& token);
    std::string stringConstant(const Token& token, bool& ok);
    Value variableReference();
    Value questionReference();
    Value adloopReference();
    Value assignableReference();
    Value arrayElement(int symbol, std::string_view name);
    Value functionCall(int keyword);
    Value functionArgument(std::uint32_t requiredType, Err error);
    Value mathFunction(Op op);
    Value stringFunction(int keyword);
    Value labptrFunction();
    Value extensionCall(const Token& name);
    Value pinList(Op constantOp, Op countedOp);
    Value fetch(Value reference);
    Value binaryArithmetic(Value left, Value right, Op intOp, Op floatOp);
    Value stringConcat(Value left, Value right);
    Value compare(Value left, Value right, int relation);
    bool requireInt(const Value& value, Err error);
    bool requireString(const Value& value, Err error);
    void toFloat(const Value& value);
    std::optional<int> temporary();
    bool checkSlotModelsCompatible();
    std::optional<std::int32_t> integerConstantArgument(Err error);
    void pushValue(std::int32_t value, std::uint32_t type);

    // Output, storage and input statements (output.cpp)
    void itemStatement(ItemStatement kind);
    void items(ItemStatement kind, ItemForm& form, int& count, int& storeSize);
    void textItem(ItemStatement kind, bool first);
    void binaryItem(ItemStatement kind, int index, int& storeSize);
    bool formatItem();
    void emitFormMarker(ItemStatement kind);
    void inputStatement();
    void inputTarget(std::string prompt, bool hasPrompt);
    void itextStatement();
    void otextStatement();

    // Hardware, timing and data-file statements (hardware.cpp)
    bool hardwareStatement(int keyword);
    void argumentsThen(std::initializer_list<Op> ops, int count, Err error);
    void integerArgument(Err error);
    void integerVariableArgument(Err error);
    void optionalVariable(Op op, Err error);
    void dataFileStatement(Op op);
    void dfsizeStatement();
    void burstStatement();
    void extensionStatement();
    void pinStatement(Op constantOp, Op countedOp);
    void xmitStatement();
    void ugetStatement();

    CompileContext& m_ctx;
    CodeBuffer& m_code;
    Token m_token;
    bool m_haveToken = false;
    int m_depth = 0;
    std::string m_promptText;  // text of the last variable reference, for INPUT prompts
};

}  // namespace orrery::compiler
