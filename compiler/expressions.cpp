// Expressions, variable references and functions: types, conversions and the code they leave.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "escapes.h"
#include "models.h"
#include "parser.h"

namespace orrery::compiler {

namespace {
bool isSlotModel(std::uint16_t model) { return usesSlotAddressing(model); }

std::uint32_t floatBits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::string formatIndex(const char* pattern, std::int64_t n) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, static_cast<long>(n));
    return buffer;
}
}  // namespace

bool Parser::requireInt(const Value& value, Err error) {
    if (isInt(value.type)) return true;
    m_ctx.report(error);
    throw SyntaxError{};
}

bool Parser::requireString(const Value& value, Err error) {
    if (isString(value.type)) return true;
    m_ctx.report(error);
    throw SyntaxError{};
}

void Parser::toFloat(const Value& value) {
    if (!isFloat(value.type)) m_code.emitOp(Op::Float);
}

std::optional<int> Parser::temporary() {
    auto index = m_ctx.symbols->temporaryString();
    if (!index) {
        m_ctx.report(msg::kTooManyTemporaries);
        throw SyntaxError{};
    }
    return index;
}

bool Parser::checkSlotModelsCompatible() {
    if (m_ctx.familyMask & ~(16u | 32u)) {
        m_ctx.report(Err::mutually_exclusive_models);
        throw SyntaxError{};
    }
    return true;
}

void Parser::pushValue(std::int32_t value, std::uint32_t type) {
    if (isString(type)) return;
    if (isFloat(type)) {
        m_code.pushFloatBits(static_cast<std::uint32_t>(value));
    } else {
        m_code.pushInt(value);
    }
}

// Binary operators, lowest precedence first. All are left-associative except the comparisons, which
// do not chain (A = B = C is a syntax error).
namespace {
enum class Binary { Or, And, Compare, Add, Subtract, Multiply, Divide, Remainder };

struct BinaryOperator {
    int token;
    int level;
    Binary kind;
};

constexpr int kCompareLevel = 3;
constexpr int kMultiplyLevel = 5;
constexpr BinaryOperator kBinaryOperators[] = {
    {'|', 1, Binary::Or},      {'&', 2, Binary::And},      {'=', 3, Binary::Compare},    {NE, 3, Binary::Compare},
    {'<', 3, Binary::Compare}, {'>', 3, Binary::Compare},  {LE, 3, Binary::Compare},     {GE, 3, Binary::Compare},
    {'+', 4, Binary::Add},     {'-', 4, Binary::Subtract}, {'*', 5, Binary::Multiply},   {'/', 5, Binary::Divide},
    {'%', 5, Binary::Remainder},
};

const BinaryOperator* binaryOperator(int token, int level) {
    for (const BinaryOperator& op : kBinaryOperators) {
        if (op.token == token && op.level == level) return &op;
    }
    return nullptr;
}
}  // namespace

// expression -> binary(1)
Value Parser::expression() {
    NestingGuard guard(m_depth, m_ctx);
    return binary(1);
}

// binary(n) -> binary(n+1) { operator-of-level-n binary(n+1) }      binary(6) -> unary
Value Parser::binary(int level) {
    if (level > kMultiplyLevel) return unary();
    Value left = binary(level + 1);
    while (const BinaryOperator* op = binaryOperator(peek().code, level)) {
        take();
        const Value right = binary(level + 1);
        left = applyBinary(static_cast<int>(op->kind), op->token, left, right);
        if (level == kCompareLevel) {
            if (binaryOperator(peek().code, level)) syntaxError();
            break;
        }
    }
    return left;
}

