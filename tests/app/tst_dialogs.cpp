// The message dialogs of the four kinds: how each is built, where it
// appears, and the seam that answers them in tests.
#include "apptest.h"

#include "toolkit/messageform.h"

#include <QAbstractButton>
#include <QLabel>
#include <QScrollArea>
#include <QStyle>

using namespace darvolt;

class tst_Dialogs : public QObject
{
    Q_OBJECT

private slots:
    void eachKindHasItsTitleIconAndButtons_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("error") << int(TMsgDlgKind::Error) << "Error" << int(QStyle::SP_MessageBoxCritical) << false;
        QTest::newRow("information") << int(TMsgDlgKind::Information) << "Information"
                                     << int(QStyle::SP_MessageBoxInformation) << false;
        QTest::newRow("plain") << int(TMsgDlgKind::Plain) << "Darvolt" << int(QStyle::SP_CustomBase) << false;
        QTest::newRow("prompt") << int(TMsgDlgKind::Prompt) << "Darvolt" << int(QStyle::SP_CustomBase) << true;
    }
    void eachKindHasItsTitleIconAndButtons()
    {
        QFETCH(int, kind);
        QFETCH(QString, title);
        QFETCH(int, icon);
        QFETCH(bool, cancel);
        const auto k = static_cast<TMsgDlgKind>(kind);
        const TMessageDialogRequest request{k, MessageDialogTitle(k, QStringLiteral("Darvolt")),
                                            QStringLiteral("    spaced text    ")};
        QCOMPARE(request.title, title);
        const auto box = CreateMessageDialog(request);
        QCOMPARE(box->windowTitle(), title);
        QCOMPARE(int(box->IconKind()), icon);
        QVERIFY(box->Button(mrOk));
        QCOMPARE(box->Button(mrOk)->text(), QStringLiteral("OK"));
        QCOMPARE(box->Button(mrCancel) != nullptr, cancel);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QCOMPARE(box->Text(), QStringLiteral("    spaced text    "));
        QCOMPARE(box->DefaultButton(), box->Button(mrOk));
        // Escape answers Cancel where there is one, else OK.
        box->open();
        QTest::keyClick(box.get(), Qt::Key_Escape);
        QCOMPARE(box->result(), cancel ? mrCancel : mrOk);
        box->open();
        QTest::keyClick(box.get(), Qt::Key_Return);
        QCOMPARE(box->result(), mrOk);
    }

    void aFileNameIsShownAsItIsNeverAsMarkup()
    {
        const QString text = QStringLiteral("File /tmp/<b>bold</b>.txt not found");
        const auto box = CreateMessageDialog({TMsgDlgKind::Error, QStringLiteral("Error"), text});
        // Drawn as plain text by a widget that knows no markup; no label
        // that could read it as rich text holds it.
        QCOMPARE(box->TextWidget()->Text(), text);
        for (const QLabel *label : box->findChildren<QLabel *>())
            QVERIFY(label->text().isEmpty());
    }

    // A path of thousands of characters: the box wraps it, breaking inside
    // the name, and stays on the screen, where the text can be read whole.
    void aLongPathWrapsAndTheBoxStaysOnTheScreen_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("one line") << 40;
        QTest::newRow("a few lines") << 300;
        QTest::newRow("5,000 characters") << 5000;
        QTest::newRow("50,000 characters") << 50000;
    }
    void aLongPathWrapsAndTheBoxStaysOnTheScreen()
    {
        QFETCH(int, length);
        QString path = QStringLiteral("/home/user/");
        while (path.size() < length)
            path += QStringLiteral("very_long_folder_name_%1/").arg(path.size());
        const QString text = QStringLiteral("Error writing file ") + path;
        const auto box = CreateMessageDialog({TMsgDlgKind::Plain, QStringLiteral("Darvolt"), text});
        box->setWindowModality(Qt::NonModal);
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        const QRect area = box->screen()->availableGeometry();
        QVERIFY2(area.contains(box->frameGeometry()),
                 qPrintable(QStringLiteral("%1 x %2").arg(box->width()).arg(box->height())));
        // Every character is within the width, and the text area holds all
        // the lines, shown or reached by scrolling.
        const TWrappedText *shown = box->TextWidget();
        QVERIFY(shown->width() <= box->TextArea()->viewport()->width());
        QVERIFY(shown->height() >= shown->heightForWidth(shown->width()));
        const bool scrolls = shown->height() > box->TextArea()->viewport()->height();
        QCOMPARE(scrolls, length == 50000);
        box->close();
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

    // Drawn by the program, whatever the desktop's icon theme: a red disc
    // with a white cross, a white bubble with a blue "i".
    void theIconsAreTheClassicOnes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("error: the cross") << int(TMsgDlgKind::Error) << QPoint(15, 15) << QColor(Qt::white);
        QTest::newRow("error: the disc") << int(TMsgDlgKind::Error) << QPoint(15, 5) << QColor(Qt::red);
        QTest::newRow("information: the i") << int(TMsgDlgKind::Information) << QPoint(15, 15) << QColor(Qt::blue);
        QTest::newRow("information: the bubble")
            << int(TMsgDlgKind::Information) << QPoint(22, 12) << QColor(Qt::white);
    }
    void theIconsAreTheClassicOnes()
    {
        QFETCH(int, kind);
        QFETCH(QPoint, at);
        QFETCH(QColor, colour);
        const auto k = static_cast<TMsgDlgKind>(kind);
        const auto box = CreateMessageDialog({k, MessageDialogTitle(k), QStringLiteral("text")});
        const QLabel *icon = box->findChild<QLabel *>();
        QVERIFY(icon);
        const QImage image = icon->pixmap().toImage();
        QCOMPARE(image.size(), QSize(32, 32));
        QCOMPARE(image.pixelColor(at), colour);
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
