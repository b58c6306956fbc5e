// The logger's prompt, sent unasked (after the CR of a port just opened, a program that ended), can land
// on the line between a flush and the answer to a command byte. Each command passes it over ahead of
// that first answer and nowhere else: inside a reply CR, LF and "#" are data.
#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include "eprom_farend.h"
#include "epromexport.h"
#include "hexrecord.h"
#include "viewvarsession.h"

using namespace orrery;
using namespace orrery::link;
using namespace orrery::link::testing;

namespace {

const QByteArray kPrompt = "\r\n#";

// The logger's rule with its prompt sent ahead of every reply that begins with lead (0: never).
FarEnd::Rule promptAhead(FarEnd::Rule rule, quint8 lead) {
    return [rule, lead](quint8 byte) {
        const QByteArray reply = rule(byte);
        return lead != 0 && reply.startsWith(char(lead)) ? kPrompt + reply : reply;
    };
}

TEST(PromptAhead, AMemoryReadPassesItOverAheadOfTheEchoOnly) {
    // Data that is the prompt itself, at an address whose checksum is "#" as well
    // (0x00 + 0xE6 + 3 + 0x0D + 0x0A + 0x23 = 0x123).
    const quint16 address = 0x00E6;
    const struct {
        quint8 lead;
        MemoryRead outcome;
    } cases[] = {
        {0, MemoryRead::Done},
        {kMemoryAccessCommand, MemoryRead::Done},
        {kMemoryAck, MemoryRead::Failed},  // the acknowledgements are part of the reply
    };
    for (const auto& c : cases) {
        LinkBench b;
        MemoryLogger logger;
        logger.memory.replace(address, kPrompt.size(), kPrompt);
        b.farEnd.setRule(promptAhead(logger.rule(), c.lead));
        quint8 buffer[3] = {};
        EXPECT_EQ(b.link.ReadLoggerMemory(buffer, address, 3), c.outcome) << int(c.lead);
        if (c.outcome == MemoryRead::Done) {
            EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer), 3), kPrompt) << int(c.lead);
        }
    }
}

TEST(PromptAhead, TheVariableReadAndTheEpromExportPassItOverAheadOfEachCommandsAnswer) {
    // The lead byte of the answer the prompt comes ahead of: the export's acceptance, the identify
    // echo, and the echo that opens memory access and begins every read.
    const quint8 leads[] = {kEpromExportCommand, kIdentifyCommand, kMemoryAccessCommand};
    for (const quint8 lead : leads) {
        LinkBench b;
        EpromLogger logger;
        logger.identify = QByteArray("\x00\xE6TEST", 6);  // model 230: program at 0x8140
        logger.putWord(0x8140, 14);
        logger.putWord(0x8142, 31);
        logger.memory.replace(0x8150, kPrompt.size(), kPrompt);
        logger.putWord(0x7400, 0x0D0A);
        logger.putWord(0x7402, 0x2301);
        b.farEnd.setRule(promptAhead(logger.rule(), lead));

        TVarItem count;
        count.Name = QStringLiteral("COUNT");
        count.TypeLetter = 'I';
        count.Address = 0x7400;
        const VariableReadResult read = readVariables(b.link, {{count}, 0});
        const QByteArray value =
            read.done() ? QByteArray(reinterpret_cast<const char*>(read.items[0].Value.data()), 4)
                        : read.message.toUtf8();
        EXPECT_EQ(value, QByteArray("\x01#\n\r", 4)) << int(lead);

        QTemporaryDir dir;
        const LinkResult exported = exportEprom(b.link, {dir.filePath("image.hex"), false});
        EXPECT_EQ(exported.status, LinkStatus::Done) << int(lead) << ": " << exported.message.toStdString();
        QByteArray expected;
        for (const HexPiece& piece : exportPieces(0x8140, 32)) {
            const auto* bytes =
                reinterpret_cast<const quint8*>(logger.memory.constData()) + piece.readAddress;
            expected += formatHexRecord(piece.recordAddress, std::span(bytes, std::size_t(piece.count)));
        }
        QFile image(dir.filePath("image.hex"));
        EXPECT_EQ(image.open(QIODevice::ReadOnly) ? image.readAll() : QByteArray("<absent>"),
                  expected + kHexEndRecord)
            << int(lead);
        EXPECT_EQ(b.prompts.messages(), QStringList()) << int(lead);
    }
}

}  // namespace