Value Parser::applyBinary(int kind, int token, Value left, Value right) {
    const Value intResult{true, 0, 0, Value::kClassOperator, kTypeInt, -1};
    switch (static_cast<Binary>(kind)) {
        case Binary::Or:
        case Binary::And:
            if (isString(left.type) || isString(right.type)) {
                m_ctx.report(Err::this_is_a_numeric_operation);
                throw SyntaxError{};
            }
            m_code.emitOp(static_cast<Binary>(kind) == Binary::Or ? Op::Or : Op::And);
            return intResult;
        case Binary::Compare:
            return compare(left, right, token);
        case Binary::Add:
            if (isString(left.type) || isString(right.type)) return stringConcat(left, right);
            return binaryArithmetic(left, right, Op::Plus, Op::Fplus);
        case Binary::Subtract:
            return binaryArithmetic(left, right, Op::Minus, Op::Frminus);
        case Binary::Multiply:
            return binaryArithmetic(left, right, Op::Multiply, Op::Fmultiply);
        case Binary::Divide:
            return binaryArithmetic(left, right, Op::Divide, Op::Frdivide);
        case Binary::Remainder:
            if (!isInt(left.type) || !isInt(right.type)) {
                m_ctx.report(Err::expecting_integer_arguments);
                throw SyntaxError{};
            }
            m_code.emitOp(Op::Modulo);
            return Value{true, 0, 0, Value::kClassOperator, left.type, -1};
    }
    return intResult;
}

Value Parser::compare(Value left, Value right, int relation) {
    if (isFloat(left.type) && isFloat(right.type)) {
        m_code.emitOp(Op::FltCmp);
    } else if (isInt(left.type) && isFloat(right.type)) {
        m_code.emitOp(Op::Float2);
        m_code.emitOp(Op::FltCmp);
    } else if (isFloat(left.type) && isInt(right.type)) {
        m_code.emitOp(Op::Float);
        m_code.emitOp(Op::FltCmp);
    } else if (isString(left.type) && isString(right.type)) {
        m_code.emitOp(Op::StrCmp);
    } else if (isInt(left.type) && isInt(right.type)) {
        m_code.emitOp(Op::IntCmp);
    } else {
        m_ctx.report(msg::kCompareStringNumeric);
        throw SyntaxError{};
    }
    switch (relation) {
        case '=': m_code.emitOp(Op::Equal); break;
        case NE: m_code.emitOp(Op::NotEqual); break;
        case GE: m_code.emitOp(Op::GreaterThanOrEqual); break;
        case '>': m_code.emitOp(Op::GreaterThan); break;
        case LE: m_code.emitOp(Op::LessThanOrEqual); break;
        default: m_code.emitOp(Op::LessThan); break;
    }
    return Value{true, 0, 0, Value::kClassOperator, kTypeInt, -1};
}

// unary -> '-' binary(5) | primary
// Unary minus binds like binary minus: -A*B is -(A*B), -A-B is (-A)-B.
Value Parser::unary() {
    if (peek().code != '-') return primary();
    take();
    Value operand;
    {
        NestingGuard guard(m_depth, m_ctx);
        operand = binary(kMultiplyLevel);
    }
    if (isFloat(operand.type)) {
        m_code.emitOp(Op::Fnegate);
    } else if (isInt(operand.type)) {
        m_code.emitOp(Op::Negate);
    } else {
        m_ctx.report(Err::this_is_a_numeric_operation);
        throw SyntaxError{};
    }
    // A negated literal is still known at compile time (B(-1) is range-checked, PSET -1 refused), while
    // its code stays the positive push followed by the negation.
    if (operand.isConstant()) {
        const auto bits = static_cast<std::uint32_t>(operand.value);
        const std::uint32_t negated = isFloat(operand.type) ? bits ^ 0x80000000u : 0u - bits;
        return Value{true, static_cast<std::int32_t>(negated), 0, Value::kClassConstant, operand.type, -1};
    }
    return Value{true, 0, 0, Value::kClassOperator, operand.type, -1};
}

Value Parser::binaryArithmetic(Value left, Value right, Op intOp, Op floatOp) {
    std::uint32_t type = left.type;
    if (isFloat(left.type) && isFloat(right.type)) {
        m_code.emitOp(floatOp);
    } else if (isInt(left.type) && isFloat(right.type)) {
        m_code.emitOp(Op::Float2);
        m_code.emitOp(floatOp);
        type = kTypeFloat;
    } else if (isFloat(left.type) && isInt(right.type)) {
        m_code.emitOp(Op::Float);
        m_code.emitOp(floatOp);
        type = kTypeFloat;
    } else {
        m_code.emitOp(intOp);
    }
    return Value{true, 0, 0, Value::kClassOperator, type, -1};
}

