#pragma once
// The XMODEM protocol in its basic form (128-byte blocks, arithmetic checksum) as two event-driven state
// machines, one receiving and one sending. They never block and know nothing of ports, files or clocks:
// bytes from the line go in through onBytes(), an expired timer through onTimeout(), and what they want
// done (bytes to send, a timer to arm) goes out through the Wire interface. TApdProtocol binds them to the
// serial port object and the event loop; the tests drive them directly.
//
// One block on the line:
//
//   +-----+-------+--------+-----------------+----------+
//   | SOH | block | ~block |  128 data bytes | checksum |
//   | 01  |  n    | 255-n  |                 | sum % 256|
//   +-----+-------+--------+-----------------+----------+
//
// Block numbers start at 1 and wrap from 255 to 0. The receiver answers each block with ACK or NAK; the
// sender ends with EOT, which the receiver acknowledges. Two CAN bytes where a block or an answer is
// expected cancel the transfer.
//
// The last block is padded with SUB (0x1A) by the sender. The receiver keeps every byte of every block,
// padding included: the protocol does not carry the file length, and data from a logger may well end in
// 0x1A, so stripping trailing SUBs could lose real data. A received file is therefore the sent data
// followed by up to 127 bytes of 0x1A.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orrery::xmodem {

inline constexpr std::uint8_t kSoh = 0x01;
inline constexpr std::uint8_t kEot = 0x04;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kCan = 0x18;
inline constexpr std::uint8_t kSub = 0x1A;
inline constexpr int kBlockSize = 128;
inline constexpr int kFrameSize = kBlockSize + 4;
// Sent to cancel; the other side needs two in a row, the rest cover one lost on a noisy line.
inline constexpr int kCancelCount = 5;

enum class Result {
    Ok = 0,
    LocalCancel,
    RemoteCancel,
    Timeout,
    TooManyErrors,
    OutOfSync,
    FileError,
    PortLost,
    // The sender ended the transfer before its first block: a received file would be empty.
    NothingReceived,
};

// A short phrase for messages: "cancelled", "the other side cancelled", ...
const char* describe(Result result);

struct Timing {
    // How long to wait for the other side to begin at all.
    int handshakeWaitMs = 60000;
    // The receiver repeats its opening NAK this often until the sender starts.
    int handshakeRetryMs = 5000;
    // Between the bytes of one block: a sender never pauses inside a block, so a gap means a lost byte.
    int byteTimeoutMs = 1000;
    // For the next block, or for the answer to a block or to EOT.
    int blockTimeoutMs = 10000;
    // After a damaged block the receiver waits for the line to fall quiet this long before its NAK, so
    // that the rest of the damaged block is not taken for the start of the next one.
    int purgeQuietMs = 1000;
    // Consecutive failures of one block (time-outs, NAKs, damaged frames) before giving up.
    int maxErrors = 10;
};

// What a state machine asks of its surroundings.
class Wire {
public:
    virtual ~Wire() = default;
    virtual void send(std::string_view bytes) = 0;
    // Arms the one timer, replacing any armed one; its expiry comes back as onTimeout().
    virtual void startTimer(int ms) = 0;
    virtual void stopTimer() = 0;
};

std::uint8_t checksum(const std::uint8_t* data, std::size_t size);
// One block as it goes on the line; data shorter than a block is padded with SUB.
std::string frameBlock(std::uint8_t number, const std::uint8_t* data, std::size_t size);

class Receiver {
public:
    Receiver(Wire& wire, Timing timing = {});
    // Opens the transfer with the first NAK.
    void start();
    void onBytes(const std::uint8_t* bytes, std::size_t size);
    void onBytes(std::string_view bytes) {
        onBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    void onTimeout();
    void cancel();
    // Ends the transfer without a word on the line (the port went away, the file cannot be written).
    void abort(Result result);

    bool finished() const { return m_state == State::Done; }
    Result result() const { return m_result; }
    // Data of the blocks accepted since the last call, in order.
    std::vector<std::uint8_t> takeData();
    std::uint64_t bytesReceived() const { return m_bytes; }

private:
    enum class State { Idle, Handshake, AwaitHeader, CanSeen, InBlock, Purge, Done };
    void acceptFrame();
    void fail(Result result, bool sendCancel);
    void nakAfterError();
    // Counts a failure of the current block; the last one decides how the transfer is reported.
    void countError(Result ifTooMany);
    void awaitHeader(int ms);
    void take(std::uint8_t byte);

    Wire& m_wire;
    Timing m_timing;
    State m_state = State::Idle;
    Result m_result = Result::Ok;
    std::string m_frame;
    std::vector<std::uint8_t> m_data;
    std::uint64_t m_bytes = 0;
    int m_handshakeWaited = 0;
    int m_errors = 0;
    std::uint8_t m_expected = 1;
};

class Sender {
public:
    Sender(Wire& wire, std::vector<std::uint8_t> data, Timing timing = {});
    // Waits for the receiver's NAK.
    void start();
    void onBytes(const std::uint8_t* bytes, std::size_t size);
    void onBytes(std::string_view bytes) {
        onBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    void onTimeout();
    void cancel();
    void abort(Result result);

    bool finished() const { return m_state == State::Done; }
    Result result() const { return m_result; }
    // Data bytes the receiver has acknowledged.
    std::uint64_t bytesSent() const;

private:
    enum class State { Idle, Handshake, AwaitAck, AwaitEotAck, Done };
    void sendCurrent();
    void advance();
    void retry();
    void fail(Result result, bool sendCancel);
    bool lastBlockSent() const;

    Wire& m_wire;
    Timing m_timing;
    std::vector<std::uint8_t> m_data;
    State m_state = State::Idle;
    Result m_result = Result::Ok;
    std::size_t m_blockIndex = 0;  // 0-based index of the block in flight
    std::size_t m_acked = 0;       // blocks acknowledged
    int m_errors = 0;
    bool m_lastWasCan = false;
};

}  // namespace orrery::xmodem
