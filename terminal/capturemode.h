#pragma once
// The "Capture Mode" question asked when the chosen capture file already exists.

#include <QString>

#include "prompts.h"

namespace orrery::terminal {

enum class CaptureMode { Append, Overwrite, Cancel };

// Asks whether to append to or overwrite the existing file; the current mode is the default button.
CaptureMode askCaptureMode(Prompts& prompts, const QString& fileName, bool appendIsDefault);

}  // namespace orrery::terminal
