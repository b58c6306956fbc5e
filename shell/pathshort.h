#pragma once
// Shortens a path for display by cutting the middle of its folder part:
//   "/home/user/projects/loggers/site-a/2026/PROGRAM1.qob" to 40 -> "/home/user/p...e-a/2026/PROGRAM1.qob"
// The file name itself is always kept whole.

#include <QString>
#include <functional>

namespace orrery::shell {

// Returns text unchanged when it has at most limit characters. Otherwise keeps k characters at the
// start of the folder part and k + 1 at its end, with k = (limit - length(name) - 3) / 2, and "..."
// between them; when k <= 0 the result is "..." followed by the name.
QString shortenPath(const QString& text, int limit);

// The longest shortening of path that fits: the limit starts at the path's length - 1 and goes down
// until fits() accepts the text. Once the folder part has gone entirely the text cannot get shorter,
// so that form is returned even when it does not fit.
QString shortenPathToFit(const QString& path, const std::function<bool(const QString&)>& fits);

}  // namespace orrery::shell
