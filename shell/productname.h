#pragma once
// The name the workbench goes by on the desktop: the main window's caption, the title of its message
// boxes and the application name the task bar shows.

#include <QString>

namespace orrery {

inline const QString kProductName = QStringLiteral("Orrery");

}  // namespace orrery
