#pragma once

#include "toolkit/dialogform.h"

#include <QList>
#include <QString>

#include <functional>

class QTreeWidget;

namespace darvolt {

// One removable medium as the list shows it.
struct TMediumRow {
    QString label;
    QString size;
    QString folder;
};

// The list of removable media a spanned run offers when several are
// present at its prompt: the question above, one row per medium with its
// label, size and folder, OK and Cancel centred below, as the message
// dialogs look. The first medium is selected; a double click or Enter takes
// the selected one, Escape and the close box take none.
class TMediumDialog : public TDialogForm
{
    Q_OBJECT

public:
    TMediumDialog(const QString &title, const QString &text, const QList<TMediumRow> &rows,
                  QWidget *parent = nullptr);

    QTreeWidget *List() const { return m_list; }
    // The selected row, or -1.
    int Chosen() const;

private:
    QTreeWidget *m_list = nullptr;
};

// Shows the dialog modally: the chosen row, or -1 for none. Tests put a
// function of their own in its place to see and answer it.
int ChooseMediumDialog(const QString &title, const QString &text, const QList<TMediumRow> &rows);

using TMediumChoiceHandler = std::function<int(const QString &text, const QList<TMediumRow> &rows)>;
// Installs a handler and returns the previous one; an empty one brings back
// the dialog.
TMediumChoiceHandler SetMediumChoiceHandler(TMediumChoiceHandler handler);

} // namespace darvolt
