#include "widgets/filenameedit.h"

#include "widgets/filenamerules.h"

#include <QFileInfo>

namespace darvolt {

TFilenameEdit::TFilenameEdit(QWidget *parent)
    : TFileDirEdit(parent)
    , m_dialog(std::make_unique<TFileNameDialog>())
{
    m_dialog->Title = DefaultTitle;
    m_dialog->Filter = DefaultFilter;
    m_dialog->Options = TFileNameDialog::ofHideReadOnly;
}

TFilenameEdit::~TFilenameEdit() = default;

TFilenameEdit::TFileDialogKind TFilenameEdit::DialogKind() const
{
    return m_dialog->DialogKind == TFileNameDialog::Kind::Save ? dkSave : dkOpen;
}

void TFilenameEdit::setDialogKind(TFileDialogKind kind)
{
    if (kind == DialogKind())
        return;
    // A new dialog of the other kind, with every setting of the old one.
    auto replacement = std::make_unique<TFileNameDialog>(*m_dialog);
    replacement->DialogKind = kind == dkSave ? TFileNameDialog::Kind::Save : TFileNameDialog::Kind::Open;
    m_dialog = std::move(replacement);
}

void TFilenameEdit::setDialogOptions(TFileNameDialog::TOpenOptions options)
{
    if (options == m_dialog->Options)
        return;
    m_dialog->Options = options;
    const bool multiple = options.testFlag(TFileNameDialog::ofAllowMultiSelect);
    setMultipleFiles(multiple);
    if (!multiple)
        m_dialog->Files.clear();
}

QString TFilenameEdit::FileName() const
{
    return CleanFileName(text());
}

void TFilenameEdit::setFileName(const QString &name)
{
    if (!name.isEmpty() && !IsValidFileName(CleanFileName(name)))
        throw EComboEditError(QStringLiteral("Invalid file name - %1").arg(name));
    setText(QuoteFileName(name));
    m_dialog->Files.clear();
}

void TFilenameEdit::ButtonClick()
{
    TFileDirEdit::ButtonClick();

    QString name = CleanFileName(text());
    bool action = true;
    emit OnBeforeDialog(this, name, action);
    if (!action)
        return;

    // Pre-set the dialog from the name when it can take it; otherwise the
    // dialog keeps the file name and folder of its previous use.
    if (IsValidFileName(name)) {
        const QString folder = ExtractFilePath(name);
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            m_dialog->InitialDir = folder;
        const QString bare = ExtractFileName(name);
        if (bare.isEmpty() || !IsValidFileName(bare))
            name.clear();
        m_dialog->FileName = name;
    }
    m_dialog->HelpContext = 0;

    const bool confirmed = m_dialog->Execute(this);
    if (confirmed)
        name = m_dialog->FileName;
    action = confirmed;
    if (isEnabled() && isVisible() && focusPolicy() != Qt::NoFocus)
        setFocus(Qt::OtherFocusReason);
    emit OnAfterDialog(this, name, action);
    if (action) {
        setText(QuoteFileName(name));
        m_dialog->InitialDir = ExtractFilePath(m_dialog->FileName);
    }
}

void TFilenameEdit::ClearFileList()
{
    m_dialog->Files.clear();
}

bool TFilenameEdit::TakeDroppedFile(const QString &name)
{
    // A dropped name the rules refuse is skipped rather than thrown out of
    // the drop, which nothing could catch.
    if (!IsValidFileName(CleanFileName(name)))
        return true;
    if (!MultipleFiles()) {
        setFileName(name);
        return false;
    }
    if (m_dialog->Files.isEmpty())
        setFileName(name);
    m_dialog->Files << name;
    return true;
}

} // namespace darvolt
