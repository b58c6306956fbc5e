#include "capturemode.h"

namespace orrery::terminal {

CaptureMode askCaptureMode(Prompts& prompts, const QString& fileName, bool appendIsDefault) {
    const QStringList buttons{QStringLiteral("&Append"), QStringLiteral("&Overwrite"), QStringLiteral("Cancel")};
    const int choice = prompts.choose(QStringLiteral("Capture Mode"),
                                      QStringLiteral("This file already exists:\n") + fileName, buttons,
                                      appendIsDefault ? 0 : 1, PromptIcon::Question);
    switch (choice) {
        case 0:
            return CaptureMode::Append;
        case 1:
            return CaptureMode::Overwrite;
        default:
            return CaptureMode::Cancel;
    }
}

}  // namespace orrery::terminal
