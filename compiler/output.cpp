// The print family (PRINT, SCROLL, DISPLY, STORE, USEND, SDO, CALL) with its one item grammar, and the
// text statements INPUT, ITEXT and OTEXT.

#include <algorithm>
#include <cctype>

#include "parser.h"

namespace orrery::compiler {

namespace {
constexpr std::uint32_t kUsendBaudDividend = 307200;

bool isFormatToken(int code) {
    return code == '#' || code == LDZERO || code == GFWFMT || code == FLTFMT || code == STRSIZ || code == AMBIG ||
           code == '\\' || code == '{';
}

bool startsWithZero(std::string_view digits) { return !digits.empty() && digits.front() == '0'; }

std::int32_t decimal(std::string_view digits) {
    std::int64_t value = 0;
    for (char c : digits) value = std::min<std::int64_t>(value * 10 + (c - '0'), 0x7FFFFFFF);
    return static_cast<std::int32_t>(value);
}

// The precision is kept modulo 64, also for digit strings too long for any integer type.
int decimalModulo64(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = (value * 10 + (c - '0')) % 64;
    return value;
}
}  // namespace

void Parser::emitFormMarker(ItemStatement kind) {
    switch (kind) {
        case ItemStatement::Call: m_code.emitOp(Op::CallGF); break;
        case ItemStatement::Usend: m_code.emitOp(Op::UsendGF); break;
        case ItemStatement::Sdo: m_code.emitOp(Op::SdoGF); break;
        default: break;
    }
}

// Format items: '#' expr, '#0' expr, '#w[BDHQ]', '#[0][w][.p]F|S', '\' expr, '{' a ',' b '}', '#1|2|4'.
// Returns false when the next item is not a format item.
bool Parser::formatItem() {
    const Token token = peek();
    switch (token.code) {
        case '#':
        case LDZERO: {
            take();
            requireInt(expression(), Err::expecting_integer_expression);
            m_code.emitOp(Op::GfFW);
            if (token.code == LDZERO) m_code.emitOpByte(Op::GfPad, '0');
            return true;
        }
        case GFWFMT: {
            take();
            std::string_view text = textOf(token).substr(1);
            char radix = 0;
            if (!text.empty() && !std::isdigit(static_cast<unsigned char>(text.back()))) {
                radix = static_cast<char>(std::toupper(static_cast<unsigned char>(text.back())));
                text.remove_suffix(1);
            }
            m_code.emitOpByte(Op::GfPad, startsWithZero(text) ? '0' : ' ');
            m_code.pushInt(decimal(text));
            m_code.emitOp(Op::GfFW);
            if (radix != 0) {
                const int base = radix == 'B' ? 2 : radix == 'D' ? 10 : radix == 'Q' ? 8 : radix == 'H' ? 16 : 0;
                if (base == 0) {
                    m_ctx.report(Err::improper_field_width_format);
                    throw SyntaxError{};
                }
                m_code.emitOpByte(Op::GfRadix, static_cast<std::uint8_t>(64 + base));
            }
            return true;
        }
        case FLTFMT: {
            take();
            std::string_view text = textOf(token).substr(1);
            const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text.back())));
            text.remove_suffix(1);
            if (letter != 'F' && letter != 'S') {
                m_ctx.report(Err::improper_float_print_format);
                throw SyntaxError{};
            }
            const std::size_t point = text.find('.');
            const std::string_view width = text.substr(0, point);
            m_code.emitOpByte(Op::GfPad, startsWithZero(width) ? '0' : ' ');
            if (width.empty()) {
                m_code.emitOp(Op::Zero);
            } else {
                m_code.pushInt(decimal(width));
            }
            m_code.emitOp(Op::GfFW);
            const int precision = point == std::string_view::npos ? 6 : decimalModulo64(text.substr(point + 1));
            m_code.emitOpByte(Op::GfRadix, static_cast<std::uint8_t>((letter == 'F' ? 192 : 128) + precision));
            return true;
        }
        case STRSIZ: {
            take();
            m_code.pushInt(textOf(token)[1] - '0');
            m_code.emitOp(Op::GfFW);
            m_code.emitOpByte(Op::GfPad, ' ');
            return true;
        }
        case AMBIG:
            take();
            m_ctx.report(msg::kAmbiguousOperator);
            throw SyntaxError{};
        case '\\':
            take();
            requireInt(expression(), Err::expecting_integer_expression);
            m_code.emitOp(Op::GfChar);
            return true;
        case '{': {
            take();
            requireInt(expression(), Err::expecting_integer_arguments);
            expect(',');
            requireInt(expression(), Err::expecting_integer_arguments);
            expect('}');
            m_code.emitOp(Op::GfDF);
            return true;
        }
        default:
            return false;
    }
}

// A text-form item: a format item, or an expression printed by its type.
void Parser::textItem(ItemStatement kind, bool first) {
    if (formatItem()) return;
    const Value value = expression();
    if (first) emitFormMarker(kind);
    if (isString(value.type)) {
        m_code.emitOp(Op::GfSexpr);
    } else if (isFloat(value.type)) {
        m_code.emitOp(Op::GfFexpr);
    } else {
        m_code.emitOp(Op::GfExpr);
    }
}

