#pragma once

#include "widgets/customcomboedit.h"

namespace darvolt {

// What every file-system browser edit adds: the folder glyph, files dropped
// from the desktop, and events around the dialog.
class TFileDirEdit : public TCustomComboEdit
{
    Q_OBJECT
    Q_PROPERTY(bool AcceptFiles READ AcceptFiles WRITE setAcceptFiles)

public:
    explicit TFileDirEdit(QWidget *parent = nullptr);

    bool AcceptFiles() const { return m_acceptFiles; }
    void setAcceptFiles(bool value);
    // Set while the dialog lets the user pick several files.
    bool MultipleFiles() const { return m_multipleFiles; }

    // Takes dropped files in, as a drop from the desktop does.
    void DropFiles(const QStringList &files);

signals:
    // Connect directly: the handlers may change the name and the action.
    void OnBeforeDialog(QObject *Sender, QString &Name, bool &Action);
    void OnAfterDialog(QObject *Sender, QString &Name, bool &Action);
    void OnDropFiles(QObject *Sender);

protected:
    // Empties the list of files the dialog holds, before a drop.
    virtual void ClearFileList() = 0;
    // Takes one dropped name in; false to stop after it.
    virtual bool TakeDroppedFile(const QString &name) = 0;

    void setMultipleFiles(bool value) { m_multipleFiles = value; }

    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool m_acceptFiles = false;
    bool m_multipleFiles = false;
};

} // namespace darvolt
