// The message dialogs of the four kinds: how each is built, where it
// appears, and the seam that answers them in tests.
#include "apptest.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

class tst_Dialogs : public QObject
{
    Q_OBJECT

private slots:
    void eachKindHasItsTitleIconAndButtons_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::newRow("error") << int(TMsgDlgKind::Error) << "Error" << int(QMessageBox::Critical)
                               << int(QMessageBox::Ok);
        QTest::newRow("information") << int(TMsgDlgKind::Information) << "Information"
                                     << int(QMessageBox::Information) << int(QMessageBox::Ok);
        QTest::newRow("plain") << int(TMsgDlgKind::Plain) << "Darvolt" << int(QMessageBox::NoIcon)
                               << int(QMessageBox::Ok);
        QTest::newRow("prompt") << int(TMsgDlgKind::Prompt) << "Darvolt" << int(QMessageBox::NoIcon)
                                << int(QMessageBox::Ok | QMessageBox::Cancel);
    }
    void eachKindHasItsTitleIconAndButtons()
    {
        QFETCH(int, kind);
        QFETCH(QString, title);
        QFETCH(int, icon);
        QFETCH(int, buttons);
        const auto k = static_cast<TMsgDlgKind>(kind);
        const TMessageDialogRequest request{k, MessageDialogTitle(k, QStringLiteral("Darvolt")),
                                            QStringLiteral("    spaced text    ")};
        QCOMPARE(request.title, title);
        const auto box = CreateMessageDialog(request);
        QCOMPARE(box->windowTitle(), title);
        QCOMPARE(int(box->icon()), icon);
        QCOMPARE(int(box->standardButtons()), buttons);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QCOMPARE(box->text(), QStringLiteral("    spaced text    "));
        QCOMPARE(static_cast<QAbstractButton *>(box->defaultButton()), box->button(QMessageBox::Ok));
        // Escape answers Cancel where there is one, else OK.
        const auto escape = k == TMsgDlgKind::Prompt ? QMessageBox::Cancel : QMessageBox::Ok;
        QCOMPARE(box->escapeButton(), static_cast<QAbstractButton *>(box->button(escape)));
    }

    void aFileNameIsShownAsItIsNeverAsMarkup()
    {
        const QString text = QStringLiteral("File /tmp/<b>bold</b>.txt not found");
        const auto box = CreateMessageDialog({TMsgDlgKind::Error, QStringLiteral("Error"), text});
        QCOMPARE(box->textFormat(), Qt::PlainText);
        const auto labels = box->findChildren<QLabel *>();
        bool shownAsIs = false;
        for (QLabel *label : labels)
            shownAsIs = shownAsIs || (label->text() == text && label->textFormat() == Qt::PlainText);
        QVERIFY(shownAsIs);
    }

    void theDialogIsCentredOnTheScreen()
    {
        const auto box = CreateMessageDialog({TMsgDlgKind::Information, QStringLiteral("Information"),
                                              QStringLiteral("File REPORT.DOC spanned.")});
        box->setWindowModality(Qt::NonModal); // looked at, not answered
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        const QRect area = box->screen()->availableGeometry();
        QVERIFY(qAbs(box->frameGeometry().center().x() - area.center().x()) <= 1);
        QVERIFY(qAbs(box->frameGeometry().center().y() - area.center().y()) <= 1);
        box->close();
    }

    void theSeamSeesEveryDialogAndAnswersIt()
    {
        DialogRecorder dialogs;
        dialogs.answers = {mrCancel, mrOk};
        ShowErrorDialog(QStringLiteral("e"));
        ShowInformationDialog(QStringLiteral("i"));
        ShowPlainDialog(QStringLiteral("p"));
        QVERIFY(!AskOkCancel(QStringLiteral("Darvolt"), QStringLiteral("first")));
        QVERIFY(AskOkCancel(QStringLiteral("Darvolt"), QStringLiteral("second")));
        QCOMPARE(dialogs.shown.size(), std::size_t(5));
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Error"));
        QCOMPARE(dialogs.shown[1].title, QStringLiteral("Information"));
        QCOMPARE(dialogs.shown[2].title, QStringLiteral("Darvolt"));
        QCOMPARE(dialogs.shown[3].kind, TMsgDlgKind::Prompt);
        QCOMPARE(dialogs.shown[4].text, QStringLiteral("second"));
    }

    void aHandlerIsRestoredWhenItsOwnerGoes()
    {
        int outer = 0;
        TMessageDialogHandler previous = SetMessageDialogHandler([&](const TMessageDialogRequest &) {
            ++outer;
            return mrOk;
        });
        {
            DialogRecorder inner;
            ShowPlainDialog(QStringLiteral("to the inner one"));
            QCOMPARE(inner.shown.size(), std::size_t(1));
        }
        ShowPlainDialog(QStringLiteral("to the outer one"));
        QCOMPARE(outer, 1);
        SetMessageDialogHandler(std::move(previous));
    }
};

DARVOLT_APP_TEST_MAIN(tst_Dialogs)
#include "tst_dialogs.moc"
