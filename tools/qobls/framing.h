#pragma once
// The base protocol's framing: each message is a header block ("Content-Length: N", optionally
// "Content-Type: ...", each line ending in CR LF, then an empty line) and N bytes of JSON.
//
// The reader collects bytes as they arrive and hands out whole bodies. A header block without a usable
// Content-Length is dropped and reported, so that one bad message does not end the session: the
// reader goes on with the bytes after that block.

#include <cstddef>
#include <string>
#include <string_view>

namespace orrery::qobls {

// Bodies and header blocks larger than this are refused rather than buffered without end.
inline constexpr std::size_t kMaxMessageBytes = 64u * 1024u * 1024u;
inline constexpr std::size_t kMaxHeaderBytes = 8192;

class MessageReader {
public:
    enum class Status { Message, NeedMore, BadHeader };

    void append(std::string_view bytes) { m_buffer.append(bytes); }
    // The next whole body into body (Message), nothing yet (NeedMore), or a dropped header (BadHeader).
    Status next(std::string& body);

private:
    std::string m_buffer;
};

// Header and body of one outgoing message.
std::string frameMessage(std::string_view body);

}  // namespace orrery::qobls
