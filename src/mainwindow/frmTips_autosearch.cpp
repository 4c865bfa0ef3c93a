// Typing completion in the category and search-key lists used while editing a tip.
#include "mainwindow/frmTips.h"

#include <QComboBox>
#include <QLineEdit>

// Called for every character key typed into the list; keyAscii becomes 0 when the key was used
// to complete the entry, so the caller drops it instead of typing it a second time.
void frmTips::AutoSearch(QComboBox* cbo, int& keyAscii) {
    QLineEdit* edit = cbo ? cbo->lineEdit() : nullptr;
    if (!edit || keyAscii <= 0 || keyAscii > 0xFFFF) return;
    // What the text would be up to the caret once the key is typed (a selection is replaced).
    const int selStart = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const QString search = edit->text().left(selStart) + QChar(keyAscii);

    // Matching ignores letter case; control keys (Backspace, Enter) begin no entry.
    const int found = cbo->findText(search, Qt::MatchStartsWith);
    if (found < 0) return;
    const QString text = cbo->itemText(found);
    cbo->setCurrentIndex(found);
    cbo->setEditText(text); // the entry's own letter case replaces what was typed
    edit->setSelection(int(search.size()), int(text.size() - search.size()));
    keyAscii = 0;
}
