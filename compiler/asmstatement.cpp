// The ASM statement: the token code around an inline assembler block, and the hand-over of the source
// lines between the scanner and the assembler.
//
//   ASM $          WordPush n, AsmGo, n bytes of machine code        (runs in place)
//   ASM address    WordPush address, WordPush n, AsmLoad, n bytes    (loaded to address)
//
// n is not known until the block has been assembled, so the WordPush goes out with 0 and is patched.

#include "models.h"
#include "parser.h"

namespace orrery::compiler {

namespace {

// The assembler's view of this compile: its symbol table and its code buffer.
class CompileAsmHost final : public AssemblerHost {
public:
    explicit CompileAsmHost(CompileContext& context) : m_ctx(context) {}

    std::optional<AsmSymbol> findSymbol(std::string_view name) const override {
        const auto index = m_ctx.symbols->find(name);
        if (!index)
            return std::nullopt;
        const SymbolEntry& entry = m_ctx.symbols->entry(*index);
        return AsmSymbol{entry.flags, entry.address};
    }
    bool hasRoomForSymbol() const override {
        return static_cast<int>(m_ctx.symbols->size()) < m_ctx.symbols->capacity() - 1;
    }
    void defineLabel(std::string_view name, std::uint16_t value, bool isEqu) override {
        m_ctx.symbols->defineAssemblerSymbol(name, value, isEqu);
    }
    std::size_t codeSize() const override { return m_ctx.code.size(); }
    bool appendCode(std::span<const std::uint8_t> bytes) override { return m_ctx.code.emitBytes(bytes); }
    void patchCode(std::size_t offset, std::span<const std::uint8_t> bytes) override {
        m_ctx.code.patchBytes(offset, bytes);
    }

private:
    CompileContext& m_ctx;
};

// Where the scanner picks up after a block: at the line end of the last line the assembler read, so
// that the ASM statement's own line ends there. At the end of a source without a final line end, the
// end itself.
std::size_t lineEndBefore(std::string_view source, std::size_t resume) {
    if (resume == 0 || resume > source.size() || source[resume - 1] != '\n')
        return resume;
    std::size_t lineEnd = resume - 1;
    if (lineEnd > 0 && source[lineEnd - 1] == '\r')
        --lineEnd;
    return lineEnd;
}

// The first character with bit 7 set in [from, to) of the source as the user wrote it. The assembler
// reads the text with bit 7 cleared, which would silently change such a character in a string.
std::optional<std::size_t> firstHighBitCharacter(std::string_view original, std::size_t from,
                                                 std::size_t to) {
    for (std::size_t i = from; i < to && i < original.size(); ++i) {
        if (static_cast<unsigned char>(original[i]) & 0x80)
            return i;
    }
    return std::nullopt;
}

}  // namespace

// The logger address of the first code byte, which depends on the model; code that runs in place (ASM $,
// LABPTR) needs it.
std::uint16_t Parser::runTimeCodeBase() {
    const std::uint16_t model = m_ctx.job->modelCode;
    if ((model >= 210 && model <= 240) || (model >= 510 && model <= 620)) {
        if (m_ctx.familyMask & ~(1u | 8u)) {
            m_ctx.report(Err::mutually_exclusive_models);
            throw SyntaxError{};
        }
        return kCodeBaseMain;
    }
    if (model == 400 || model == 500) {
        if (m_ctx.familyMask & ~(2u | 4u)) {
            m_ctx.report(Err::mutually_exclusive_models);
            throw SyntaxError{};
        }
        return kCodeBaseLow;
    }
    m_ctx.report(model == 700 || model == 800 ? Err::command_unavailable_this_model
                                              : Err::specify_MODEL_for_this_command);
    throw SyntaxError{};
}

// asm -> ASM '$' | ASM integer-constant
void Parser::asmStatement() {
    expect(kw::Asm);
    if (accept('$')) {
        const std::uint16_t base = runTimeCodeBase();
        m_code.emitOpWord(Op::WordPush, 0);
        m_code.emitOp(Op::AsmGo);
        assembleInlineBlock(m_code.size() - 3, static_cast<std::uint16_t>(base + m_code.offset()));
        return;
    }
    const std::size_t before = m_code.size();
    const Value address = atStatementEnd() ? Value{false} : expression();
    m_code.truncate(before);
    if (!address.ok || !address.isConstant() || !isInt(address.type)) {
        m_ctx.report(Err::dollar_or_integer_argument);
        throw SyntaxError{};
    }
    // A load address wider than 16 bits would be cut silently by its WordPush.
    if (address.value < 0 || address.value > 0xFFFF) {
        m_ctx.report(Err::expect_integer_less_than_65536);
        throw SyntaxError{};
    }
    const auto origin = static_cast<std::uint16_t>(address.value);
    m_code.emitOpWord(Op::WordPush, origin);
    m_code.emitOpWord(Op::WordPush, 0);
    m_code.emitOp(Op::AsmLoad);
    assembleInlineBlock(m_code.size() - 3, origin);
}

// The assembler reads the lines after the statement's line itself (the rest of that line is ignored),
// through its END line. The line counter then moves over the block, so that later errors name the
// right line.
void Parser::assembleInlineBlock(std::size_t lengthOperand, std::uint16_t origin) {
    const std::string_view source = m_ctx.scanner.source();
    const std::size_t from = m_haveToken ? m_token.start : m_ctx.scanner.position();
    const std::size_t lineEnd = source.find('\n', from);
    const std::size_t blockStart = lineEnd == std::string_view::npos ? source.size() : lineEnd + 1;

    CompileAsmHost host(m_ctx);
    const AsmBlockResult block =
        m_ctx.assembler->assembleBlock(host, blockStart, origin, static_cast<int>(m_ctx.line) + 1);
    m_haveToken = false;
    m_ctx.scanner.setPosition(lineEndBefore(source, block.resumeOffset));
    const auto highBit = firstHighBitCharacter(m_ctx.originalSource, blockStart, block.resumeOffset);
    if (highBit && (!block.error || *highBit < block.error->position)) {
        m_ctx.reportAt(userText(Err::invalid_character__bit_7_high), *highBit);
        throw LineAbandoned{};
    }
    if (block.error) {
        m_ctx.reportAt(block.error->message, block.error->position);
        throw LineAbandoned{};
    }
    m_code.patchWord(lengthOperand, static_cast<std::uint16_t>(block.bytesEmitted));
    // The line end the scanner meets next is the block's last; the parser counts that one.
    m_ctx.line += static_cast<std::uint32_t>(block.linesConsumed);
}

void finishInlineAssembly(CompileContext& context) {
    CompileAsmHost host(context);
    if (auto error = context.assembler->resolvePending(host))
        context.reportAt(error->message, error->position);
}

}  // namespace orrery::compiler