Value Parser::stringConcat(Value left, Value right) {
    if (!isString(left.type) || !isString(right.type)) {
        m_ctx.report(Err::mix_of_numeric_and_string_expr);
        throw SyntaxError{};
    }
    const int t = *temporary();
    m_code.emitOpWord(Op::VarAddr, static_cast<std::uint16_t>(m_ctx.symbols->entry(t).address));
    m_code.emitOp(Op::Xchng2);
    m_code.emitOp(Op::Xchng1);
    m_code.emitOp(Op::AppStr);
    return Value{true, 0, 0, Value::kClassOperator, kTypeString, t};
}

// primary -> constant | string | '(' expression ')' | variable | '?' ... | ADLOOP '(' n ')'
//          | MODEL | VERS | FPERR | DFMAX | function '(' arguments ')' | extension '(' arguments ')'
Value Parser::primary() {
    const Token token = peek();
    switch (token.code) {
        case DECNUM:
        case HEXNUM:
        case OCTNUM:
        case BINNUM:
        case FLTNUM:
        case CHARCONST: {
            take();
            Value value = numericConstant(token);
            pushValue(value.value, value.type);
            return value;
        }
        case STRING: {
            take();
            bool ok = true;
            const std::string text = stringConstant(token, ok);
            m_code.emitStringConst(text);
            return Value{true, 0, 0, Value::kClassConstant, kTypeString, -1};
        }
        case '(': {
            take();
            Value inner = expression();
            expect(')');
            return inner;
        }
        case SYMBOL:
            return fetch(variableReference());
        case '?':
            return fetch(questionReference());
        case kw::Adloop:
            take();
            return fetch(adloopReference());
        case kw::Model:
            take();
            m_code.emitOp(Op::Mod);
            return Value{true, 0, 0, Value::kClassFunction, kTypeInt, -1};
        case kw::Vers:
            take();
            m_code.emitOp(Op::Vers);
            return Value{true, 0, 0, Value::kClassFunction, kTypeInt, -1};
        case kw::Fperr:
            take();
            m_code.emitOp(Op::Fperror);
            return Value{true, 0, 0, Value::kClassFunction, kTypeInt, -1};
        case kw::Dfmax:
            take();
            m_code.emitOp(Op::Dfmax);
            return Value{true, 0, 0, Value::kClassFunction, kTypeInt, -1};
        case EXTNAME:
            take();
            return extensionCall(token);
        case AMBIG:
            take();
            m_ctx.report(msg::kAmbiguousOperator);
            throw SyntaxError{};
        default:
            break;
    }
    if (isFunctionKeyword(token.code)) {
        take();
        return functionCall(token.code);
    }
    syntaxError();
}

// The keywords that name functions of an expression (each handled by functionCall).
bool isFunctionKeyword(int token) {
    static constexpr int kFunctions[] = {
        kw::Abs,  kw::Asflt, kw::Float, kw::Int,   kw::Fix,    kw::Aint,   kw::Log,    kw::Log10, kw::Exp,
        kw::Sin,  kw::Cos,   kw::Tan,   kw::Atn,   kw::Sqr,    kw::Chan,   kw::Count,  kw::Sdi,   kw::Temp,
        kw::Vget, kw::Period, kw::Peek, kw::Peekw, kw::Peekl,  kw::Len,    kw::Varptr, kw::Labptr, kw::Instr,
        kw::Left, kw::Right, kw::Mid,   kw::Str,   kw::Gets,   kw::Get,    kw::Pin,
    };
    for (int function : kFunctions) {
        if (function == token) return true;
    }
    return false;
}

