#pragma once

#include "toolkit/dialogform.h"
#include "toolkit/dialogs.h"

#include <QStyle>

class QAbstractButton;
class QDialogButtonBox;
class QGridLayout;
class QPlainTextEdit;
class QScrollArea;

namespace darvolt {

// The text of a message dialog: plain text that wraps at word boundaries
// and, where a word (a long path) is wider than the line, inside the word,
// so that every character can be seen at any width.
class TWrappedText : public QWidget
{
public:
    explicit TWrappedText(const QString &text, QWidget *parent = nullptr);

    QString Text() const { return m_text; }
    // The width of the widest line without wrapping.
    int NaturalWidth() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QString m_text;
};

// A message dialog of one of the four kinds: the kind's icon, the text, and
// OK (with Cancel for a prompt) centred below. The box takes the width the
// text needs up to half the screen, the whole width when the text would
// otherwise be too tall, and scrolls its text when even that is not enough,
// so that the box always stays on the screen and the whole text can be read.
// A question asks Yes or No. Details, when given, wait behind a Details
// button. Escape and the close box answer Cancel on a prompt, No on a
// question and OK elsewhere;
// Ctrl+C copies the text.
class TMessageForm : public TDialogForm
{
    Q_OBJECT

public:
    explicit TMessageForm(const TMessageDialogRequest &request, QWidget *parent = nullptr);

    TMsgDlgKind Kind() const { return m_kind; }
    QString Text() const { return m_text->Text(); }
    // The kind's icon, or QStyle::SP_CustomBase for none.
    QStyle::StandardPixmap IconKind() const { return m_icon; }
    // The button that answers mrOk or mrCancel; null when the box has none.
    QAbstractButton *Button(int answer) const;
    QAbstractButton *DefaultButton() const;
    // What Escape and the close box answer.
    int EscapeAnswer() const
    {
        return m_kind == TMsgDlgKind::Prompt ? mrCancel : m_kind == TMsgDlgKind::Question ? mrNo : mrOk;
    }
    // The details behind the Details button; null when the box has none.
    QPlainTextEdit *Details() const { return m_details; }
    TWrappedText *TextWidget() const { return m_text; }
    QScrollArea *TextArea() const { return m_area; }

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FitToScreen();
    void AddDetails(const QString &details, QDialogButtonBox *buttons, QGridLayout *grid);

    TMsgDlgKind m_kind;
    QStyle::StandardPixmap m_icon = QStyle::SP_CustomBase;
    TWrappedText *m_text = nullptr;
    QScrollArea *m_area = nullptr;
    QAbstractButton *m_ok = nullptr;
    QAbstractButton *m_cancel = nullptr;
    QPlainTextEdit *m_details = nullptr;
};

} // namespace darvolt
