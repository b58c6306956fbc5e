#include "editorsearch.h"

#include <QTextDocument>

namespace orrery {

namespace {

QTextDocument::FindFlags findFlags(SearchOptions options) {
    QTextDocument::FindFlags flags;
    if (options.testFlag(SearchOption::MatchCase)) {
        flags |= QTextDocument::FindCaseSensitively;
    }
    if (options.testFlag(SearchOption::WholeWords)) {
        flags |= QTextDocument::FindWholeWords;
    }
    return flags;
}

struct Range {
    int begin = 0;
    int end = 0;
};

Range searchRange(const QTextCursor& cursor, const SearchRequest& request) {
    if (request.options.testFlag(SearchOption::SelectedOnly) && !request.scope.isNull()) {
        return {request.scope.selectionStart(), request.scope.selectionEnd()};
    }
    return {0, cursor.document()->characterCount() - 1};
}

// The first match starting at or after from that ends inside the range.
QTextCursor findFrom(QTextDocument* document, int from, const SearchRequest& request, Range range) {
    if (request.text.isEmpty()) {
        return {};
    }
    const QTextCursor match = document->find(request.text, std::max(from, range.begin), findFlags(request.options));
    if (match.isNull() || match.selectionEnd() > range.end) {
        return {};
    }
    return match;
}

bool selectionIsMatch(const QTextCursor& cursor, const SearchRequest& request, Range range) {
    if (!cursor.hasSelection()) {
        return false;
    }
    const QTextCursor match = findFrom(cursor.document(), cursor.selectionStart(), request, range);
    return !match.isNull() && match.selectionStart() == cursor.selectionStart() &&
           match.selectionEnd() == cursor.selectionEnd();
}

int replaceAll(QTextCursor& cursor, const SearchRequest& request, Range range) {
    QTextDocument* document = cursor.document();
    // The scope end moves as replacements change the length of the text before it.
    QTextCursor end(document);
    end.setPosition(range.end);
    int from = request.options.testFlag(SearchOption::FromTop) ? range.begin : cursor.selectionStart();
    int count = 0;
    QTextCursor edit(document);
    edit.beginEditBlock();
    for (;;) {
        QTextCursor match = findFrom(document, from, request, {range.begin, end.position()});
        if (match.isNull()) {
            break;
        }
        edit.setPosition(match.selectionStart());
        edit.setPosition(match.selectionEnd(), QTextCursor::KeepAnchor);
        edit.insertText(request.replacement);
        from = edit.position();
        ++count;
    }
    edit.endEditBlock();
    if (count > 0) {
        cursor.setPosition(from);
    }
    return count;
}

}  // namespace

bool searchText(QTextCursor& cursor, const SearchRequest& request) {
    const Range range = searchRange(cursor, request);
    const int from = request.options.testFlag(SearchOption::FromTop) ? range.begin : cursor.selectionEnd();
    const QTextCursor match = findFrom(cursor.document(), from, request, range);
    if (match.isNull()) {
        return false;
    }
    cursor.setPosition(match.selectionStart());
    cursor.setPosition(match.selectionEnd(), QTextCursor::KeepAnchor);
    return true;
}

int replaceText(QTextCursor& cursor, const SearchRequest& request) {
    const Range range = searchRange(cursor, request);
    if (request.options.testFlag(SearchOption::ReplaceAll)) {
        return replaceAll(cursor, request, range);
    }
    int replaced = 0;
    if (selectionIsMatch(cursor, request, range)) {
        cursor.insertText(request.replacement);
        replaced = 1;
    }
    SearchRequest next = request;
    next.options &= ~SearchOptions(SearchOption::FromTop);
    return searchText(cursor, next) ? replaced : -1;
}

}  // namespace orrery
