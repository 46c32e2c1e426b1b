#include "widgets/filediredit.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace darvolt {

namespace {

QStringList localFiles(const QMimeData *mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

} // namespace

TFileDirEdit::TFileDirEdit(QWidget *parent)
    : TCustomComboEdit(parent)
{
    m_constructing = true;
    setGlyphKind(gkDefault);
    m_constructing = false;
}

void TFileDirEdit::setAcceptFiles(bool value)
{
    if (value == m_acceptFiles)
        return;
    m_acceptFiles = value;
    setAcceptDrops(value);
}

void TFileDirEdit::DropFiles(const QStringList &files)
{
    if (files.isEmpty())
        return;
    ClearFileList();
    for (const QString &name : files)
        if (!TakeDroppedFile(name))
            break;
    emit OnDropFiles(this);
}

void TFileDirEdit::dragEnterEvent(QDragEnterEvent *event)
{
    if (m_acceptFiles && !localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFileDirEdit::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_acceptFiles && !localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFileDirEdit::dropEvent(QDropEvent *event)
{
    if (!m_acceptFiles) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    DropFiles(localFiles(event->mimeData()));
}

} // namespace darvolt
