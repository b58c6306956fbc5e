#pragma once
// Search and replace over a text document, without any widget: the find commands of the editor windows
// are built on these two operations.
//
// A search starts at the cursor (the end of the current selection, so that repeating a search moves
// on), or at the top of the text with FromTop. With SelectedOnly it is confined to a scope, the range
// that was selected when the command began; the scope is a cursor into the document, so it follows
// the edits that replacing makes. A found match is selected in the cursor.

#include <QFlags>
#include <QString>
#include <QTextCursor>

class QTextDocument;

namespace orrery {

enum class SearchOption {
    Find = 0x01,
    Replace = 0x02,
    ReplaceAll = 0x04,
    FromTop = 0x08,
    MatchCase = 0x10,
    WholeWords = 0x20,
    SelectedOnly = 0x40,
};
Q_DECLARE_FLAGS(SearchOptions, SearchOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(SearchOptions)

struct SearchRequest {
    QString text;
    QString replacement;
    SearchOptions options;
    QTextCursor scope;  // used with SelectedOnly; a null cursor means the whole text
};

// Selects the next match in cursor; false (cursor unchanged) when there is none.
bool searchText(QTextCursor& cursor, const SearchRequest& request);

// With ReplaceAll: replaces every match from the current match (or from the top with FromTop) to the
// end of the text or scope, as one undo step, and returns the number of replacements.
// Without: replaces the selected match (only when the selection is a match) and selects the next one;
// returns the number replaced (0 or 1), or -1 when no further match was found.
int replaceText(QTextCursor& cursor, const SearchRequest& request);

}  // namespace orrery
