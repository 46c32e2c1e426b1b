#include "app/mediumdialog.h"

#include "toolkit/messageform.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace darvolt {

namespace {

TMediumChoiceHandler &handlerSlot()
{
    static TMediumChoiceHandler handler;
    return handler;
}

} // namespace

TMediumDialog::TMediumDialog(const QString &title, const QString &text, const QList<TMediumRow> &rows,
                             QWidget *parent)
    : TDialogForm(parent)
{
    setWindowTitle(title);
    setWindowModality(Qt::ApplicationModal);
    setAccessibleName(title);
    setAccessibleDescription(text);

    auto *layout = new QVBoxLayout(this);
    auto *question = new TWrappedText(text, this);
    layout->addWidget(question);

    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels({tr("Label"), tr("Size"), tr("Folder")});
    m_list->setAccessibleName(text);
    for (const TMediumRow &row : rows)
        new QTreeWidgetItem(m_list, {row.label, row.size, row.folder});
    for (int column = 0; column < 3; ++column)
        m_list->resizeColumnToContents(column);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    // Every row in view without scrolling, up to what a screen holds.
    const int rowsShown = std::min<int>(std::max<int>(int(rows.size()), 2), 10);
    const int rowHeight = m_list->sizeHintForRow(0) > 0 ? m_list->sizeHintForRow(0) : fontMetrics().height() + 4;
    m_list->setMinimumHeight(m_list->header()->sizeHint().height() + rowsShown * rowHeight + 2 * m_list->frameWidth());
    int width = 2 * m_list->frameWidth();
    for (int column = 0; column < 3; ++column)
        width += m_list->columnWidth(column);
    m_list->setMinimumWidth(std::min(width + 8, 900));
    layout->addWidget(m_list);
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { accept(); });

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setCenterButtons(true);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_list->setFocus();
}

int TMediumDialog::Chosen() const
{
    QTreeWidgetItem *item = m_list->currentItem();
    return item ? m_list->indexOfTopLevelItem(item) : -1;
}

int ChooseMediumDialog(const QString &title, const QString &text, const QList<TMediumRow> &rows)
{
    const TMediumChoiceHandler handler = handlerSlot();
    if (handler)
        return handler(text, rows);
    TMediumDialog dialog(title, text, rows);
    return dialog.exec() == QDialog::Accepted ? dialog.Chosen() : -1;
}

TMediumChoiceHandler SetMediumChoiceHandler(TMediumChoiceHandler handler)
{
    std::swap(handlerSlot(), handler);
    return handler;
}

} // namespace darvolt
