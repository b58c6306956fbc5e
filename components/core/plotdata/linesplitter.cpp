#include "linesplitter.h"

namespace orrery::plot {

void LineSplitter::keep(std::string_view piece) {
    if (m_overlong) {
        return;
    }
    if (m_partial.size() + piece.size() > kMaxLineLength) {
        m_overlong = true;
        m_partial.clear();
        return;
    }
    m_partial.append(piece);
}

void LineSplitter::finishLine() {
    if (m_overlong) {
        ++m_overlongLines;
    }
    m_overlong = false;
    m_partial.clear();
}

void LineSplitter::reset() {
    m_overlong = false;
    m_afterCR = false;
    m_partial.clear();
}

}  // namespace orrery::plot
