#include "errors.h"

#include <algorithm>

namespace orrery::compiler {

std::string userText(Err error) {
    std::string text(kErrorNames[static_cast<int>(error)].substr(0, 80));
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

}  // namespace orrery::compiler