Value Parser::numericConstant(const Token& token) {
    std::string_view text = textOf(token);
    auto outOfRange = [&]() -> Value {
        m_ctx.report(Err::constant_out_of_range);
        throw SyntaxError{};
    };
    auto integer = [](std::int64_t v) {
        return Value{true, static_cast<std::int32_t>(static_cast<std::uint32_t>(v)), 0, Value::kClassConstant,
                     kTypeInt, -1};
    };
    auto radix = [&](std::string_view digits, int base, std::size_t maxDigits) -> Value {
        if (digits.size() > maxDigits) return outOfRange();
        std::uint64_t value = 0;
        for (char c : digits) {
            const int d = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
            value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        }
        // Eleven octal digits can exceed 32 bits; such a value does not fit the logger's integers.
        if (value > 0xFFFFFFFFu) return outOfRange();
        return integer(static_cast<std::int64_t>(value));
    };
    switch (token.code) {
        case DECNUM:
            if (text.size() > 10 || (text.size() == 10 && text > std::string_view("2147483647"))) return outOfRange();
            return radix(text, 10, 10);
        case HEXNUM:
            return radix(text.substr(2), 16, 8);
        case OCTNUM:
            return radix(text.substr(2), 8, 11);
        case BINNUM:
            return radix(text.substr(2), 2, 32);
        case FLTNUM: {
            // from_chars reads the C form whatever locale the host program has set.
            double value = 0.0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (error != std::errc() || end != text.data() + text.size()) return outOfRange();
            const double magnitude = std::fabs(value);
            if (value != 0.0 && (magnitude > 3.40282e38 || magnitude < 1.17549e-38)) return outOfRange();
            return Value{true, static_cast<std::int32_t>(floatBits(static_cast<float>(value))), 0,
                         Value::kClassConstant, kTypeFloat, -1};
        }
        case CHARCONST: {
            const std::string chars = decodeEscapes(text.substr(1, text.size() - 2));
            std::uint32_t packed = 0;
            for (std::size_t i = 0; i < chars.size() && i < 4; ++i) {
                packed = packed << 8 | static_cast<unsigned char>(chars[i]);
            }
            return integer(packed);
        }
        default:
            syntaxError();
    }
}

// A string constant longer than 255 characters cannot be stored behind its one length byte.
std::string Parser::stringConstant(const Token& token, bool& ok) {
    std::string_view text = textOf(token);
    std::string value = decodeEscapes(text.substr(1, text.size() - 2));
    if (value.size() > 255) {
        ok = false;
        m_ctx.report(msg::kStringTooLong);
        throw SyntaxError{};
    }
    return value;
}

Value Parser::fetch(Value reference) {
    if (!isString(reference.type)) m_code.emitOp(Op::FetchVarVal);
    return reference;
}

// variable -> name | name '(' index ')' | name '(' index ',' index ')'
Value Parser::variableReference() {
    const Token name = expect(SYMBOL);
    const std::string_view written = textOf(name);
    auto index = m_ctx.symbols->variable(written);
    if (!index) throw SyntaxError{};
    m_promptText = std::string(written);
    if (peek().code == '(') return arrayElement(*index, written);
    const SymbolEntry& entry = m_ctx.symbols->entry(*index);
    if (!(entry.flags & kFlagScalar)) {
        m_ctx.report(Err::cannot_redefine_as_variable);
        throw SyntaxError{};
    }
    m_code.emitOpWord(Op::VarAddr, static_cast<std::uint16_t>(entry.address));
    return Value{true, static_cast<std::int32_t>(entry.address), 0, kFlagScalar, entry.type, *index};
}

Value Parser::arrayElement(int symbol, std::string_view name) {
    expect('(');
    const Value first = expression();
    requireInt(first, Err::array_index_must_be_integer);
    const SymbolEntry& entry = m_ctx.symbols->entry(symbol);
    const bool twoDimensions = accept(',');
    if (twoDimensions) {
        const Value second = expression();
        requireInt(second, Err::array_index_must_be_integer);
    }
    expect(')');
    if (!(entry.flags & kFlagArray)) {
        m_ctx.report(Err::expecting_array_variable);
        throw SyntaxError{};
    }
    const bool slots = isSlotModel(m_ctx.job->modelCode);
    if (twoDimensions) {
        // Index = i + j x d2. A string array has one dimension only (DIM refuses two), so its d2 is 0
        // and is pushed as an integer rather than left out.
        if (isFloat(entry.type)) {
            m_code.pushFloatBits(entry.dim2);
        } else {
            m_code.pushInt(static_cast<std::int32_t>(entry.dim2));
        }
        m_code.emitOp(Op::Multiply);
        m_code.emitOp(Op::Plus);
        m_promptText = std::string(name) + "(*,*)";
    } else if (first.isConstant()) {
        if (slots) checkSlotModelsCompatible();
        const std::int64_t n = first.value;
        const std::int64_t base = entry.address;
        const std::int64_t end = entry.second;
        const bool outside = slots ? (n < 0 || base + n >= end) : (n < 0 || end < base + 4 * n);
        if (outside) {
            m_ctx.report(Err::array_index_out_of_range);
            throw SyntaxError{};
        }
        m_promptText = std::string(name) + formatIndex("(%ld)", n);
    } else {
        m_promptText = std::string(name) + "(*)";
    }
    m_code.emitOpWords(Op::VarPlusOffset, static_cast<std::uint16_t>(entry.address),
                       static_cast<std::uint16_t>(entry.second));
    return Value{true, static_cast<std::int32_t>(entry.address), entry.second, kFlagArray, entry.type, symbol};
}

