#include "widgets/filenamedialog.h"

#include <QEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

namespace darvolt {

namespace {

// Qt makes its own dialog's widgets only when it shows it, and only when
// the desktop offers no dialog of its own.
class ColumnFitter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            if (auto *dialog = qobject_cast<QFileDialog *>(watched))
                FitFileDialogColumns(*dialog);
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void FitFileDialogColumns(QFileDialog &dialog)
{
    auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!view)
        return;
    // Size, kind and date as wide as their longest entry, so that no size
    // or date is cut short; the name takes the rest.
    QHeaderView *header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

QStringList QtNameFilters(const QString &filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString &pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == u"*.*")
                pattern = QStringLiteral("*");
        }
        // Qt reads the patterns from the last parentheses, so a description
        // that shows its own patterns loses them here and gets the real ones.
        if (description.endsWith(u')')) {
            const qsizetype open = description.lastIndexOf(u'(');
            if (open > 0)
                description = description.left(open).trimmed();
        }
        result << QStringLiteral("%1 (%2)").arg(description, patterns.join(u' '));
    }
    return result;
}

FileDialogRunnerFn &FileDialogRunner()
{
    static FileDialogRunnerFn runner = [](TFileNameDialog &d, QWidget *parent) {
        // A plain QFileDialog, so that the desktop's own dialog is used
        // wherever the platform theme offers one.
        QFileDialog dialog(parent, d.Title, d.InitialDir);
        ColumnFitter fitter;
        dialog.installEventFilter(&fitter);
        const bool save = d.DialogKind == TFileNameDialog::Kind::Save;
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        if (d.DialogKind == TFileNameDialog::Kind::Folder) {
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setOption(QFileDialog::ShowDirsOnly);
        } else if (save)
            dialog.setFileMode(QFileDialog::AnyFile);
        else if (d.Options & TFileNameDialog::ofAllowMultiSelect)
            dialog.setFileMode(QFileDialog::ExistingFiles);
        else if (d.Options & TFileNameDialog::ofFileMustExist)
            dialog.setFileMode(QFileDialog::ExistingFile);
        else
            dialog.setFileMode(QFileDialog::AnyFile);
        if (save && !(d.Options & TFileNameDialog::ofOverwritePrompt))
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (d.Options & TFileNameDialog::ofReadOnly)
            dialog.setOption(QFileDialog::ReadOnly);
        const QStringList filters = QtNameFilters(d.Filter);
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            const qsizetype index = std::clamp<qsizetype>(d.FilterIndex, 1, filters.size()) - 1;
            dialog.selectNameFilter(filters[index]);
        }
        if (!d.DefaultExt.isEmpty())
            dialog.setDefaultSuffix(d.DefaultExt);
        if (!d.HistoryList.isEmpty())
            dialog.setHistory(d.HistoryList);
        if (!d.FileName.isEmpty())
            dialog.selectFile(d.FileName);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        d.Files = dialog.selectedFiles();
        d.FileName = d.Files.value(0);
        d.FilterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
        return !d.FileName.isEmpty();
    };
    return runner;
}

bool TFileNameDialog::Execute(QWidget *parent)
{
    const FileDialogRunnerFn &runner = FileDialogRunner();
    return runner ? runner(*this, parent) : false;
}

} // namespace darvolt
