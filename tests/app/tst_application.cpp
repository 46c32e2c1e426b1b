// The application object and start-up: the registration switches, the
// message hook and file drops, help, and exceptions that escape a handler.
#include "apptest.h"

#include "app/tform4.h"
#include "platform/fakeplatform.h"
#include "toolkit/desktopopener.h"
#include "widgets/filenameedit.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

using namespace darvolt;
using namespace darvolt::messages;

namespace {

// An object whose handler fails the first time, the way a faulty handler
// would.
class Thrower : public QObject
{
public:
    static constexpr QEvent::Type Work = QEvent::User;
    int handled = 0;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != Work)
            return QObject::event(event);
        if (++handled == 1)
            throw std::runtime_error("The handler failed");
        return true;
    }
};

// A window that counts the drops that reach it directly.
class DropWindow : public TForm
{
public:
    QStringList received;

protected:
    void WndProc(TMessage &message) override
    {
        if (message.Msg == WM_DROPFILES) {
            received << DragQueryFile(DropFromParam(message.WParam), 0);
            return;
        }
        TForm::WndProc(message);
    }
};

} // namespace

class tst_Application : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void registrationSwitches_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("found");
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("/regserver") << QStringList{"/regserver"} << true;
        QTest::newRow("-UNREGSERVER") << QStringList{"-UNREGSERVER"} << true;
        QTest::newRow("mixed case") << QStringList{"/RegServer"} << true;
        QTest::newRow("among others") << QStringList{"report.doc", "-unregserver"} << true;
        QTest::newRow("no switch character") << QStringList{"regserver"} << false;
        QTest::newRow("longer word") << QStringList{"/regservers"} << false;
        QTest::newRow("two switch characters") << QStringList{"//regserver"} << false;
        QTest::newRow("a file of that name") << QStringList{"/home/regserver"} << false;
    }
    void registrationSwitches()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, found);
        QCOMPARE(TApplication::FindRegistrationSwitch(arguments), found);
    }

    // Help and version need no display; the window says that it found
    // none and ends with status 1, rather than abort as Qt would.
    void withoutADisplay_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("display"); // DISPLAY, with the X11 platform; empty: no display named at all
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");     // how standard output begins
        QTest::addColumn<QString>("err");     // what standard error ends with
        const QString none = "darvolt: no display found: the window needs an X11 or Wayland display (DISPLAY or "
                             "WAYLAND_DISPLAY); darvolt-split and darvolt-join work without one\n";
        QTest::newRow("help") << "--help" << "" << 0 << "Usage: darvolt [FILE]\n" << "";
        QTest::newRow("version") << "--version" << "" << 0 << "darvolt (Darvolt) " DARVOLT_VERSION "\nLicense GPLv3+"
                                 << "";
        QTest::newRow("a file, no display named") << "report.doc" << "" << 1 << "" << none;
        QTest::newRow("a file, a display that is not there") << "report.doc" << ":97531" << 1 << "" << none;
    }
    void withoutADisplay()
    {
        QFETCH(QString, argument);
        QFETCH(QString, display);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            bare.remove(QString::fromLatin1(name));
        if (!display.isEmpty()) {
            bare.insert(QStringLiteral("DISPLAY"), display);
            bare.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        }
        QProcess program;
        program.setProcessEnvironment(bare);
        program.start(QStringLiteral(DARVOLT_PROGRAM), {argument});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        QVERIFY2(program.readAllStandardOutput().startsWith(out.toUtf8()), qPrintable(argument));
        const QByteArray said = program.readAllStandardError();
        QVERIFY2(said.endsWith(err.toUtf8()), said.constData());
    }

    void theProgramEndsAtOnceOnARegistrationSwitch_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::newRow("/regserver") << "/regserver";
        QTest::newRow("-UNREGSERVER") << "-UNREGSERVER";
    }
    void theProgramEndsAtOnceOnARegistrationSwitch()
    {
        QFETCH(QString, argument);
        // A program that showed its window would run until it is closed.
        QProcess program;
        program.start(QStringLiteral(DARVOLT_PROGRAM), {argument});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    void theTitleIsDarvolt()
    {
        QCOMPARE(Application()->Title(), QStringLiteral("Darvolt"));
        QCOMPARE(MessageDialogTitle(TMsgDlgKind::Plain), QStringLiteral("Darvolt"));
    }

    void anExceptionFromAHandlerIsShownAndTheProgramGoesOn()
    {
        DialogRecorder dialogs;
        Thrower thrower;
        QCoreApplication::postEvent(&thrower, new QEvent(Thrower::Work));
        QTRY_COMPARE(dialogs.texts(TMsgDlgKind::Error), QStringList{QStringLiteral("The handler failed")});
        // The loop goes on with the next event.
        QCoreApplication::postEvent(&thrower, new QEvent(Thrower::Work));
        QTRY_COMPARE(thrower.handled, 2);
        QCOMPARE(dialogs.shown.size(), std::size_t(1));
    }

    void anExceptionFromAPostedMessageIsShown()
    {
        DialogRecorder dialogs;
        const auto window = AllocateHWnd([](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
            if (msg == WM_USER)
                throw std::runtime_error("Posted work failed");
            return 0;
        });
        QVERIFY(PostMessage(window->Handle(), WM_USER));
        QTRY_COMPARE(dialogs.texts(TMsgDlgKind::Error), QStringList{QStringLiteral("Posted work failed")});
    }

    void anInvalidFileNameFromAWidgetIsReported()
    {
        DialogRecorder dialogs;
        TFilenameEdit edit;
        // A handler that hands the widget a name it refuses.
        QMetaObject::invokeMethod(
            &edit, [&edit] { edit.setFileName(QStringLiteral("a|b")); }, Qt::QueuedConnection);
        QTRY_COMPARE(dialogs.texts(TMsgDlgKind::Error), QStringList{QStringLiteral("Invalid file name - a|b")});
        QVERIFY(edit.text().isEmpty());
    }

    void helpOpensTheManualInTheBrowser()
    {
        DesktopRecorder desktop;
        DialogRecorder dialogs;
        const QString manual = dir.filePath(QStringLiteral("darvolt.html"));
        QVERIFY(WriteFile(manual, "<html></html>"));
        Application()->SetHelpFile(manual);
        QVERIFY(Application()->HelpCommand(HELP_FINDER, 0));
        QVERIFY(Application()->HelpContext(60));
        QCOMPARE(desktop.help.size(), 2);
        QCOMPARE(desktop.help[0], QUrl::fromLocalFile(manual));
        QCOMPARE(desktop.help[1].fragment(), QStringLiteral("context-60"));
        QVERIFY(dialogs.shown.empty());

        // A manual that is not there is said so.
        Application()->SetHelpFile(dir.filePath(QStringLiteral("missing.html")));
        QVERIFY(!Application()->HelpCommand(HELP_FINDER, 0));
        QCOMPARE(desktop.help.size(), 2);
        QCOMPARE(dialogs.texts(TMsgDlgKind::Error).size(), 1);
        QVERIFY(dialogs.texts(TMsgDlgKind::Error).first().contains(QStringLiteral("missing.html")));
    }

    void withoutABrowserTheManualIsNamed_data()
    {
        QTest::addColumn<QStringList>("opener");
        QTest::addColumn<bool>("f1");
        QTest::newRow("no opener, Help") << QStringList{QStringLiteral("/nonexistent/xdg-open")} << false;
        QTest::newRow("opener finds no browser, F1")
            << QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("exit 3")} << true;
    }
    void withoutABrowserTheManualIsNamed()
    {
        QFETCH(QStringList, opener);
        QFETCH(bool, f1);
        const QStringList previous = std::exchange(DesktopOpenerCommand(), opener);
        DialogRecorder dialogs;
        darvolt::FakePlatform platform;
        TForm4 form(&platform);
        form.SetArguments({});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QString manual = dir.filePath(QStringLiteral("darvolt.html"));
        QVERIFY(WriteFile(manual, "<html></html>"));
        Application()->SetHelpFile(manual);
        if (f1)
            QTest::keyClick(form.Controls().FilenameEdit1, Qt::Key_F1);
        else
            QTest::mouseClick(form.Controls().FlatSpeedButton2, Qt::LeftButton);
        QTRY_COMPARE(dialogs.texts(TMsgDlgKind::Error).size(), 1);
        QVERIFY(dialogs.texts(TMsgDlgKind::Error).first().contains(manual));
        DesktopOpenerCommand() = previous;
    }

    // As Help does: the box names what to open by hand.
    void withoutABrowserTheBannerNamesItsAddress()
    {
        const QStringList previous =
            std::exchange(DesktopOpenerCommand(), {QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("exit 3")});
        DialogRecorder dialogs;
        darvolt::FakePlatform platform;
        TForm4 form(&platform);
        form.SetArguments({});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QString address = form.Controls().ProUrlImage1->URL();
        QVERIFY(!address.isEmpty());
        QTest::mouseClick(form.Controls().ProUrlImage1, Qt::LeftButton);
        QTRY_COMPARE(dialogs.texts(TMsgDlgKind::Error).size(), 1);
        QVERIFY2(dialogs.texts(TMsgDlgKind::Error).first().contains(QUrl::fromUserInput(address).toString()),
                 qPrintable(dialogs.texts(TMsgDlgKind::Error).first()));
        DesktopOpenerCommand() = previous;
    }

    void theHelpButtonAndF1OpenTheManualOfTheWindow()
    {
        DesktopRecorder desktop;
        darvolt::FakePlatform platform;
        TForm4 form(&platform);
        form.SetArguments({});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QString manual = dir.filePath(QStringLiteral("darvolt.html"));
        QVERIFY(WriteFile(manual, "<html></html>"));
        Application()->SetHelpFile(manual);
        QTest::mouseClick(form.Controls().FlatSpeedButton2, Qt::LeftButton);
        QTest::keyClick(form.Controls().FilenameEdit1, Qt::Key_F1);
        QCOMPARE(desktop.help.size(), 2);
        QVERIFY(desktop.help[0].fragment().isEmpty());
        QCOMPARE(desktop.help[1].fragment(), QStringLiteral("context-60"));
    }

    void theAcceleratorsReachTheirControls()
    {
        DesktopRecorder desktop;
        darvolt::FakePlatform platform;
        TForm4 form(&platform);
        form.SetArguments({});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QString manual = dir.filePath(QStringLiteral("darvolt.html"));
        QVERIFY(WriteFile(manual, "<html></html>"));
        Application()->SetHelpFile(manual);
        const Ui::TForm4 &ui = form.Controls();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        // A button's accelerator clicks it the way a short press would.
        QTRY_VERIFY(ui.RadioButton2->isChecked());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(ui.Edit2));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
        QTRY_VERIFY(ui.RadioButton3->isChecked());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(ui.FilenameEdit1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier);
        QTRY_VERIFY(ui.RadioButton1->isChecked());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier);
        QTRY_COMPARE(desktop.help.size(), 1);
    }

    void theManualIsLookedForBesideTheProgram()
    {
        const QString bin = dir.filePath(QStringLiteral("prefix/bin"));
        const QString doc = dir.filePath(QStringLiteral("prefix/share/doc/darvolt"));
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(doc));
        // Nothing there yet: the place beside the program is named.
        QCOMPARE(TForm4::HelpFileFor(bin), bin + QStringLiteral("/darvolt.html"));
        // Installed: found where the installation put it.
        QVERIFY(WriteFile(doc + QStringLiteral("/darvolt.html"), "<html></html>"));
        QCOMPARE(TForm4::HelpFileFor(bin), QFileInfo(doc + QStringLiteral("/darvolt.html")).absoluteFilePath());
        // Beside the program wins.
        QVERIFY(WriteFile(bin + QStringLiteral("/darvolt.html"), "<html></html>"));
        QCOMPARE(TForm4::HelpFileFor(bin), bin + QStringLiteral("/darvolt.html"));
    }

    void theDesktopEntryOpensAFileWithTheProgram()
    {
        QSettings entry(QStringLiteral(DARVOLT_APP_SOURCE_DIR "/desktop/darvolt.desktop"), QSettings::IniFormat);
        entry.beginGroup(QStringLiteral("Desktop Entry"));
        QCOMPARE(entry.value(QStringLiteral("Type")).toString(), QStringLiteral("Application"));
        QCOMPARE(entry.value(QStringLiteral("Exec")).toString(), QStringLiteral("darvolt %f"));
        QCOMPARE(entry.value(QStringLiteral("Icon")).toString(), QStringLiteral("darvolt"));
    }

    void theHookSeesDropsFirstAndMayKeepThem()
    {
        const QString file = dir.filePath(QStringLiteral("dropped.txt"));
        QVERIFY(WriteFile(file, "x"));
        DropWindow window;
        window.setClientSize({100, 60});
        DragAcceptFiles(&window, true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QList<UINT> seen;
        Application()->OnMessage = [&](TMsg &msg, bool &handled) {
            if (msg.message == WM_DROPFILES) {
                seen << msg.message;
                QCOMPARE(DragQueryFileCount(DropFromParam(msg.wParam)), 1);
                handled = true;
            }
        };
        QVERIFY(DropFilesOn(window.Client(), {file}));
        QCOMPARE(seen.size(), 1);
        QVERIFY(window.received.isEmpty());

        // Not handled by the hook: the window's own handler takes it.
        Application()->OnMessage = [&](TMsg &, bool &) {};
        QVERIFY(DropFilesOn(window.Client(), {file}));
        QCOMPARE(window.received, QStringList{file});
        Application()->OnMessage = nullptr;

        // A window that is not registered takes no files.
        DragAcceptFiles(&window, false);
        QVERIFY(!DropFilesOn(window.Client(), {file}));
    }

    void theMainWindowTakesADropThatReachesItDirectly()
    {
        const QString file = dir.filePath(QStringLiteral("direct.bin"));
        QVERIFY(WriteFile(file, PatternBytes(2000)));
        darvolt::FakePlatform platform;
        TForm4 form(&platform);
        form.SetArguments({});
        TDropFiles drop({file, dir.filePath(QStringLiteral("second.bin"))});
        SendMessage(form.Handle(), WM_DROPFILES, DropParam(&drop));
        QCOMPARE(form.Controls().FilenameEdit1->text(), file);
        QVERIFY(drop.Finished());
    }
};

DARVOLT_APP_TEST_MAIN(tst_Application)
#include "tst_application.moc"
