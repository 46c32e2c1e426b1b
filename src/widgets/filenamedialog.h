#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QFileDialog;
class QWidget;

namespace darvolt {

// The open or save dialog of a file-name edit: its settings live here between
// uses, and Execute shows the desktop's file dialog through one replaceable
// runner, so tests never open a real dialog.
class TFileNameDialog
{
    Q_GADGET

public:
    enum TOpenOption {
        ofReadOnly = 1 << 0,
        ofOverwritePrompt = 1 << 1,
        ofHideReadOnly = 1 << 2,
        ofNoChangeDir = 1 << 3,
        ofShowHelp = 1 << 4,
        ofNoValidate = 1 << 5,
        ofAllowMultiSelect = 1 << 6,
        ofExtensionDifferent = 1 << 7,
        ofPathMustExist = 1 << 8,
        ofFileMustExist = 1 << 9,
        ofCreatePrompt = 1 << 10,
        ofShareAware = 1 << 11,
        ofNoReadOnlyReturn = 1 << 12,
        ofNoTestFileCreate = 1 << 13,
        ofNoNetworkButton = 1 << 14,
        ofNoLongNames = 1 << 15,
        ofOldStyleDialog = 1 << 16,
        ofNoDereferenceLinks = 1 << 17,
        ofEnableIncludeNotify = 1 << 18,
        ofEnableSizing = 1 << 19,
    };
    Q_DECLARE_FLAGS(TOpenOptions, TOpenOption)
    Q_FLAG(TOpenOptions)

    enum class Kind { Open, Save, Folder };

    Kind DialogKind = Kind::Open;
    QString DefaultExt;
    int FileEditStyle = 0;
    QString FileName;
    QString Filter;
    int FilterIndex = 1;
    QString InitialDir;
    QStringList HistoryList;
    QStringList Files;
    TOpenOptions Options = ofHideReadOnly;
    QString Title;
    int HelpContext = 0;

    // Shows the dialog modally over the parent; true when the user confirmed,
    // with FileName and Files holding the choice.
    bool Execute(QWidget *parent);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TFileNameDialog::TOpenOptions)

using FileDialogRunnerFn = std::function<bool(TFileNameDialog &dialog, QWidget *parent)>;

// The runner Execute goes through. Tests replace it to answer in place of
// the user.
FileDialogRunnerFn &FileDialogRunner();

// Where Qt's own file dialog is shown, its size, kind and date columns
// take the width of their longest entry.
void FitFileDialogColumns(QFileDialog &dialog);

// "Text files (*.txt)|*.txt|All files (*.*)|*.*" as Qt name filters. "*.*"
// means every file, as it does in such filters, not only names with a dot.
QStringList QtNameFilters(const QString &filter);

} // namespace darvolt