// A binary-form item; index counts the leading argument of STORE, USEND and CALL as item 1.
void Parser::binaryItem(ItemStatement kind, int index, int& storeSize) {
    const int code = peek().code;
    if (kind == ItemStatement::Store) {
        if (code == STRSIZ) {
            storeSize = textOf(take())[1] - '0';
            return;
        }
        if (isFormatToken(code)) {
            m_ctx.report(msg::kStoreBinaryType);
            throw SyntaxError{};
        }
        const Value value = expression();
        if (isString(value.type)) {
            m_code.emitOp(Op::StoreStr);
        } else if (isFloat(value.type)) {
            m_code.emitOp(Op::Store4);
        } else {
            m_code.emitOp(storeSize == 1 ? Op::Store1 : storeSize == 2 ? Op::Store2 : Op::Store4);
        }
        return;
    }
    if (index > 3 || isFormatToken(code)) {
        m_ctx.report(msg::kUnexpectedArgument);
        throw SyntaxError{};
    }
    expression();
    if (index == 3 && kind != ItemStatement::Sdo) {
        // The third item passes a variable's address: drop the fetch that ended its code.
        if (m_code.empty() || m_code.at(m_code.size() - 1) != static_cast<std::uint8_t>(Op::FetchVarVal)) {
            m_ctx.report(msg::kInternal200);
            throw SyntaxError{};
        }
        m_code.removeLastByte();
    }
}

void Parser::items(ItemStatement kind, ItemForm& form, int& count, int& storeSize) {
    do {
        ++count;
        const bool first = form == ItemForm::Undecided;
        if (first) form = peek().code == STRING ? ItemForm::Text : ItemForm::Binary;
        if (form == ItemForm::Text) {
            textItem(kind, first);
        } else {
            binaryItem(kind, count, storeSize);
        }
    } while (accept(','));
}

// print  -> PRINT [ item { ',' item } ] [ ';' ]
// scroll -> SCROLL [ item { ',' item } ] [ ';' ]       disply -> DISPLY ...
// store  -> STORE variable [ ',' item { ',' item } ] [ ';' ]
// usend  -> USEND baud [ ',' item { ',' item } ] [ ';' ]
// sdo    -> SDO item { ',' item } [ ';' ]
// call   -> CALL address [ ',' item { ',' item } ] [ ';' ]    |    CALL label [ ... ]
void Parser::itemStatement(ItemStatement kind) {
    take();
    ItemForm form = ItemForm::Undecided;
    int count = 0;
    int storeSize = 1;
    switch (kind) {
        case ItemStatement::Print:
            m_code.emitOp(Op::Print);
            form = ItemForm::Text;
            break;
        case ItemStatement::Scroll:
            m_code.emitOp(Op::ScrollLCD);
            form = ItemForm::Text;
            break;
        case ItemStatement::Disply:
            m_code.emitOp(Op::DisplayLCD);
            form = ItemForm::Text;
            break;
        case ItemStatement::Store:
            variableReference();
            m_code.emitOp(Op::Store);
            count = 1;
            break;
        case ItemStatement::Usend:
            m_code.emitOpLong(Op::LongPush, kUsendBaudDividend);
            requireInt(expression(), Err::expecting_integer_argument);
            m_code.emitOp(Op::Divide);
            count = 1;
            break;
        case ItemStatement::Call:
            if (peek().code == SYMBOL) {
                const Token name = take();
                auto found = m_ctx.symbols->find(textOf(name));
                if (!found || !(m_ctx.symbols->entry(*found).flags & kFlagAsmLabel)) {
                    m_ctx.report(Err::expecting_assembler_label);
                    throw SyntaxError{};
                }
                m_code.emitOpWord(Op::WordPush, static_cast<std::uint16_t>(m_ctx.symbols->entry(*found).address));
            } else {
                const std::size_t before = m_code.size();
                const Value address = expression();
                requireInt(address, Err::expecting_integer_argument);
                if (!address.isConstant()) {
                    m_ctx.report(Err::expecting_integer_constant);
                    throw SyntaxError{};
                }
                m_code.truncate(before);
                m_code.pushInt(address.value);
            }
            count = 1;
            break;
        case ItemStatement::Sdo:
            break;
    }

    const bool hasLeadingArgument = count == 1;
    if (kind == ItemStatement::Sdo) {
        items(kind, form, count, storeSize);
    } else if (hasLeadingArgument) {
        if (accept(',')) items(kind, form, count, storeSize);
    } else if (!atStatementEnd() && peek().code != ';') {
        items(kind, form, count, storeSize);
    }
    const bool semicolon = accept(';');
    if (semicolon && form == ItemForm::Binary) {
        m_ctx.report(Err::for_ASCII_version_of_command);
        throw SyntaxError{};
    }

    switch (kind) {
        case ItemStatement::Scroll:
        case ItemStatement::Disply:
            m_code.emitOp(Op::TermDisplayLCD);
            return;
        default:
            break;
    }
    if (form == ItemForm::Text) {
        m_code.emitOp(semicolon ? Op::Semi : Op::NewLine);
        return;
    }
    switch (kind) {
        case ItemStatement::Store:
            if (form == ItemForm::Binary) m_code.emitOp(Op::Semi);
            break;
        case ItemStatement::Usend:
            if (form == ItemForm::Binary) m_code.emitOp(Op::Usend);
            break;
        case ItemStatement::Sdo:
            m_code.emitOp(Op::Sdo);
            break;
        case ItemStatement::Call:
            // Call takes the address, one argument and a variable's address; what the statement leaves
            // out is passed as "omitted". Without any item the call must still happen.
            if (form == ItemForm::Undecided) m_code.emitOpWord(Op::WordPush, kOmitted);
            if (count <= 2) m_code.emitOpWord(Op::WordPush, kOmitted);
            m_code.emitOp(Op::Call);
            break;
        default:
            break;
    }
}