// question -> '?' | '?' '(' index ')'
Value Parser::questionReference() {
    expect('?');
    const bool slots = isSlotModel(m_ctx.job->modelCode);
    const Value result{true, 0, 0, kFlagScalar, kTypeInt, -1};
    if (!accept('(')) {
        m_promptText = "?";
        if (slots) {
            checkSlotModelsCompatible();
            m_code.emitOpLong(Op::LongPush, 0xFFFFFFFF);
            m_code.emitOp(Op::TimeVar);
        } else {
            m_code.emitOpWord(Op::VarAddr, 64);
        }
        return result;
    }
    const std::size_t before = m_code.size();
    const Value index = expression();
    expect(')');
    requireInt(index, Err::array_index_must_be_integer);
    if (slots) {
        checkSlotModelsCompatible();
        m_code.emitOp(Op::TimeVar);
        m_promptText = index.isConstant() ? formatIndex("?(%ld)", index.value) : "?(*)";
    } else if (index.isConstant()) {
        if (index.value < 0 || index.value > 5) {
            m_ctx.report(Err::array_index_out_of_range);
            throw SyntaxError{};
        }
        m_code.truncate(before);
        m_code.emitOpWord(Op::VarAddr, static_cast<std::uint16_t>(69 + 4 * index.value));
        m_promptText = formatIndex("?(%ld)", index.value);
    } else {
        m_code.emitOpWords(Op::VarPlusOffset, 69, 92);
        m_promptText = "?(*)";
    }
    return result;
}

// adloop -> ADLOOP '(' n ')'      (the keyword is already taken)
Value Parser::adloopReference() {
    expect('(');
    const std::size_t before = m_code.size();
    const Value index = expression();
    expect(')');
    requireInt(index, Err::array_index_must_be_integer);
    if (!index.isConstant()) {
        m_ctx.report(Err::expecting_integer_constant);
        throw SyntaxError{};
    }
    if (index.value < 0 || index.value > 7) {
        m_ctx.report(Err::array_index_out_of_range);
        throw SyntaxError{};
    }
    m_code.truncate(before);
    m_code.emitOpWord(Op::VarAddr, static_cast<std::uint16_t>(0x7C00 + 4 * index.value));
    m_promptText = formatIndex("adloop(%ld)", index.value);
    return Value{true, 0x7C00 + 4 * index.value, 0, kFlagScalar, kTypeInt, -1};
}

Value Parser::functionArgument(std::uint32_t requiredType, Err error) {
    Value value = expression();
    if (requiredType == kTypeInt) requireInt(value, error);
    if (requiredType == kTypeString) requireString(value, error);
    if (requiredType == kTypeFloat && !isFloat(value.type)) {
        m_ctx.report(error);
        throw SyntaxError{};
    }
    return value;
}

Value Parser::mathFunction(Op op) {
    const Value x = expression();
    if (isString(x.type)) {
        m_ctx.report(Err::expecting_float_argument);
        throw SyntaxError{};
    }
    toFloat(x);
    m_code.emitOp(op);
    return Value{true, 0, 0, Value::kClassFunction, kTypeFloat, -1};
}

