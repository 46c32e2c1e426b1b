// The browse dialog as the program shows it: the desktop's own where the
// platform theme offers one, else (as here, headless) Qt's dialog with its
// title and with whole sizes and dates.
#include "widgets/filenamedialog.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace darvolt;

class TestFileNameDialog : public QObject
{
    Q_OBJECT

private slots:
    void qtsOwnDialogShowsWholeSizesAndDates()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile big(dir.filePath(QStringLiteral("a rather long name of a file to split.iso")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(qint64(123456789) * 100)); // sparse, 11.5 GiB
        big.close();

        TFileNameDialog request;
        request.Title = QStringLiteral("Select file to split");
        request.InitialDir = dir.path();
        QString title;
        bool whole = false;
        bool native = false;
        QTimer user;
        // The header fits its columns to their entries a while after the
        // entries come, and their sizes and dates come later still: the user
        // looks until every entry fits, or gives up after a while.
        QDeadlineTimer patience(10000);
        connect(&user, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            auto *view = dialog ? dialog->findChild<QTreeView *>(QStringLiteral("treeView")) : nullptr;
            if (!view || !view->model() || view->model()->rowCount(view->rootIndex()) == 0)
                return;
            // Every entry of the size and date columns fits its column.
            whole = true;
            for (const int column : {1, 3})
                whole = whole && view->header()->sectionSize(column)
                                    >= static_cast<QAbstractItemView *>(view)->sizeHintForColumn(column);
            if (!whole && !patience.hasExpired())
                return;
            title = dialog->windowTitle();
            // Nothing keeps the desktop's own dialog away where there is one:
            // a plain QFileDialog, native dialogs allowed.
            native = !dialog->testOption(QFileDialog::DontUseNativeDialog)
                     && dialog->metaObject() == &QFileDialog::staticMetaObject;
            dialog->reject();
        });
        user.start(0);
        QVERIFY(!request.Execute(nullptr));
        user.stop();
        QCOMPARE(title, QStringLiteral("Select file to split"));
        QVERIFY(whole);
        QVERIFY(native);
    }
};

QTEST_MAIN(TestFileNameDialog)
#include "tst_filenamedialog.moc"
