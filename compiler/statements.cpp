// The line structure and the statements of control flow, assignment, DIM and MODEL.

#include "models.h"
#include "parser.h"

namespace orrery::compiler {

NestingGuard::NestingGuard(int& depth, CompileContext& context) : m_depth(depth) {
    if (++m_depth > kMaxNesting) {
        --m_depth;
        context.report(msg::kParserStackOverflow);
        throw LineAbandoned{};
    }
}

// ---- tokens --------------------------------------------------------------------------------------

const Token& Parser::peek() {
    if (m_haveToken) return m_token;
    m_token = m_ctx.scanner.next();
    m_haveToken = true;
    m_ctx.lastToken = m_token;
    if (m_token.highBit) m_ctx.report(Err::invalid_character__bit_7_high);
    if (m_token.length > kMaxTokenLength) m_ctx.report(msg::kFlexBufferOverflow);
    if (m_token.code == kEnd && !m_ctx.endOfSource) endOfSource();
    return m_token;
}

Token Parser::take() {
    const Token token = peek();
    m_haveToken = false;
    return token;
}

bool Parser::accept(int code) {
    if (peek().code != code) return false;
    take();
    return true;
}

Token Parser::expect(int code) {
    if (peek().code != code) syntaxError();
    return take();
}

void Parser::syntaxError() {
    m_ctx.report(msg::kParseError);
    throw SyntaxError{};
}

bool Parser::atStatementEnd() {
    const int code = peek().code;
    return code == ':' || code == kNewline || code == COMMENT2 || code == kEnd;
}

void Parser::skipRestOfLine() {
    for (;;) {
        const int code = take().code;
        if (code == kNewline || code == kEnd) return;
    }
}

// At the end of the source the program gets its final Stop; a block still open is reported.
void Parser::endOfSource() {
    m_ctx.endOfSource = true;
    patchLineEndJumps();  // a last line without a line end: its IF lands on the final Stop
    m_code.emitOp(Op::Stop);
    m_ctx.stop = true;
    if (m_ctx.blocks.empty()) return;
    switch (m_ctx.blocks.back().kind) {
        case BlockKind::For: m_ctx.report(Err::FOR_NEXT_not_terminated); break;
        case BlockKind::While: m_ctx.report(Err::WHILE_WEND_not_terminated); break;
        case BlockKind::Repeat: m_ctx.report(Err::REPEAT_UNTIL_not_terminated); break;
        case BlockKind::Iff: m_ctx.report(Err::IFF_ENDIF_not_terminated); break;
    }
}

// ---- lines ---------------------------------------------------------------------------------------

// line -> [ LABELDEF ] [ statement { ':' statement } ] [ '//' comment ] newline
void Parser::parseLine() {
    LineEnd kind = LineEnd::Blank;
    try {
        const Token first = peek();
        if (first.code == kEnd) {
            m_haveToken = false;
            m_ctx.stop = true;
            return;
        }
        if (first.code == LABELDEF) {
            take();
            std::string_view name = textOf(first);
            name.remove_suffix(1);  // the colon
            if (!m_ctx.symbols->defineLabel(name, m_code, static_cast<std::uint32_t>(first.start)))
                throw SyntaxError{};
            kind = LineEnd::Label;
        }
        if (peek().code != kNewline && peek().code != kEnd) {
            if (kind == LineEnd::Blank) kind = LineEnd::Statements;
            statementList();
            accept(COMMENT2);
        }
        const int end = take().code;
        if (end != kNewline && end != kEnd) syntaxError();
    } catch (const LineAbandoned&) {
        if (m_haveToken && (m_token.code == kNewline || m_token.code == kEnd)) {
            m_haveToken = false;
        } else {
            m_haveToken = false;
            skipRestOfLine();
        }
    }
    finishLine(kind);
}

void Parser::patchLineEndJumps() {
    for (std::uint16_t jump : m_ctx.pendingLineEndJumps) m_code.patchWord(jump + 1u, m_code.offset());
    m_ctx.pendingLineEndJumps.clear();
}

void Parser::finishLine(LineEnd kind) {
    patchLineEndJumps();
    if (m_code.overflowed()) m_ctx.report(msg::kProgramTooLarge);
    if (m_ctx.endOfSource) return;
    ++m_ctx.line;
    m_ctx.lineStart = m_ctx.scanner.position();
    m_ctx.job->lineStart = static_cast<std::uint32_t>(m_ctx.lineStart);
    m_code.lineFinished(static_cast<std::uint16_t>(m_ctx.line), kind);
}

// statements -> statement { ':' statement }
void Parser::statementList() {
    statement();
    while (accept(':')) statement();
}

// statement -> (empty) | comment | assignment | keyword statement | function call
void Parser::statement() {
    NestingGuard guard(m_depth, m_ctx);
    m_ctx.symbols->restartTemporaries();
    if (atStatementEnd()) return;
    const Token token = peek();
    switch (token.code) {
        case COMMENT:
            take();
            return;
        case SYMBOL:
        case '?':
            assignmentList();
            break;
        case EXTNAME:
            functionStatement();
            break;
        case AMBIG:
            take();
            m_ctx.report(msg::kAmbiguousOperator);
            throw SyntaxError{};
        default:
            if (token.code >= kFirstKeyword && token.code < kLastKeyword) {
                keywordStatement(token.code);
            } else {
                syntaxError();
            }
    }
    m_ctx.symbols->restartTemporaries();
}

void Parser::keywordStatement(int keyword) {
    switch (keyword) {
        case kw::Rem: take(); return;
        case kw::Let:
            take();
            assignmentList();
            return;
        case kw::Dim: dimStatement(); return;
        case kw::If: ifStatement(); return;
        case kw::Iff: iffStatement(); return;
        case kw::Else: elseStatement(); return;
        case kw::Endif: endifStatement(); return;
        case kw::For: forStatement(); return;
        case kw::Next: nextStatement(); return;
        case kw::While: whileStatement(); return;
        case kw::Wend: wendStatement(); return;
        case kw::Repeat: repeatStatement(); return;
        case kw::Until: untilStatement(); return;
        case kw::Goto: jumpStatement(Op::Goto); return;
        case kw::Run: jumpStatement(Op::Run); return;
        case kw::Gosub: gosubStatement(); return;
        case kw::Onerr: onerrStatement(); return;
        case kw::Cbreak: cbreakStatement(); return;
        case kw::Hyb: hybStatement(); return;
        case kw::Sleep: sleepStatement(); return;
        case kw::Model: modelStatement(); return;
        case kw::Asm: asmStatement(); return;
        case kw::Return: take(); m_code.emitOp(Op::Return); return;
        case kw::Stop: take(); m_code.emitOp(Op::Stop); return;
        case kw::Done: take(); m_code.emitOp(Op::Done); return;
        case kw::Halt: take(); m_code.emitOp(Op::Halt); return;
        case kw::Quit: take(); m_code.emitOp(Op::Quit); return;
        case kw::Adloop: {
            take();
            if (peek().code != '(') {
                m_code.emitOp(Op::AdLoop);
                return;
            }
            // ADLOOP(n) = expression: an assignment to the variable of an analog channel.
            assignTo(adloopReference());
            if (accept(',')) assignmentList();
            return;
        }
        default:
            break;
    }
    if (hardwareStatement(keyword)) return;
    functionStatement();
}

// A function call standing alone: its value is dropped.
void Parser::functionStatement() {
    const Token token = peek();
    if (token.code != EXTNAME && !isFunctionKeyword(token.code)) syntaxError();
    primary();
    m_code.emitOp(Op::Pop);
}

// ---- assignment and DIM --------------------------------------------------------------------------

// assignments -> assignment { ',' assignment }
void Parser::assignmentList() {
    assignment();
    while (accept(',')) assignment();
}

// target -> '?' '(' expression ')' | ADLOOP '(' integer ')' | variable
// The places a value can be stored: assignments and INPUT share them.
Value Parser::assignableReference() {
    if (peek().code == '?') return questionReference();
    if (accept(kw::Adloop)) return adloopReference();
    return variableReference();
}

// assignment -> target '=' expression | target '=' VAL '(' string ')'
void Parser::assignment() {
    Value target = assignableReference();
    assignTo(target);
}

void Parser::assignTo(const Value& target) {
    expect('=');
    if (accept(kw::Val)) {
        expect('(');
        const Value text = expression();
        expect(')');
        requireString(text, Err::expecting_string_argument);
        if (isFloat(target.type)) {
            m_code.emitOp(Op::StrToFlt);
        } else if (isInt(target.type)) {
            m_code.emitOp(Op::StrToInt);
        } else {
            m_ctx.report(Err::expecting_numeric_variable);
            throw SyntaxError{};
        }
        m_code.emitOp(Op::PutVarVal);
        return;
    }
    const Value value = expression();
    if (isFloat(target.type) && isInt(value.type)) {
        m_code.emitOp(Op::Float);
        m_code.emitOp(Op::PutVarVal);
    } else if (isInt(target.type) && isFloat(value.type)) {
        m_code.emitOp(Op::Fix);
        m_code.emitOp(Op::PutVarVal);
    } else if (isString(target.type) && isString(value.type)) {
        m_code.emitOp(Op::CopyStr);
    } else if (isString(target.type) || isString(value.type)) {
        m_ctx.report(Err::mix_of_numeric_and_string_expr);
        throw SyntaxError{};
    } else {
        m_code.emitOp(Op::PutVarVal);
    }
}

// dim -> DIM name '(' d1 [ ',' d2 ] ')' { ',' name '(' d1 [ ',' d2 ] ')' }
void Parser::dimStatement() {
    expect(kw::Dim);
    do {
        const Token name = expect(SYMBOL);
        auto index = m_ctx.symbols->variable(textOf(name));
        if (!index) throw SyntaxError{};
        expect('(');
        auto dimension = [&]() -> std::int64_t {
            const std::size_t before = m_code.size();
            const Value value = expression();
            m_code.truncate(before);  // DIM emits no code
            if (!value.isConstant() || !isInt(value.type)) {
                m_ctx.report(Err::array_dimensions_must_be_integer);
                throw SyntaxError{};
            }
            return value.value;
        };
        const std::int64_t d1 = dimension();
        const std::int64_t d2 = accept(',') ? dimension() : 0;
        expect(')');
        const SymbolEntry& entry = m_ctx.symbols->entry(*index);
        // A string element takes 64 slots, so an index built as i + j x d2 cannot reach it.
        if (d2 != 0 && isString(entry.type)) {
            m_ctx.report("\"" + entry.name + "\" : String arrays can have one dimension only");
            throw SyntaxError{};
        }
        if (!m_ctx.symbols->makeArray(*index, d1, d2)) throw SyntaxError{};
    } while (accept(','));
}

// ---- blocks --------------------------------------------------------------------------------------

bool Parser::openBlock(Block block, Err tooDeep) {
    if (m_ctx.blocks.size() >= kMaxBlockDepth) {
        m_ctx.report(tooDeep);
        throw SyntaxError{};
    }
    m_ctx.blocks.push_back(block);
    return true;
}

Block* Parser::closeBlock(BlockKind kind, Err ownMismatch) {
    if (m_ctx.blocks.empty()) {
        m_ctx.report(ownMismatch);
        throw SyntaxError{};
    }
    if (m_ctx.blocks.back().kind != kind) {
        m_ctx.report(m_ctx.blocks.back().mismatch);
        throw SyntaxError{};
    }
    return &m_ctx.blocks.back();
}

void Parser::patchToHere(std::uint16_t placeholder) { m_code.patchWord(placeholder, m_code.offset()); }

// if -> IF expression statement      (governs the rest of the line)
void Parser::ifStatement() {
    expect(kw::If);
    const Value condition = expression();
    if (!isInt(condition.type)) {
        m_ctx.report(Err::expect_relational_argument);
        throw SyntaxError{};
    }
    m_ctx.pendingLineEndJumps.push_back(m_code.offset());
    m_code.emitOpWord(Op::GoFalse, 0);
    statement();
}

// iff -> IFF expression
void Parser::iffStatement() {
    expect(kw::Iff);
    expression();
    m_code.emitOpWord(Op::GoFalse, 0);
    Block block;
    block.kind = BlockKind::Iff;
    block.forwardPatch = static_cast<std::uint16_t>(m_code.offset() - 2);
    block.mismatch = Err::IFF_ENDIF_mismatch;
    openBlock(block, Err::IFF_ENDIF_nested_too_deeply);
}

// else -> ELSE
void Parser::elseStatement() {
    expect(kw::Else);
    Block* block = closeBlock(BlockKind::Iff, Err::IFF_ENDIF_mismatch);
    // A second ELSE would leave the first one's jump unpatched, pointing at the program's start.
    if (block->varOrElse) {
        m_ctx.report(Err::IFF_ENDIF_mismatch);
        throw SyntaxError{};
    }
    m_code.emitOpWord(Op::Goto, 0);
    block->elsePatch = static_cast<std::uint16_t>(m_code.offset() - 2);
    patchToHere(block->forwardPatch);
    block->varOrElse = 1;
}

// endif -> ENDIF
void Parser::endifStatement() {
    expect(kw::Endif);
    Block* block = closeBlock(BlockKind::Iff, Err::IFF_ENDIF_mismatch);
    patchToHere(block->varOrElse ? block->elsePatch : block->forwardPatch);
    m_ctx.blocks.pop_back();
}

// for -> FOR variable '=' expression TO expression [ STEP expression ]
void Parser::forStatement() {
    expect(kw::For);
    const Value variable = variableReference();
    if (variable.cls != kFlagScalar) syntaxError();
    if (!isInt(variable.type)) {
        m_ctx.report(Err::expecting_integer_variable);
        throw SyntaxError{};
    }
    expect('=');
    requireInt(expression(), Err::expecting_integer_expression);
    m_code.emitOp(Op::PutVarVal);
    m_code.emitOpByte(Op::BytePush, 0);
    const std::uint16_t loopStart = m_code.offset();
    expect(kw::To);
    requireInt(expression(), Err::expecting_integer_expression);
    if (accept(kw::Step)) {
        requireInt(expression(), Err::expecting_integer_expression);
    } else {
        m_code.emitOpByte(Op::BytePush, 1);
    }
    m_code.emitOpWords(Op::ForTest, static_cast<std::uint16_t>(variable.value), 0);
    Block block;
    block.kind = BlockKind::For;
    block.loopStart = loopStart;
    block.forwardPatch = static_cast<std::uint16_t>(m_code.offset() - 2);
    block.varOrElse = static_cast<std::uint16_t>(variable.value);
    block.mismatch = Err::FOR_NEXT_loop_mismatch;
    openBlock(block, Err::FOR_NEXT_nested_too_deeply);
}

// next -> NEXT variable
void Parser::nextStatement() {
    expect(kw::Next);
    const Token name = expect(SYMBOL);
    auto index = m_ctx.symbols->variable(textOf(name));
    if (!index) throw SyntaxError{};
    Block* block = closeBlock(BlockKind::For, Err::FOR_NEXT_loop_mismatch);
    const SymbolEntry& entry = m_ctx.symbols->entry(*index);
    if (!isInt(entry.type)) {
        m_ctx.report(Err::expecting_integer_variable);
        throw SyntaxError{};
    }
    if (!(entry.flags & kFlagScalar) || entry.address != block->varOrElse) {
        m_ctx.report(Err::FOR_NEXT_loop_mismatch);
        throw SyntaxError{};
    }
    m_code.emitOpWord(Op::Next, block->loopStart);
    patchToHere(block->forwardPatch);
    m_ctx.blocks.pop_back();
}

// while -> WHILE expression
void Parser::whileStatement() {
    expect(kw::While);
    Block block;
    block.kind = BlockKind::While;
    block.loopStart = m_code.offset();
    expression();
    m_code.emitOpWord(Op::GoFalse, 0);
    block.forwardPatch = static_cast<std::uint16_t>(m_code.offset() - 2);
    block.mismatch = Err::WHILE_WEND_loop_mismatch;
    openBlock(block, Err::WHILE_WEND_nested_too_deeply);
}

// wend -> WEND
void Parser::wendStatement() {
    expect(kw::Wend);
    Block* block = closeBlock(BlockKind::While, Err::WHILE_WEND_loop_mismatch);
    m_code.emitOpWord(Op::Goto, block->loopStart);
    patchToHere(block->forwardPatch);
    m_ctx.blocks.pop_back();
}

// repeat -> REPEAT
void Parser::repeatStatement() {
    expect(kw::Repeat);
    Block block;
    block.kind = BlockKind::Repeat;
    block.loopStart = m_code.offset();
    block.mismatch = Err::REPEAT_UNTIL_loop_mismatch;
    openBlock(block, Err::REPEAT_UNTIL_nested_too_deeply);
}

// until -> UNTIL expression
void Parser::untilStatement() {
    expect(kw::Until);
    expression();
    Block* block = closeBlock(BlockKind::Repeat, Err::REPEAT_UNTIL_loop_mismatch);
    m_code.emitOpWord(Op::GoFalse, block->loopStart);
    m_ctx.blocks.pop_back();
}

// ---- jumps ---------------------------------------------------------------------------------------

void Parser::emitLabelOperand(Op op, const Token& name) {
    const std::string_view text = textOf(name);
    if (text.back() == '$' || text.back() == '!') syntaxError();
    auto operand = m_ctx.symbols->referenceLabel(text, m_code.offset(), static_cast<std::uint32_t>(name.start));
    if (!operand) throw SyntaxError{};
    m_code.emitOpWord(op, *operand);
}

// goto -> GOTO label ;  run -> RUN label
void Parser::jumpStatement(Op op) {
    take();
    emitLabelOperand(op, expect(SYMBOL));
}

// gosub -> GOSUB label
void Parser::gosubStatement() {
    expect(kw::Gosub);
    const Token name = expect(SYMBOL);
    m_code.emitOp(Op::StackCheck);
    emitLabelOperand(Op::Gosub, name);
}

// onerr -> ONERR | ONERR label | ONERR label ',' variable
void Parser::onerrStatement() {
    expect(kw::Onerr);
    if (atStatementEnd()) {
        m_code.emitOpWord(Op::WordPush, kOmitted);
        m_code.emitOpWord(Op::VarAddr, kOmitted);
    } else {
        emitLabelOperand(Op::WordPush, expect(SYMBOL));
        if (accept(',')) {
            const Value variable = variableReference();
            if (!isInt(variable.type)) {
                m_ctx.report(Err::expecting_integer_variable);
                throw SyntaxError{};
            }
        } else {
            m_code.emitOpWord(Op::VarAddr, kOmitted);
        }
    }
    m_code.emitOp(Op::Onerr);
}

// cbreak -> CBREAK | CBREAK label
void Parser::cbreakStatement() {
    expect(kw::Cbreak);
    if (atStatementEnd()) {
        m_code.emitOpWord(Op::Cbreak, kOmitted);
    } else {
        emitLabelOperand(Op::Cbreak, expect(SYMBOL));
    }
}

// hyb -> HYB expression
void Parser::hybStatement() {
    expect(kw::Hyb);
    expression();
    m_code.emitOp(Op::Hibernate);
}

// sleep -> SLEEP expression | SLEEP expression statement      (the second governs the rest of the line)
void Parser::sleepStatement() {
    expect(kw::Sleep);
    requireInt(expression(), Err::expecting_integer_expression);
    if (atStatementEnd()) {
        m_code.emitOp(Op::Sleep);
        return;
    }
    m_code.emitOp(Op::SleepD1);
    m_ctx.pendingLineEndJumps.push_back(m_code.offset());
    m_code.emitOpWord(Op::GoFalse, 0);
    statement();
}

// model -> MODEL number | MODEL "name"
void Parser::modelStatement() {
    expect(kw::Model);
    const Token token = take();
    std::uint16_t model = 0;
    if (token.code == DECNUM) {
        const Value value = numericConstant(token);
        // The model code is 16 bits; a larger number must not wrap around onto a real model.
        if (value.value < 0 || value.value > 0xFFFF) {
            m_ctx.report(Err::unknown_model_number);
            throw SyntaxError{};
        }
        model = static_cast<std::uint16_t>(value.value);
    } else if (token.code == STRING) {
        bool ok = true;
        auto found = modelByNamePrefix(stringConstant(token, ok));
        if (!found) {
            m_ctx.report(Err::unknown_identifier_string);
            throw SyntaxError{};
        }
        model = *found;
    } else {
        syntaxError();
    }
    const bool onlyFirstLineNumber =
        m_code.size() == 3 && m_code.embedLineNumbers() && m_code.at(0) == static_cast<std::uint8_t>(Op::LinNum);
    if (!m_code.empty() && !onlyFirstLineNumber) {
        m_ctx.report(Err::must_appear_as_first_statement);
        throw SyntaxError{};
    }
    m_ctx.job->modelCode = model;
    m_ctx.familyMask = static_cast<std::uint16_t>(m_ctx.familyMask | familyBit(model));
    if (usesSlotAddressing(model)) {
        m_code.emitOpWord(Op::ModelDef, model);
        if (!m_ctx.symbols->resetArea(64, 32767, 1, 4)) throw SyntaxError{};
    }
}

}  // namespace orrery::compiler
