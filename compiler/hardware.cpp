// Hardware, timing and data-file statements; pin lists; extensions.

#include "models.h"
#include "parser.h"

namespace orrery::compiler {

namespace {
constexpr std::uint32_t kUgetBaudDividend = 307200;
constexpr std::uint16_t kOffloadDefaultRate = 6000;
}  // namespace

void Parser::integerArgument(Err error) { requireInt(expression(), error); }

void Parser::integerVariableArgument(Err error) { requireInt(variableReference(), error); }

// Arguments in source order, each an integer, then the instructions.
void Parser::argumentsThen(std::initializer_list<Op> ops, int count, Err error) {
    for (int i = 0; i < count; ++i) {
        if (i > 0) expect(',');
        integerArgument(error);
    }
    for (Op op : ops) m_code.emitOp(op);
}

// rtime -> RTIME [ variable ]      stime -> STIME [ variable ]      count -> COUNT [ variable ]
void Parser::optionalVariable(Op op, Err error) {
    if (atStatementEnd()) {
        m_code.emitOpWord(Op::WordPush, kOmitted);
    } else {
        integerVariableArgument(error);
    }
    m_code.emitOp(op);
}

// dfread -> DFREAD a ',' variable [ ',' c ]      dfsave -> DFSAVE a ',' variable [ ',' c ]
void Parser::dataFileStatement(Op op) {
    take();
    integerArgument(Err::expecting_integer_arguments);
    expect(',');
    integerVariableArgument(Err::expecting_integer_arguments);
    if (accept(',')) {
        integerArgument(Err::expecting_integer_arguments);
    } else {
        m_code.emitOpByte(Op::BytePush, 255);
    }
    m_code.emitOp(op);
}

// dfsize -> DFSIZE n      (no code: the data-file size goes into the program header)
void Parser::dfsizeStatement() {
    expect(kw::Dfsize);
    if (!(m_ctx.familyMask & (2u | 4u))) {
        m_ctx.report(Err::DFSIZE_for_Model_Cedar_or_Maple_only);
        throw SyntaxError{};
    }
    const std::size_t before = m_code.size();
    const Value size = expression();
    m_code.truncate(before);
    if (!size.isConstant() || !isInt(size.type)) {
        m_ctx.report(Err::expecting_integer_argument);
        throw SyntaxError{};
    }
    if (size.value < 0) {
        m_ctx.report(Err::expect_positive_integer_argument);
        throw SyntaxError{};
    }
    m_ctx.job->dataFileSize = size.value;
}

// burst -> BURST variable ',' n [ ',' format ]
void Parser::burstStatement() {
    expect(kw::Burst);
    integerVariableArgument(Err::expecting_integer_arguments);
    expect(',');
    integerArgument(Err::expecting_integer_arguments);
    std::uint8_t format = 1;
    if (accept(',')) {
        const Token token = take();
        const std::string_view text = textOf(token);
        if (token.code != DECNUM || text.size() > 10 || text.find_first_not_of('0') < text.size() - 1 ||
            text.back() > '3') {
            m_ctx.report(Err::invalid_storage_format_specifier);
            throw SyntaxError{};
        }
        format = static_cast<std::uint8_t>(text.back() - '0');
    }
    m_code.emitOpByte(Op::BytePush, format);
    m_code.emitOp(Op::Burst);
}

// extension -> EXTENSION name { ',' name }
void Parser::extensionStatement() {
    expect(kw::Extension);
    bool first = true;
    do {
        const Token name = take();
        // The model check is made on the first name, so that the error points at it as the other
        // per-name checks do.
        if (first && (m_ctx.familyMask & ~(16u | 32u))) {
            m_ctx.report(Err::command_unavailable_this_model);
            throw SyntaxError{};
        }
        first = false;
        if (name.code != SYMBOL && name.code != EXTNAME) syntaxError();
        const std::string_view text = textOf(name);
        if (text.back() == '$' || text.back() == '!') syntaxError();
        auto index = m_ctx.symbols->defineExtension(text);
        if (!index) throw SyntaxError{};
        const SymbolEntry& entry = m_ctx.symbols->entry(*index);
        m_code.emitOpWord(Op::ExtensionDef, static_cast<std::uint16_t>(entry.second));
        m_code.emitCountedName(std::string_view(entry.name).substr(0, 255));
    } while (accept(','));
}

// extension call -> name [ '(' [ expression { ',' expression } ] ')' ]
Value Parser::extensionCall(const Token& name) {
    if (!m_ctx.symbols->checkExtension(textOf(name), kFlagExtension)) throw SyntaxError{};
    const SymbolEntry& entry = m_ctx.symbols->entry(*m_ctx.symbols->find(textOf(name)));
    int count = 0;
    if (accept('(')) {
        if (peek().code != ')') {
            do {
                expression();
                ++count;
            } while (accept(','));
        }
        expect(')');
    }
    if (count > 255) {
        m_ctx.report(Err::too_many_arguments);
        throw SyntaxError{};
    }
    m_code.emitOpWord(Op::ExtensionRef, static_cast<std::uint16_t>(entry.second));
    m_code.emitByte(static_cast<std::uint8_t>(count));
    return Value{true, 0, entry.second, Value::kClassFunction, kTypeInt, -1};
}

// pins -> pin { ',' pin }: all constant pins become one mask; otherwise the pins stay on the stack.
Value Parser::pinList(Op constantOp, Op countedOp) {
    const bool function = constantOp == Op::Cpin;
    if (function) expect('(');
    const std::size_t rewind = m_code.size();
    bool allConstant = true;
    std::uint32_t mask = 0;
    int count = 0;
    do {
        const Value pin = expression();
        if (allConstant && pin.isConstant() && isInt(pin.type)) {
            const PinMask pinMaskOf = pinMask(m_ctx.job->modelCode, pin.value);
            if (pinMaskOf.error) {
                m_ctx.report(*pinMaskOf.error);
                throw SyntaxError{};
            }
            mask |= pinMaskOf.mask;
        } else {
            allConstant = false;
        }
        ++count;
    } while (accept(','));
    if (function) expect(')');
    if (allConstant) {
        if (m_ctx.job->modelCode == 0) {
            m_ctx.report(Err::specify_MODEL_for_this_command);
            throw SyntaxError{};
        }
        if (mutuallyExclusive(m_ctx.familyMask)) {
            m_ctx.report(Err::mutually_exclusive_models);
            throw SyntaxError{};
        }
        m_code.truncate(rewind);
        m_code.emitOpLong(Op::LongPush, mask);
        m_code.emitOp(constantOp);
    } else {
        if (count > 255) {
            m_ctx.report(Err::too_many_arguments);
            throw SyntaxError{};
        }
        m_code.emitOpByte(countedOp, static_cast<std::uint8_t>(count));
    }
    return Value{true, 0, 0, Value::kClassFunction, kTypeInt, -1};
}

// pset -> PSET pins      pclr -> PCLR pins      ptog -> PTOG pins
void Parser::pinStatement(Op constantOp, Op countedOp) {
    take();
    pinList(constantOp, countedOp);
}

// xmit -> XMIT '+' | XMIT '-'
void Parser::xmitStatement() {
    expect(kw::Xmit);
    const int sign = take().code;
    if (sign != '+' && sign != '-') syntaxError();
    m_code.emitOpByte(Op::BytePush, sign == '+' ? 255 : 0);
    m_code.emitOp(Op::Xmit);
}

// uget -> UGET baud ',' variable ',' a ',' b
void Parser::ugetStatement() {
    expect(kw::Uget);
    m_code.emitOpLong(Op::LongPush, kUgetBaudDividend);
    integerArgument(Err::expecting_integer_arguments);
    m_code.emitOp(Op::Divide);
    expect(',');
    integerVariableArgument(Err::expecting_integer_arguments);
    expect(',');
    argumentsThen({Op::Xchng2, Op::Xchng1, Op::Uget}, 2, Err::expecting_integer_arguments);
}

bool Parser::hardwareStatement(int keyword) {
    switch (keyword) {
        case kw::Print: itemStatement(ItemStatement::Print); return true;
        case kw::Scroll: itemStatement(ItemStatement::Scroll); return true;
        case kw::Disply: itemStatement(ItemStatement::Disply); return true;
        case kw::Store: itemStatement(ItemStatement::Store); return true;
        case kw::Usend: itemStatement(ItemStatement::Usend); return true;
        case kw::Sdo: itemStatement(ItemStatement::Sdo); return true;
        case kw::Call: itemStatement(ItemStatement::Call); return true;
        case kw::Input: inputStatement(); return true;
        case kw::Itext: itextStatement(); return true;
        case kw::Otext: otextStatement(); return true;
        case kw::Burst: burstStatement(); return true;
        case kw::Count:
            take();
            if (peek().code == '(') {
                functionCall(kw::Count);
                m_code.emitOp(Op::Pop);
            } else {
                optionalVariable(Op::CountVar, Err::expecting_integer_variable);
            }
            return true;
        case kw::Dfread: dataFileStatement(Op::DfRead); return true;
        case kw::Dfsave: dataFileStatement(Op::DfSave); return true;
        case kw::Dfsize: dfsizeStatement(); return true;
        case kw::Doffld:
            take();
            argumentsThen({}, 2, Err::expecting_integer_arguments);
            if (accept(',')) {
                integerVariableArgument(Err::expecting_integer_variable);
            } else {
                m_code.emitOpWord(Op::WordPush, kOmitted);
            }
            m_code.emitOp(Op::Doffld);
            return true;
        case kw::Offld:
            take();
            argumentsThen({}, 2, Err::expecting_integer_arguments);
            if (accept(',')) {
                integerArgument(Err::expecting_integer_arguments);
                expect(',');
                integerVariableArgument(Err::expecting_integer_arguments);
            } else {
                m_code.emitOpWord(Op::WordPush, kOffloadDefaultRate);
                m_code.emitOpWord(Op::WordPush, kOmitted);
            }
            m_code.emitOp(Op::Offld);
            return true;
        case kw::Dskoff: take(); m_code.emitOp(Op::DiskOff); return true;
        case kw::Dskon:
            take();
            integerVariableArgument(Err::expecting_integer_variable);
            m_code.emitOp(Op::DiskOn);
            return true;
        case kw::Dtoa: take(); argumentsThen({Op::DigitalToAnalog}, 1, Err::expecting_integer_argument); return true;
        case kw::Rate: take(); argumentsThen({Op::Rate}, 1, Err::expecting_integer_argument); return true;
        case kw::Xshake: take(); argumentsThen({Op::Xshake}, 1, Err::expecting_integer_argument); return true;
        case kw::Rtime: take(); optionalVariable(Op::Rtime, Err::expecting_integer_argument); return true;
        case kw::Stime: take(); optionalVariable(Op::Stime, Err::expecting_integer_argument); return true;
        case kw::Tone: take(); argumentsThen({Op::Xchng1, Op::Tone}, 2, Err::expecting_integer_arguments); return true;
        case kw::Uget: ugetStatement(); return true;
        case kw::Vstore:
            take();
            expression();
            expect(',');
            expression();
            m_code.emitOp(Op::Eeput);
            return true;
        case kw::Xmit: xmitStatement(); return true;
        case kw::Poke:
        case kw::Pokew:
        case kw::Pokel:
            take();
            argumentsThen({}, 2, Err::expecting_integer_arguments);
            m_code.emitOpByte(Op::BytePush, keyword == kw::Poke ? 1 : keyword == kw::Pokew ? 2 : 4);
            m_code.emitOp(Op::Poke);
            return true;
        case kw::Pset: pinStatement(Op::Cpset, Op::Pset); return true;
        case kw::Pclr: pinStatement(Op::Cpclr, Op::Pclr); return true;
        case kw::Ptog: pinStatement(Op::Cptog, Op::Ptog); return true;
        case kw::Extension: extensionStatement(); return true;
        default:
            return false;
    }
}

}  // namespace orrery::compiler
