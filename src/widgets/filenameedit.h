#pragma once

#include "widgets/filediredit.h"
#include "widgets/filenamedialog.h"

#include <memory>

namespace darvolt {

// The field for a file path with a browse button. The button (or Alt+Down)
// opens the file dialog pre-set from the text; a confirmed choice comes back
// into the text, quoted when it holds a blank.
class TFilenameEdit : public TFileDirEdit
{
    Q_OBJECT
    Q_PROPERTY(TFileDialogKind DialogKind READ DialogKind WRITE setDialogKind)
    Q_PROPERTY(QString DefaultExt READ DefaultExt WRITE setDefaultExt)
    Q_PROPERTY(TFileEditStyle FileEditStyle READ FileEditStyle WRITE setFileEditStyle)
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName STORED false)
    Q_PROPERTY(QString Filter READ Filter WRITE setFilter)
    Q_PROPERTY(int FilterIndex READ FilterIndex WRITE setFilterIndex)
    Q_PROPERTY(QString InitialDir READ InitialDir WRITE setInitialDir)
    Q_PROPERTY(QStringList HistoryList READ HistoryList WRITE setHistoryList)
    Q_PROPERTY(TFileNameDialog::TOpenOptions DialogOptions READ DialogOptions WRITE setDialogOptions)
    Q_PROPERTY(QString DialogTitle READ DialogTitle WRITE setDialogTitle)

public:
    enum TFileDialogKind { dkOpen, dkSave };
    Q_ENUM(TFileDialogKind)
    enum TFileEditStyle { fsEdit, fsComboBox };
    Q_ENUM(TFileEditStyle)

    static inline const QString DefaultFilter = QStringLiteral("All files (*.*)|*.*");
    static inline const QString DefaultTitle = QStringLiteral("Browse");

    explicit TFilenameEdit(QWidget *parent = nullptr);
    ~TFilenameEdit() override;

    TFileDialogKind DialogKind() const;
    void setDialogKind(TFileDialogKind kind);
    QString DefaultExt() const { return m_dialog->DefaultExt; }
    void setDefaultExt(const QString &ext) { m_dialog->DefaultExt = ext; }
    TFileEditStyle FileEditStyle() const { return TFileEditStyle(m_dialog->FileEditStyle); }
    void setFileEditStyle(TFileEditStyle style) { m_dialog->FileEditStyle = style; }
    QString FileName() const;
    // Throws EComboEditError for a name that is not valid; nothing changes then.
    void setFileName(const QString &name);
    QString Filter() const { return m_dialog->Filter; }
    void setFilter(const QString &filter) { m_dialog->Filter = filter; }
    int FilterIndex() const { return m_dialog->FilterIndex; }
    void setFilterIndex(int index) { m_dialog->FilterIndex = index; }
    QString InitialDir() const { return m_dialog->InitialDir; }
    void setInitialDir(const QString &dir) { m_dialog->InitialDir = dir; }
    QStringList HistoryList() const { return m_dialog->HistoryList; }
    void setHistoryList(const QStringList &list) { m_dialog->HistoryList = list; }
    TFileNameDialog::TOpenOptions DialogOptions() const { return m_dialog->Options; }
    void setDialogOptions(TFileNameDialog::TOpenOptions options);
    QString DialogTitle() const { return m_dialog->Title; }
    void setDialogTitle(const QString &title) { m_dialog->Title = title; }

    // The dialog object, with every setting and the last choice.
    TFileNameDialog &Dialog() const { return *m_dialog; }

    // The button's action: OnButtonClick, then the browse steps.
    void ButtonClick() override;

protected:
    void ClearFileList() override;
    bool TakeDroppedFile(const QString &name) override;

private:
    std::unique_ptr<TFileNameDialog> m_dialog;
};

} // namespace darvolt
