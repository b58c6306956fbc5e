#pragma once
// A logger's side of the EPROM export and the variable viewer, for link tests over the in-process line:
// the 0x05 answer, the identify reply, memory access (the first 0x16 opens it, every read begins with
// 0x16 again) and the prompt after 0x18. Knobs make it fail at a chosen point.

#include <QByteArray>

#include "farend.h"

namespace orrery::link::testing {

class EpromLogger {
public:
    QByteArray memory = QByteArray(65536, '\0');
    int exportAnswer = 0x05;        // -1: none
    QByteArray identify;            // the reply after the count byte
    int identifyCount = -1;         // the count sent; -1: identify.size()
    bool echoIdentify = true;
    bool echoMemoryAccess = true;
    int failRead = -1;              // this memory read (0-based) gets a wrong checksum
    int readsDone = 0;
    int promptAfterTries = 1;       // the leave sequence gets its prompt on this 0x18 (0: never)
    int leaveTries = 0;

    void putWord(quint16 address, quint16 word) {
        memory[address] = char(word >> 8);
        memory[quint16(address + 1)] = char(word);
    }

    FarEnd::Rule rule() {
        return [this](quint8 byte) { return answer(byte); };
    }

private:
    QByteArray answer(quint8 byte) {
        switch (m_state) {
            case State::Idle:
                return idle(byte);
            case State::Access:
                if (byte == kMemoryAccessCommand) {
                    m_state = State::Address;
                    m_address.clear();
                    return QByteArray(1, char(kMemoryAccessCommand));
                }
                if (byte == kLeaveMemoryAccessCommand) {
                    return leave();
                }
                return {};
            case State::Address:
                if (byte != kCarriageReturn) {
                    m_address += char(byte);
                    return {};
                }
                m_state = State::Count;
                return QByteArray(1, char(kMemoryAck));
            case State::Count:
                m_state = State::Access;
                return data(quint16(m_address.toUInt(nullptr, 16)), byte);
        }
        return {};
    }

    QByteArray idle(quint8 byte) {
        switch (byte) {
            case kEpromExportCommand:
                return exportAnswer < 0 ? QByteArray() : QByteArray(1, char(exportAnswer));
            case kIdentifyCommand: {
                if (!echoIdentify) {
                    return {};
                }
                const int count = identifyCount < 0 ? int(identify.size()) : identifyCount;
                return QByteArray(1, char(kIdentifyCommand)) + char(count) + identify;
            }
            case kMemoryAccessCommand:
                if (!echoMemoryAccess) {
                    return {};
                }
                m_state = State::Access;
                return QByteArray(1, char(kMemoryAccessCommand));
            case kLeaveMemoryAccessCommand:
                return leave();
            default:
                return {};
        }
    }

    QByteArray leave() {
        ++leaveTries;
        m_state = State::Idle;
        if (promptAfterTries == 0 || leaveTries < promptAfterTries) {
            return {};
        }
        return QByteArray("\r\n#");
    }

    QByteArray data(quint16 address, quint8 count) {
        QByteArray reply(1, char(kMemoryAck));
        quint8 sum = quint8((address >> 8) + (address & 0xFF) + count);
        for (int i = 0; i < count; ++i) {
            const char c = memory.at(quint16(address + i));
            reply += c;
            sum = quint8(sum + quint8(c));
        }
        if (readsDone++ == failRead) {
            return reply + char(sum + 1);
        }
        return reply + char(sum);
    }

    enum class State { Idle, Access, Address, Count };
    State m_state = State::Idle;
    QByteArray m_address;
};

}  // namespace orrery::link::testing
