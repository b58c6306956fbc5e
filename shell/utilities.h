#pragma once
// Small helpers shared by the workbench dialogs: the integer conversion every number field uses, with
// its standard message.

#include <QString>
#include <optional>

namespace orrery::shell {

// Converts a dialog field to an integer the way every number field of the workbench does: surrounding
// blanks are ignored, anything else that is not a decimal integer is refused.
std::optional<int> parseInteger(const QString& text);

// "'%s' is not a valid integer value" with the field's text in place of %s.
QString invalidIntegerMessage(const QString& text);

}  // namespace orrery::shell