// input -> INPUT [ string ',' ] target [ ';' ] { ',' [ string ',' ] target [ ';' ] }
void Parser::inputStatement() {
    expect(kw::Input);
    do {
        if (peek().code == STRING) {
            bool ok = true;
            const std::string prompt = stringConstant(take(), ok);
            expect(',');
            inputTarget(prompt, true);
        } else {
            inputTarget(std::string(), false);
        }
    } while (accept(','));
}

void Parser::inputTarget(std::string prompt, bool hasPrompt) {
    Value target = assignableReference();
    if (!hasPrompt) {
        // The default prompt is the variable as written, up to its type suffix, and a colon.
        prompt = m_promptText.substr(0, m_promptText.find_first_of("$!")) + ":";
    }
    m_code.emitOp(Op::Print);
    if (!prompt.empty()) {
        m_code.emitStringConst(prompt.substr(0, 255));
        m_code.emitOp(Op::GfSexpr);
    }
    m_code.emitOp(Op::Semi);
    const std::uint8_t lineEnd = accept(';') ? 0 : 1;
    if (isString(target.type)) {
        m_code.emitOpByte(Op::Sinput, lineEnd);
        return;
    }
    const int t = *temporary();
    m_code.emitOpWord(Op::VarAddr, static_cast<std::uint16_t>(m_ctx.symbols->entry(t).address));
    m_code.emitOpByte(isFloat(target.type) ? Op::Finput : Op::Input, lineEnd);
    m_code.emitOp(Op::PutVarVal);
}

// itext -> ITEXT variable { ',' ( '\' terminator | count ) }
void Parser::itextStatement() {
    expect(kw::Itext);
    requireInt(variableReference(), Err::expecting_integer_argument);
    std::int64_t terminator = 13;
    std::int64_t count = 0xFFFF;  // -1: no limit
    while (accept(',')) {
        const bool isTerminator = accept('\\');
        const std::size_t before = m_code.size();
        const Value value = expression();
        m_code.truncate(before);
        const Err error = isTerminator ? Err::expecting_integer_less_than_256 : Err::expect_integer_less_than_65536;
        const std::int64_t limit = isTerminator ? 255 : 65535;
        if (!value.isConstant() || !isInt(value.type) || value.value < 0 || value.value > limit) {
            m_ctx.report(error);
            throw SyntaxError{};
        }
        (isTerminator ? terminator : count) = value.value;
    }
    m_code.emitOpByte(Op::BytePush, static_cast<std::uint8_t>(terminator));
    m_code.emitOpWord(Op::WordPush, static_cast<std::uint16_t>(count));
    m_code.emitOp(Op::Itext);
}

// otext -> OTEXT variable [ ',' '\' terminator ] [ ';' ]
void Parser::otextStatement() {
    expect(kw::Otext);
    requireInt(variableReference(), Err::expecting_integer_argument);
    std::int64_t terminator = 13;
    if (accept(',')) {
        expect('\\');
        const std::size_t before = m_code.size();
        const Value value = expression();
        m_code.truncate(before);
        if (!value.isConstant() || !isInt(value.type) || value.value < 0 || value.value > 255) {
            m_ctx.report(Err::expecting_integer_less_than_256);
            throw SyntaxError{};
        }
        terminator = value.value;
    }
    m_code.emitOpByte(Op::BytePush, static_cast<std::uint8_t>(terminator));
    m_code.emitOp(Op::Otext);
    if (accept(';')) return;
    m_code.emitOp(Op::Print);
    m_code.emitOpByte(Op::BytePush, static_cast<std::uint8_t>(terminator));
    m_code.emitOp(Op::GfChar);
    if (terminator == 13) {
        m_code.emitOpByte(Op::BytePush, 10);
        m_code.emitOp(Op::GfChar);
    }
    m_code.emitOp(Op::Semi);
}

}  // namespace orrery::compiler
