#include "widgets/comboeditaccessible.h"

#include "toolkit/accessibility.h"
#include "widgets/customcomboedit.h"
#include "widgets/editbutton.h"

#include <QFontMetrics>

namespace darvolt {

TComboEditAccessible::TComboEditAccessible(TCustomComboEdit *edit)
    : QAccessibleWidget(edit, QAccessible::EditableText)
{
}

TCustomComboEdit *TComboEditAccessible::edit() const
{
    return static_cast<TCustomComboEdit *>(widget());
}

QString TComboEditAccessible::shownText() const
{
    return edit()->echoMode() == QLineEdit::Normal ? edit()->text() : edit()->displayText();
}

QString TComboEditAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name:
        if (!edit()->accessibleName().isEmpty())
            return edit()->accessibleName();
        return BuddyLabelText(edit());
    case QAccessible::Value:
        return shownText();
    default:
        return QAccessibleWidget::text(t);
    }
}

void TComboEditAccessible::setText(QAccessible::Text t, const QString &text)
{
    if (t != QAccessible::Value || edit()->isReadOnly()) {
        QAccessibleWidget::setText(t, text);
        return;
    }
    edit()->setText(text);
}

QAccessible::State TComboEditAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = edit()->isReadOnly();
    s.editable = !s.readOnly;
    s.passwordEdit = edit()->echoMode() != QLineEdit::Normal;
    s.selectableText = true;
    return s;
}

void *TComboEditAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (t == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
}

int TComboEditAccessible::childCount() const
{
    return edit()->Button() ? 1 : 0;
}

QAccessibleInterface *TComboEditAccessible::child(int index) const
{
    if (index != 0 || !edit()->Button())
        return nullptr;
    return QAccessible::queryAccessibleInterface(edit()->Button());
}

int TComboEditAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    return child && edit()->Button() && child->object() == edit()->Button() ? 0 : -1;
}

void TComboEditAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !edit()->hasSelectedText())
        return;
    *startOffset = edit()->selectionStart();
    *endOffset = *startOffset + edit()->selectionLength();
}

int TComboEditAccessible::selectionCount() const
{
    return edit()->hasSelectedText() ? 1 : 0;
}

void TComboEditAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void TComboEditAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        edit()->deselect();
}

void TComboEditAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        edit()->setSelection(startOffset, endOffset - startOffset);
}

int TComboEditAccessible::cursorPosition() const
{
    return edit()->cursorPosition();
}

void TComboEditAccessible::setCursorPosition(int position)
{
    edit()->setCursorPosition(position);
}

QString TComboEditAccessible::text(int startOffset, int endOffset) const
{
    if (startOffset > endOffset)
        return {};
    return shownText().mid(startOffset, endOffset - startOffset);
}

int TComboEditAccessible::characterCount() const
{
    return int(shownText().size());
}

QRect TComboEditAccessible::characterRect(int offset) const
{
    const QString shown = shownText();
    if (offset < 0 || offset >= shown.size())
        return {};
    // The edit tells where its caret stands, scrolling included; the other
    // characters lie at their advance from there.
    const QFontMetrics metrics(edit()->font());
    const QRect caret = edit()->CaretRect();
    const int caretX = caret.center().x();
    const int x = caretX - metrics.horizontalAdvance(shown.left(edit()->cursorPosition()))
                  + metrics.horizontalAdvance(shown.left(offset));
    const QRect local(x, caret.top(), metrics.horizontalAdvance(shown.at(offset)), caret.height());
    return QRect(edit()->mapToGlobal(local.topLeft()), local.size());
}

int TComboEditAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint local = edit()->mapFromGlobal(point);
    if (!edit()->EditRect().contains(local))
        return -1;
    return edit()->cursorPositionAt(local);
}

void TComboEditAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    // Moving the caret over both ends brings the part into view.
    edit()->setCursorPosition(endIndex);
    edit()->setCursorPosition(startIndex);
}

QString TComboEditAccessible::attributes(int, int *startOffset, int *endOffset) const
{
    // One plain run over the whole text.
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void TComboEditAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, QString());
}

void TComboEditAccessible::insertText(int offset, const QString &text)
{
    replaceText(offset, offset, text);
}

void TComboEditAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    if (edit()->isReadOnly() || startOffset < 0 || endOffset < startOffset || endOffset > characterCount())
        return;
    // Through the selection, so that the edit's undo and its change
    // handling see an ordinary edit.
    if (endOffset == startOffset)
        edit()->setCursorPosition(startOffset);
    else
        edit()->setSelection(startOffset, endOffset - startOffset);
    if (!text.isEmpty())
        edit()->insert(text);
    else if (endOffset > startOffset)
        edit()->del();
}

} // namespace darvolt