// function -> keyword '(' arguments ')'      (the keyword is already taken)
Value Parser::functionCall(int keyword) {
    const Value intResult{true, 0, 0, Value::kClassFunction, kTypeInt, -1};
    const Value floatResult{true, 0, 0, Value::kClassFunction, kTypeFloat, -1};
    switch (keyword) {
        case kw::Left:
        case kw::Right:
        case kw::Mid:
        case kw::Str:
        case kw::Gets:
            return stringFunction(keyword);
        case kw::Labptr:
            return labptrFunction();
        case kw::Pin:
            return pinList(Op::Cpin, Op::Pin);
        default:
            break;
    }
    expect('(');
    Value result = intResult;
    switch (keyword) {
        case kw::Abs: {
            const Value x = expression();
            m_code.emitOp(isFloat(x.type) ? Op::Fabs : Op::Abs);
            result = Value{true, 0, 0, Value::kClassFunction, x.type, -1};
            break;
        }
        case kw::Asflt:
            expression();
            result = Value{true, 0, 0, Value::kClassFunction, kTypeAsFloat, -1};
            break;
        case kw::Float:
            functionArgument(kTypeInt, Err::expecting_integer_argument);
            m_code.emitOp(Op::Float);
            result = floatResult;
            break;
        case kw::Int:
            functionArgument(kTypeFloat, Err::expecting_float_argument);
            m_code.emitOp(Op::Fint);
            break;
        case kw::Fix:
            functionArgument(kTypeFloat, Err::expecting_float_argument);
            m_code.emitOp(Op::Fix);
            break;
        case kw::Aint:
            functionArgument(kTypeFloat, Err::expecting_float_argument);
            m_code.emitOp(Op::Faint);
            result = floatResult;
            break;
        case kw::Log: result = mathFunction(Op::Flog); break;
        case kw::Log10: result = mathFunction(Op::Flog10); break;
        case kw::Exp: result = mathFunction(Op::Fexp); break;
        case kw::Sin: result = mathFunction(Op::Fsin); break;
        case kw::Cos: result = mathFunction(Op::Fcos); break;
        case kw::Tan: result = mathFunction(Op::Ftan); break;
        case kw::Atn: result = mathFunction(Op::Fatn); break;
        case kw::Sqr: result = mathFunction(Op::Fsqrt); break;
        case kw::Chan:
        case kw::Count:
        case kw::Sdi:
        case kw::Temp:
        case kw::Vget: {
            functionArgument(kTypeInt, Err::expecting_integer_argument);
            const Op op = keyword == kw::Chan    ? Op::Chan
                          : keyword == kw::Count ? Op::Count
                          : keyword == kw::Sdi   ? Op::Sdi
                          : keyword == kw::Temp  ? Op::Temp
                                                 : Op::Eeget;
            m_code.emitOp(op);
            break;
        }
        case kw::Period:
            functionArgument(kTypeInt, Err::expecting_integer_arguments);
            expect(',');
            functionArgument(kTypeInt, Err::expecting_integer_arguments);
            m_code.emitOp(Op::Period);
            break;
        case kw::Peek:
        case kw::Peekw:
        case kw::Peekl:
            functionArgument(kTypeInt, Err::expecting_integer_argument);
            m_code.emitOpByte(Op::BytePush, keyword == kw::Peek ? 1 : keyword == kw::Peekw ? 2 : 4);
            m_code.emitOp(Op::Peek);
            break;
        case kw::Len:
            functionArgument(kTypeString, Err::expecting_string_argument);
            // The 800 keeps a string's length where the others keep its first character.
            m_code.emitOpByte(Op::BytePush, m_ctx.job->modelCode == 800 ? 0 : 1);
            m_code.emitOp(Op::Peek);
            break;
        case kw::Varptr: {
            const Token name = expect(SYMBOL);
            auto index = m_ctx.symbols->variable(textOf(name));
            if (!index) throw SyntaxError{};
            m_code.emitOpWord(Op::VarAddr, static_cast<std::uint16_t>(m_ctx.symbols->entry(*index).address));
            break;
        }
        case kw::Instr: {
            const Value first = expression();
            expect(',');
            const Value second = expression();
            if (accept(',')) {
                const Value third = expression();
                requireInt(first, Err::expecting_integer_argument);
                requireString(second, Err::expecting_string_argument);
                requireString(third, Err::expecting_string_argument);
                m_code.emitOp(Op::Xchng1);
            } else {
                requireString(first, Err::expecting_string_argument);
                requireString(second, Err::expecting_string_argument);
                m_code.emitOpByte(Op::BytePush, 1);
                m_code.emitOp(Op::Xchng2);
            }
            m_code.emitOp(Op::InString);
            break;
        }
        case kw::Get: {
            const Value v = expression();
            Op op = Op::Get1;
            if (accept(',')) {
                requireInt(v, Err::expecting_integer_argument);
                const Token size = take();
                if (size.code != STRSIZ) {
                    if (size.code == LDZERO || size.code == GFWFMT || size.code == FLTFMT || size.code == AMBIG) {
                        m_ctx.report(msg::kHashSize);
                        throw SyntaxError{};
                    }
                    syntaxError();
                }
                const char digit = textOf(size)[1];
                op = digit == '1' ? Op::Get1 : digit == '2' ? Op::Get2 : Op::Get4;
            }
            m_code.emitOp(op);
            break;
        }
        default:
            syntaxError();
    }
    expect(')');
    return result;
}

