#include "errors.h"

#include <algorithm>

namespace orrery::compiler {

std::string userText(Err error) {
    std::string text(kErrorNames[static_cast<int>(error)].substr(0, 80));
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

std::string errorCodeName(std::string_view message) {
    for (std::size_t i = 0; i < kErrorNames.size(); ++i) {
        if (userText(static_cast<Err>(i)) == message) return std::string(kErrorNames[i]);
    }
    std::string name;
    bool inQuotes = false;
    bool pendingSeparator = false;
    for (char c : message) {
        if (c == '"') {
            inQuotes = !inQuotes;
            continue;
        }
        const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (inQuotes) continue;
        if (!word) {
            pendingSeparator = !name.empty();
            continue;
        }
        if (pendingSeparator) name += '_';
        pendingSeparator = false;
        name += c;
    }
    // A message of nothing but a quoted name still needs a kind.
    return name.empty() ? std::string(kErrorNames[static_cast<int>(Err::unknown_error)]) : name;
}

}  // namespace orrery::compiler
