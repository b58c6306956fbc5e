#pragma once
// Cuts a stream of received bytes into lines, whatever the pieces it arrives in.
//
// A line ends at CR, LF or CR LF (also when the CR and the LF come in different pieces). Empty lines are
// counted but not reported. Only the unfinished end of the stream is kept, never more than
// kMaxLineLength bytes: a longer line (a memory dump, binary data with no line ends) is dropped whole, up
// to its line end, and counted. reset() forgets the unfinished line, for when bytes were taken from the
// stream by someone else in between.

#include <cstdint>
#include <string>
#include <string_view>

#include "lineparser.h"

namespace orrery::plot {

class LineSplitter {
public:
    // Calls onLine(std::string_view) for every non-empty line the bytes complete; lineEnds() already
    // counts that line when it is called, so it is the line's number.
    template <typename OnLine>
    void feed(std::string_view bytes, OnLine&& onLine) {
        std::size_t at = 0;
        if (m_afterCR && !bytes.empty() && bytes.front() == '\n') {
            at = 1;
        }
        m_afterCR = false;
        while (at < bytes.size()) {
            const std::size_t end = bytes.find_first_of("\r\n", at);
            if (end == std::string_view::npos) {
                keep(bytes.substr(at));
                return;
            }
            const std::string_view piece = bytes.substr(at, end - at);
            ++m_lineEnds;
            if (m_partial.empty() && !m_overlong) {
                if (piece.size() > kMaxLineLength) {
                    ++m_overlongLines;
                } else if (!piece.empty()) {
                    onLine(piece);
                }
            } else {
                keep(piece);
                if (!m_overlong && !m_partial.empty()) {
                    onLine(std::string_view(m_partial));
                }
                finishLine();
            }
            at = end + 1;
            if (bytes[end] == '\r') {
                if (at == bytes.size()) {
                    m_afterCR = true;
                } else if (bytes[at] == '\n') {
                    ++at;
                }
            }
        }
    }

    // The end of the stream (of a file) ends its last line too.
    template <typename OnLine>
    void finish(OnLine&& onLine) {
        if (!m_partial.empty() || m_overlong) {
            ++m_lineEnds;
            if (!m_overlong) {
                onLine(std::string_view(m_partial));
            }
            finishLine();
        }
        m_afterCR = false;
    }

    void reset();
    // Lines ended so far, empty and dropped ones included.
    std::uint64_t lineEnds() const { return m_lineEnds; }
    // Lines dropped because they were longer than kMaxLineLength.
    std::uint64_t overlongLines() const { return m_overlongLines; }

private:
    void keep(std::string_view piece);
    void finishLine();

    std::string m_partial;
    bool m_overlong = false;
    bool m_afterCR = false;
    std::uint64_t m_lineEnds = 0;
    std::uint64_t m_overlongLines = 0;
};

}  // namespace orrery::plot
