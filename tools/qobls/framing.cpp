#include "framing.h"

#include <cstdlib>

namespace orrery::qobls {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char a = text[i] >= 'A' && text[i] <= 'Z' ? char(text[i] - 'A' + 'a') : text[i];
        if (a != prefix[i])
            return false;
    }
    return true;
}

// The Content-Length of a header block, or -1 when it has none that is a plain decimal number.
long long contentLength(std::string_view header) {
    long long length = -1;
    std::size_t pos = 0;
    while (pos < header.size()) {
        std::size_t end = header.find("\r\n", pos);
        if (end == std::string_view::npos)
            end = header.size();
        std::string_view line = header.substr(pos, end - pos);
        if (startsWithNoCase(line, "content-length:")) {
            line.remove_prefix(15);
            while (!line.empty() && line.front() == ' ')
                line.remove_prefix(1);
            while (!line.empty() && line.back() == ' ')
                line.remove_suffix(1);
            if (line.empty() || line.size() > 12)
                return -1;
            long long value = 0;
            for (char c : line) {
                if (c < '0' || c > '9')
                    return -1;
                value = value * 10 + (c - '0');
            }
            length = value;
        }
        pos = end + 2;
    }
    return length;
}

}  // namespace

MessageReader::Status MessageReader::next(std::string& body) {
    const std::size_t headerEnd = m_buffer.find("\r\n\r\n");
    if (headerEnd == std::string::npos) {
        if (m_buffer.size() <= kMaxHeaderBytes)
            return Status::NeedMore;
        m_buffer.clear();
        return Status::BadHeader;
    }
    const long long length = contentLength(std::string_view(m_buffer).substr(0, headerEnd));
    if (length < 0 || static_cast<unsigned long long>(length) > kMaxMessageBytes) {
        m_buffer.erase(0, headerEnd + 4);
        return Status::BadHeader;
    }
    const std::size_t bodyStart = headerEnd + 4;
    if (m_buffer.size() - bodyStart < static_cast<std::size_t>(length))
        return Status::NeedMore;
    body.assign(m_buffer, bodyStart, static_cast<std::size_t>(length));
    m_buffer.erase(0, bodyStart + static_cast<std::size_t>(length));
    return Status::Message;
}

std::string frameMessage(std::string_view body) {
    std::string message = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    message += body;
    return message;
}

}  // namespace orrery::qobls
