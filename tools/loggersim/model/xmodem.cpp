#include "xmodem.h"

namespace orrery::loggersim {

namespace xmodem {

std::uint8_t checksum(const std::uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += bytes[i];
    }
    return std::uint8_t(sum);
}

std::uint16_t crc16(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= std::uint16_t(bytes[i] << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? std::uint16_t((crc << 1) ^ 0x1021) : std::uint16_t(crc << 1);
        }
    }
    return crc;
}

}  // namespace xmodem

using namespace xmodem;

// ---- sender ----

XmodemSender::XmodemSender(std::vector<std::uint8_t> data, Micros now)
    : m_data(std::move(data)), m_deadline(now + kStartWait) {}

std::string XmodemSender::takeOutput() {
    std::string out;
    out.swap(m_out);
    return out;
}

void XmodemSender::fail(const std::string& why) {
    m_error = why;
    m_finished = true;
}

void XmodemSender::sendBlock() {
    const std::size_t offset = (m_block - 1) * kBlockSize;
    if (offset >= m_data.size()) {
        m_phase = Phase::Eot;
        m_out += char(kEot);
        return;
    }
    std::uint8_t data[kBlockSize];
    for (std::size_t i = 0; i < kBlockSize; ++i) {
        data[i] = offset + i < m_data.size() ? m_data[offset + i] : kPad;
    }
    const auto number = std::uint8_t(m_block);
    m_out += char(kSoh);
    m_out += char(number);
    m_out += char(0xFF - number);
    m_out.append(reinterpret_cast<const char*>(data), kBlockSize);
    if (m_crc) {
        const std::uint16_t crc = crc16(data, kBlockSize);
        m_out += char(crc >> 8);
        m_out += char(crc & 0xFF);
    } else {
        m_out += char(checksum(data, kBlockSize));
    }
    m_phase = Phase::Block;
}

void XmodemSender::resend(Micros now) {
    if (++m_retries > kMaxRetries) {
        m_out.append(3, char(kCan));
        fail("too many retries");
        return;
    }
    m_deadline = now + kAckWait;
    sendBlock();
}

void XmodemSender::receive(std::uint8_t byte, Micros now) {
    if (m_finished) {
        return;
    }
    // Two CANs in a row end the transfer; a single one is taken for line noise.
    if (byte == kCan) {
        if (m_lastWasCan) {
            fail("cancelled by the receiver");
        }
        m_lastWasCan = true;
        return;
    }
    m_lastWasCan = false;
    switch (m_phase) {
    case Phase::Start:
        if (byte == kNak || byte == kCrcRequest) {
            m_crc = byte == kCrcRequest;
            m_deadline = now + kAckWait;
            sendBlock();
        }
        break;
    case Phase::Block:
        if (byte == kAck) {
            ++m_block;
            m_retries = 0;
            m_deadline = now + kAckWait;
            sendBlock();
        } else if (byte == kNak) {
            resend(now);
        }
        break;
    case Phase::Eot:
        if (byte == kAck) {
            m_succeeded = true;
            m_finished = true;
        } else if (byte == kNak) {
            resend(now);
        }
        break;
    }
}

void XmodemSender::tick(Micros now) {
    if (m_finished || now < m_deadline) {
        return;
    }
    if (m_phase == Phase::Start) {
        fail("the receiver never asked for the data");
        return;
    }
    resend(now);
}

// ---- receiver ----

XmodemReceiver::XmodemReceiver(Micros now) : m_deadline(now + kRequestInterval) {
    m_out += char(kNak);
}

std::string XmodemReceiver::takeOutput() {
    std::string out;
    out.swap(m_out);
    return out;
}

void XmodemReceiver::fail(const std::string& why) {
    m_error = why;
    m_finished = true;
    m_out.append(3, char(kCan));
}

void XmodemReceiver::askAgain(Micros now) {
    m_block.clear();
    if (!m_started) {
        if (++m_requests > kRequestTries) {
            fail("no sender started");
            return;
        }
        m_deadline = now + kRequestInterval;
    } else {
        if (++m_retries > kMaxRetries) {
            fail("too many errors");
            return;
        }
        m_deadline = now + kBlockWait;
    }
    m_out += char(kNak);
}

void XmodemReceiver::receive(std::uint8_t byte, Micros now) {
    if (m_finished) {
        return;
    }
    if (!m_block.empty()) {
        m_block.push_back(byte);
        m_deadline = now + kByteWait;
        if (m_block.size() == 3 + kBlockSize + 1) {
            blockComplete(now);
        }
        return;
    }
    const bool can = byte == kCan;
    if (can && m_lastWasCan) {
        m_error = "cancelled by the sender";
        m_finished = true;
        return;
    }
    m_lastWasCan = can;
    if (byte == kSoh) {
        m_block.push_back(byte);
        m_deadline = now + kByteWait;
    } else if (byte == kEot) {
        m_out += char(kAck);
        m_succeeded = true;
        m_finished = true;
    }
    // Anything else between blocks is noise; the time-out asks for the block again.
}

void XmodemReceiver::blockComplete(Micros now) {
    const std::uint8_t number = m_block[1];
    const std::uint8_t complement = m_block[2];
    const std::uint8_t* data = m_block.data() + 3;
    const bool intact = std::uint8_t(number + complement) == 0xFF && checksum(data, kBlockSize) == m_block.back();
    if (!intact) {
        askAgain(now);
        return;
    }
    if (number == m_expected) {
        if (m_data.size() + kBlockSize > kMaxReceived) {
            fail("file too large");
            return;
        }
        m_data.insert(m_data.end(), data, data + kBlockSize);
        ++m_expected;
        m_started = true;
        m_retries = 0;
    } else if (number != std::uint8_t(m_expected - 1) || !m_started) {
        fail("blocks out of sequence");
        return;
    }
    // A repeated block (our ACK was lost) is acknowledged again and not stored twice.
    m_block.clear();
    m_out += char(kAck);
    m_deadline = now + kBlockWait;
}

void XmodemReceiver::tick(Micros now) {
    if (!m_finished && now >= m_deadline) {
        askAgain(now);
    }
}

}  // namespace orrery::loggersim