// LEFT(s, n), RIGHT(s, n), MID(s, a, b), STR(x), GETS(v): the result goes to a temporary string.
Value Parser::stringFunction(int keyword) {
    expect('(');
    const int t = *temporary();
    const auto address = static_cast<std::uint16_t>(m_ctx.symbols->entry(t).address);
    m_code.emitOpWord(Op::VarAddr, address);
    switch (keyword) {
        case kw::Left:
        case kw::Right:
            functionArgument(kTypeString, Err::expecting_string_argument);
            if (keyword == kw::Left) {
                m_code.emitOpByte(Op::BytePush, 1);
            } else {
                m_code.emitOp(Op::Zero);
            }
            expect(',');
            functionArgument(kTypeInt, Err::expecting_integer_argument);
            m_code.emitOp(Op::MidString);
            break;
        case kw::Mid:
            functionArgument(kTypeString, Err::expecting_string_argument);
            expect(',');
            functionArgument(kTypeInt, Err::expecting_integer_argument);
            expect(',');
            functionArgument(kTypeInt, Err::expecting_integer_argument);
            m_code.emitOp(Op::MidString);
            break;
        case kw::Str: {
            m_code.emitOp(Op::Print);
            const Value x = expression();
            if (isFloat(x.type)) {
                m_code.emitOp(Op::FltToStr);
                m_code.emitOp(Op::GfFexpr);
            } else if (isInt(x.type)) {
                m_code.emitOp(Op::IntToStr);
                m_code.emitOp(Op::GfExpr);
            } else {
                m_ctx.report(Err::expecting_numeric_expression);
                throw SyntaxError{};
            }
            m_code.emitOp(Op::Semi);
            break;
        }
        default:  // GETS
            functionArgument(kTypeInt, Err::expecting_integer_expression);
            m_code.emitOp(Op::GetStr);
            break;
    }
    expect(')');
    return Value{true, static_cast<std::int32_t>(address), 0, Value::kClassFunction, kTypeString, t};
}

// LABPTR '(' label ')': the label's run-time address, code base plus offset.
Value Parser::labptrFunction() {
    expect('(');
    const Token name = expect(SYMBOL);
    expect(')');
    const std::uint16_t model = m_ctx.job->modelCode;
    std::uint16_t base = 0;
    if ((model >= 210 && model <= 240) || (model >= 510 && model <= 620)) {
        if (m_ctx.familyMask & ~(1u | 8u)) {
            m_ctx.report(Err::mutually_exclusive_models);
            throw SyntaxError{};
        }
        base = kCodeBaseMain;
    } else if (model == 400 || model == 500) {
        if (m_ctx.familyMask & ~(2u | 4u)) {
            m_ctx.report(Err::mutually_exclusive_models);
            throw SyntaxError{};
        }
        base = kCodeBaseLow;
    } else if (model == 700 || model == 800) {
        m_ctx.report(Err::command_unavailable_this_model);
        throw SyntaxError{};
    } else {
        m_ctx.report(Err::specify_MODEL_for_this_command);
        throw SyntaxError{};
    }
    emitLabelOperand(Op::VarAddr, name);
    m_code.emitOpWord(Op::VarAddr, base);
    m_code.emitOp(Op::Plus);
    return Value{true, 0, 0, Value::kClassFunction, kTypeInt, -1};
}

}  // namespace orrery::compiler
