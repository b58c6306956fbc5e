#include "keyworddocs.h"

namespace orrery::compiler {

const KeywordDoc* keywordDoc(std::string_view name) {
    const std::optional<int> keyword = lookupKeyword(name);
    if (!keyword)
        return nullptr;
    return &kKeywordDocs[static_cast<std::size_t>(*keyword - kFirstKeyword)];
}

}  // namespace orrery::compiler
