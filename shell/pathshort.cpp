#include "pathshort.h"

namespace orrery::shell {

namespace {

qsizetype nameStart(const QString& text) {
    return std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\'))) + 1;
}

}  // namespace

QString shortenPath(const QString& text, int limit) {
    if (text.size() <= limit) {
        return text;
    }
    const qsizetype split = nameStart(text);
    const QString dir = text.left(split);
    const QString name = text.mid(split);
    const qsizetype k = (limit - name.size() - 3) / 2;
    if (k <= 0) {
        return QStringLiteral("...") + name;
    }
    return dir.left(k) + QStringLiteral("...") + dir.right(k + 1) + name;
}

QString shortenPathToFit(const QString& path, const std::function<bool(const QString&)>& fits) {
    if (fits(path)) {
        return path;
    }
    const QString shortest = QStringLiteral("...") + path.mid(nameStart(path));
    for (int limit = int(path.size()) - 1; limit > 0; --limit) {
        const QString text = shortenPath(path, limit);
        if (fits(text) || text == shortest) {
            return text;
        }
    }
    return shortest;
}

}  // namespace orrery::shell
