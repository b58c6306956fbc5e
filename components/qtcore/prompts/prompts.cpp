#include "prompts.h"

namespace orrery {

Answer Prompts::askYesNoCancel(const QString& text, const QString& caption) {
    switch (choose(caption, text, {QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("Cancel")})) {
        case 0:
            return Answer::Yes;
        case 1:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

Answer Prompts::askYesNo(const QString& text, const QString& caption) {
    // Closing a yes/no box without choosing counts as No: nothing is done that the user did not ask for.
    return choose(caption, text, {QStringLiteral("&Yes"), QStringLiteral("&No")}) == 0 ? Answer::Yes : Answer::No;
}

Answer Prompts::askOkCancel(const QString& text, const QString& caption) {
    return choose(caption, text, {QStringLiteral("OK"), QStringLiteral("Cancel")}) == 0 ? Answer::Ok
                                                                                        : Answer::Cancel;
}

}  // namespace orrery
