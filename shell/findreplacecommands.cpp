#include "findreplacecommands.h"

#include "editorcontrol.h"
#include "findreplace.h"
#include "prompts.h"

namespace orrery::shell {

namespace {

const QString kTextNotFound = QStringLiteral("Text not found");
const QString kNoMoreInstances = QStringLiteral("No more instances found");

// The options a command starts from: find, with the dialog's scope and matching boxes.
SearchOptions baseOptions(const FindReplaceChecks& c) {
    SearchOptions options = SearchOption::Find;
    options.setFlag(SearchOption::FromTop, c.startAtTop);
    options.setFlag(SearchOption::SelectedOnly, c.selectedText);
    options.setFlag(SearchOption::WholeWords, c.wholeWords);
    options.setFlag(SearchOption::MatchCase, c.caseSensitive);
    return options;
}

SearchOptions asFind(SearchOptions options) {
    options |= SearchOption::Find;
    options &= ~SearchOptions(SearchOption::Replace | SearchOption::ReplaceAll);
    return options;
}

SearchOptions asReplace(SearchOptions options) {
    options |= SearchOption::Replace;
    options &= ~SearchOptions(SearchOption::Find);
    return options;
}

SearchRequest withOptions(SearchRequest request, SearchOptions options) {
    request.options = options;
    return request;
}

// Searches; when nothing is found and "Wrap around" is checked, searches once more from the top.
bool searchWrapping(EditorControl& editor, const SearchRequest& request, bool wrapAround) {
    if (editor.searchNext(request)) {
        return true;
    }
    return wrapAround && editor.searchNext(withOptions(request, request.options | SearchOption::FromTop));
}

Answer askReplaceThisInstance(Prompts& prompts) {
    return prompts.askYesNoCancel(QStringLiteral("Replace this instance?"), QStringLiteral("Confirmation"));
}

// Replaces the selected match and selects the next; false when there is no next match.
bool replaceAndMoveOn(EditorControl& editor, const SearchRequest& request) {
    return editor.replaceNext(request) >= 0 && editor.hasSelection();
}

}  // namespace

void findCommand(EditorControl& editor, TFindReplaceForm& form, Prompts& prompts) {
    if (!form.run(TFindReplaceForm::Mode::Find)) {
        return;
    }
    const FindReplaceChecks checks = form.checks();
    const SearchOptions options = baseOptions(checks);
    editor.setSearchOptions(options);
    const SearchRequest request = editor.beginSearch(form.searchText(), form.replacementText(), options);
    if (!searchWrapping(editor, request, checks.wrapAround)) {
        prompts.showMessage(kTextNotFound);
    }
}

void findAgainCommand(EditorControl& editor, TFindReplaceForm& form, Prompts& prompts) {
    const FindReplaceChecks checks = form.checks();
    SearchOptions options = editor.searchOptions() & ~SearchOptions(SearchOption::FromTop | SearchOption::SelectedOnly);
    const SearchRequest request{form.searchText(), form.replacementText(), options, {}};

    if (!options.testFlag(SearchOption::Replace)) {
        options = asFind(options);
        editor.setSearchOptions(options);
        if (!searchWrapping(editor, withOptions(request, options), checks.wrapAround)) {
            prompts.showMessage(kTextNotFound);
        }
        return;
    }

    options = asReplace(options & ~SearchOptions(SearchOption::ReplaceAll));
    editor.setSearchOptions(options);
    bool more = true;
    if (!checks.promptOnReplace) {
        more = replaceAndMoveOn(editor, withOptions(request, options));
    } else {
        switch (askReplaceThisInstance(prompts)) {
            case Answer::Yes:
                more = replaceAndMoveOn(editor, withOptions(request, options));
                break;
            case Answer::No:
                // Skipping one instance keeps the replace going: the next "Find again" prompts again.
                more = editor.searchNext(withOptions(request, asFind(options)));
                break;
            default:
                return;
        }
    }
    if (!more) {
        prompts.showMessage(kNoMoreInstances);
    }
}

void replaceCommand(EditorControl& editor, TFindReplaceForm& form, Prompts& prompts) {
    if (!form.run(TFindReplaceForm::Mode::Replace)) {
        return;
    }
    const FindReplaceChecks checks = form.checks();
    const SearchOptions base = baseOptions(checks);
    const SearchRequest request = editor.beginSearch(form.searchText(), form.replacementText(), base);
    // "Find again" after a replace goes on replacing.
    editor.setSearchOptions(asReplace(base));

    if (checks.promptOnReplace && checks.replaceAll) {
        SearchOptions find = base;
        SearchOptions replace = asReplace(base);
        bool more = editor.searchNext(withOptions(request, find));
        while (more) {
            find &= ~SearchOptions(SearchOption::FromTop);
            replace &= ~SearchOptions(SearchOption::FromTop);
            const Answer answer = askReplaceThisInstance(prompts);
            if (answer == Answer::Yes) {
                more = replaceAndMoveOn(editor, withOptions(request, replace));
            } else if (answer == Answer::No) {
                more = editor.searchNext(withOptions(request, find));
            } else {
                return;
            }
        }
        prompts.showMessage(kNoMoreInstances);
        return;
    }

    if (checks.promptOnReplace) {
        if (!editor.searchNext(request)) {
            prompts.showMessage(kTextNotFound);
        } else if (askReplaceThisInstance(prompts) == Answer::Yes) {
            editor.replaceNext(withOptions(request, asReplace(base) & ~SearchOptions(SearchOption::FromTop)));
        }
        return;
    }

    if (!searchWrapping(editor, request, checks.wrapAround)) {
        prompts.showMessage(kTextNotFound);
        return;
    }
    SearchOptions options = asReplace(base);
    options.setFlag(SearchOption::ReplaceAll, checks.replaceAll);
    options.setFlag(SearchOption::FromTop, checks.wrapAround);
    if (!checks.replaceAll) {
        options &= ~SearchOptions(SearchOption::FromTop);
    }
    const int count = editor.replaceNext(withOptions(request, options));
    if (checks.replaceAll) {
        prompts.showMessage(QStringLiteral("%1 replacements made").arg(count));
    }
}

}  // namespace orrery::shell
