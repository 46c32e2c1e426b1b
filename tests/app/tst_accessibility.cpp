// The windows as a screen reader meets them: every control's role, name and
// states, the press actions doing what a click does, and the events that
// keep the reader in step. Events reach a handler only while a platform
// bridge is live, so they are counted when this runs in the AT-SPI session
// (atspi.cmake).
#include "apptest.h"
#include "recordingplatform.h"

#include "app/taboutbox.h"
#include "app/tform4.h"
#include "platform/fakeplatform.h"
#include "widgets/customcomboedit.h"
#include "widgets/editbutton.h"
#include "widgets/linkaccessible.h"

#include <QAccessible>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

using namespace darvolt;

namespace {

// Every accessibility event raised while it lives: the object it is about,
// its kind and, for state changes, which states changed.
class EventLog
{
public:
    struct Entry {
        QObject *object;
        QAccessible::Event type;
        QAccessible::State changed;
    };

    EventLog()
    {
        current = this;
        QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
            QAccessible::State changed;
            if (event->type() == QAccessible::StateChanged)
                changed = static_cast<QAccessibleStateChangeEvent *>(event)->changedStates();
            current->entries.push_back({event->object(), event->type(), changed});
        });
    }
    ~EventLog()
    {
        QAccessible::installUpdateHandler(nullptr);
        current = nullptr;
    }
    EventLog(const EventLog &) = delete;
    EventLog &operator=(const EventLog &) = delete;

    int count(QObject *object, QAccessible::Event type) const
    {
        return int(std::count_if(entries.begin(), entries.end(),
                                 [&](const Entry &e) { return e.object == object && e.type == type; }));
    }
    // State changes of the object among which `which` finds its state.
    int stateChanges(QObject *object, bool (*which)(const QAccessible::State &)) const
    {
        return int(std::count_if(entries.begin(), entries.end(), [&](const Entry &e) {
            return e.object == object && e.type == QAccessible::StateChanged && which(e.changed);
        }));
    }

    std::vector<Entry> entries;

private:
    static inline EventLog *current = nullptr;
};

bool pressedState(const QAccessible::State &s)
{
    return s.pressed;
}
bool checkedState(const QAccessible::State &s)
{
    return s.checked;
}
bool disabledState(const QAccessible::State &s)
{
    return s.disabled;
}

// The states the table speaks of, by the names it uses.
QStringList statesOf(QAccessible::State s)
{
    QStringList out;
    if (s.disabled)
        out << "disabled";
    if (s.invisible)
        out << "invisible";
    if (s.checkable)
        out << "checkable";
    if (s.checked)
        out << "checked";
    if (s.pressed)
        out << "pressed";
    if (s.readOnly)
        out << "readonly";
    if (s.editable)
        out << "editable";
    if (s.linked)
        out << "linked";
    if (s.traversed)
        out << "traversed";
    if (s.animated)
        out << "animated";
    if (s.modal)
        out << "modal";
    return out;
}

QAccessibleInterface *accessible(QObject *object)
{
    return QAccessible::queryAccessibleInterface(object);
}

} // namespace

class tst_Accessibility : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QAccessible::setActive(true);
    }

    void everyControlHasItsRoleNameAndStates_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("states");
        const QString title = QStringLiteral("Darvolt - The File Splitter");
        const QString ombrix = QStringLiteral("https://ombrix.example.org/");
        auto row = [](const char *window, const char *control, QAccessible::Role role, const QString &name,
                      const char *description = "", const QString &value = {}, const QStringList &states = {}) {
            QTest::addRow("%s %s", window, control) << QString::fromLatin1(window) << QString::fromLatin1(control)
                                                    << int(role) << name << QString::fromUtf8(description)
                                                    << value << states;
        };
        using R = QAccessible::Role;
        row("main", "", R::Window, title);
        row("main", "RxGradientCaption1", R::StaticText, title, "", {}, {"readonly"});
        row("main", "Panel1", R::Grouping, "");
        row("main", "Label1", R::StaticText, "File to split:", "", {}, {"readonly"});
        row("main", "Label5", R::StaticText, "", "", {}, {"readonly"});
        row("main", "ProPanel2", R::Grouping, "");
        row("main", "RadioButton1", R::RadioButton, "Standard diskette size", "1.38 MB", {}, {"checkable", "checked"});
        row("main", "RadioButton2", R::RadioButton, "Custom size (KB) :", "Size you specify here ->", {},
            {"checkable"});
        row("main", "Edit2", R::EditableText, "Custom size (KB)", "Enter the size here", "",
            {"disabled", "editable"});
        row("main", "FilenameEdit1", R::EditableText, "File to split:", "Select file to split", "", {"editable"});
        row("main", "FilenameEdit1 button", R::PushButton, "Browse");
        row("main", "Edit1", R::EditableText, "Output directory:", "Partial files destination folder", "",
            {"disabled", "editable"});
        row("main", "Panel2", R::Grouping, "");
        row("main", "FlatSpeedButton1", R::PushButton, "Split", "Split the selected file into parts", {},
            {"disabled"});
        row("main", "FlatSpeedButton2", R::PushButton, "Help", "Guess what...");
        row("main", "FlatSpeedButton3", R::PushButton, "About", "Program information");
        row("main", "FlatSpeedButton4", R::PushButton, "Exit", "Shutdown Darvolt");
        row("main", "Panel3", R::Grouping, "");
        row("main", "RxGIFAnimator1", R::Graphic, ombrix, "", {}, {"readonly", "animated"});
        row("main", "ProUrlImage1", R::Link, ombrix, "", ombrix, {"linked"});
        row("main", "StatusBar1", R::StatusBar, "Simple is beautiful...", "", {}, {"readonly"});
        row("main", "ProgressBar1", R::ProgressBar, "", "", "0", {"invisible", "readonly"});
        row("about", "", R::Dialog, "About Darvolt");
        row("about", "Panel1", R::Grouping, "");
        row("about", "ProgramIcon", R::Graphic, "Darvolt", "", {}, {"readonly"});
        row("about", "ProductName", R::StaticText, title, "", {}, {"readonly"});
        row("about", "Version", R::StaticText, "Version 2.1", "", {}, {"readonly"});
        row("about", "ProUrlLabel1", R::Link, "Dan Volterra", "", "mailto:dan.volterra@darvolt.example.org",
            {"linked"});
        row("about", "Label1", R::StaticText, "Webpage:", "", {}, {"readonly"});
        row("about", "ProUrlLabel2", R::Link, "https://darvolt.example.org/", "", "https://darvolt.example.org/",
            {"linked"});
        row("about", "Label3", R::StaticText, "Try", "", {}, {"readonly"});
        row("about", "ProUrlLabel3", R::Link, "Ombrix", "", ombrix, {"linked"});
        row("about", "Label2", R::StaticText, "- a cool thing from the same author", "", {}, {"readonly"});
        row("about", "OKButton", R::PushButton, "OK");
    }
    void everyControlHasItsRoleNameAndStates()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QFETCH(QString, value);
        QFETCH(QStringList, states);
        darvolt::FakePlatform platform;
        TForm4 form(&platform);
        form.SetArguments({});
        TAboutBox box;
        TForm *shown = window == QStringLiteral("main") ? static_cast<TForm *>(&form) : &box;
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));

        QObject *object = shown;
        if (control == QStringLiteral("FilenameEdit1 button"))
            object = form.Controls().FilenameEdit1->Button();
        else if (!control.isEmpty())
            object = shown->findChild<QObject *>(control);
        QVERIFY(object);
        QAccessibleInterface *iface = accessible(object);
        QVERIFY(iface && iface->isValid());
        QCOMPARE(iface->role(), QAccessible::Role(role));
        QCOMPARE(iface->text(QAccessible::Name), name);
        QCOMPARE(iface->text(QAccessible::Description), description);
        if (!value.isNull()) {
            const QAccessibleValueInterface *numeric = iface->valueInterface();
            QCOMPARE(numeric ? numeric->currentValue().toString() : iface->text(QAccessible::Value), value);
        }
        QStringList expected = states;
        QStringList found = statesOf(iface->state());
        expected.sort();
        found.sort();
        QCOMPARE(found, expected);

        // The tree reads the same downwards and upwards.
        if (object != shown) {
            QAccessibleInterface *parent = iface->parent();
            QVERIFY(parent);
            const int index = parent->indexOfChild(iface);
            QVERIFY(index >= 0);
            QCOMPARE(parent->child(index), iface);
        }
        // What can be pressed says so.
        if (iface->role() == QAccessible::PushButton)
            QVERIFY(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        if (iface->role() == QAccessible::Link)
            QCOMPARE(iface->actionInterface()->actionNames().value(0), JumpAction());
    }

    void theBandAndTheBrowseButtonHangInTheTree()
    {
        darvolt::FakePlatform platform;
        TForm4 form(&platform);
        form.SetArguments({});
        QAccessibleInterface *window = accessible(&form);
        QCOMPARE(window->child(0)->object(), static_cast<QObject *>(form.RxGradientCaption1));
        QCOMPARE(window->child(1)->object(), static_cast<QObject *>(form.Client()));
        QCOMPARE(window->childCount(), 2);
        TCustomComboEdit *edit = form.Controls().FilenameEdit1;
        QAccessibleInterface *field = accessible(edit);
        QCOMPARE(field->childCount(), 1);
        QCOMPARE(field->child(0)->object(), static_cast<QObject *>(edit->Button()));
        QCOMPARE(field->child(0)->parent(), field);

        // The field reads and edits its text as the standard edit does.
        edit->setText(QStringLiteral("/tmp/report.doc"));
        QAccessibleTextInterface *text = field->textInterface();
        QVERIFY(text && field->editableTextInterface());
        QCOMPARE(text->characterCount(), 15);
        QCOMPARE(text->text(5, 11), QStringLiteral("report"));
        text->setSelection(0, 5, 11);
        QCOMPARE(edit->selectedText(), QStringLiteral("report"));
        QCOMPARE(text->selectionCount(), 1);
        field->editableTextInterface()->replaceText(5, 11, QStringLiteral("notes"));
        QCOMPARE(edit->text(), QStringLiteral("/tmp/notes.doc"));
        field->editableTextInterface()->deleteText(0, 5);
        QCOMPARE(edit->text(), QStringLiteral("notes.doc"));
        field->editableTextInterface()->insertText(0, QStringLiteral("/"));
        QCOMPARE(edit->text(), QStringLiteral("/notes.doc"));
        // A character's box lies in the field, left of the next one.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QRect first = text->characterRect(1);
        const QRect second = text->characterRect(2);
        QVERIFY(QRect(edit->mapToGlobal(QPoint(0, 0)), edit->size()).contains(first.center()));
        QVERIFY(first.right() < second.left() + 1);
        QCOMPARE(text->offsetAtPoint(second.center()), 2);
    }

    void pressingSplitHelpAboutAndExitDoesWhatAClickDoes()
    {
        const QString source = dir.filePath(QStringLiteral("data.bin"));
        QVERIFY(WriteFile(source, PatternBytes(3000)));
        const QString manual = dir.filePath(QStringLiteral("darvolt.html"));
        QVERIFY(WriteFile(manual, "<html></html>"));
        DesktopRecorder desktop;
        DialogRecorder dialogs;
        RecordingPlatform platform(dir.filePath(QStringLiteral("A")).toStdString());
        TForm4 form(&platform);
        form.SetArguments({source});
        form.RunOptions().blockSize = 1024;
        form.RunOptions().pumpInterval = std::chrono::milliseconds(0);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        Application()->SetHelpFile(manual);
        const Ui::TForm4 &ui = form.Controls();
        // Turned on by a reader, the radio button opens the size field as a
        // click does.
        accessible(ui.RadioButton2)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(ui.RadioButton2->isChecked());
        QVERIFY(ui.Edit2->isEnabled());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(ui.Edit2));
        ui.Edit2->setText(QStringLiteral("1"));
        auto press = [](QWidget *button) {
            accessible(button)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        };

        press(ui.FlatSpeedButton1);
        QTRY_COMPARE(platform.fileManagerFolders.size(), std::size_t(1));
        for (int part = 0; part < 3; ++part)
            QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("DATA_PARTS/data.bin.!0%1").arg(part))));
        QVERIFY(!accessible(ui.FlatSpeedButton1)->state().disabled);

        press(ui.FlatSpeedButton2);
        QTRY_COMPARE(desktop.help.size(), 1);
        QCOMPARE(desktop.help[0], QUrl::fromLocalFile(manual));

        bool aboutShown = false;
        // The press clicks once the call has returned; the box is up
        // (in its own loop) when the check after it runs.
        press(ui.FlatSpeedButton3);
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<TAboutBox *>(QApplication::activeModalWidget());
            aboutShown = box && box->isVisible();
            // The box's links follow through their jump action.
            if (box)
                accessible(box->Controls().ProUrlLabel3)->actionInterface()->doAction(JumpAction());
            QTimer::singleShot(0, [box] {
                if (box)
                    QTest::keyClick(box, Qt::Key_Return);
            });
        });
        QTRY_VERIFY(aboutShown);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(desktop.links, QStringList{QStringLiteral("https://ombrix.example.org/")});

        // A disabled button does nothing when pressed.
        ui.FlatSpeedButton1->setEnabled(false);
        press(ui.FlatSpeedButton1);
        QCoreApplication::processEvents();
        QCOMPARE(platform.fileManagerFolders.size(), std::size_t(1));

        press(ui.FlatSpeedButton4);
        QTRY_VERIFY(!form.isVisible());
        QVERIFY(dialogs.texts(TMsgDlgKind::Error).isEmpty());
    }

    // States are read from the interfaces anywhere; the events that announce
    // them are counted where a bridge is live (the AT-SPI session).
    void statesFollowTheControlsAndAreAnnounced()
    {
        const bool live = qEnvironmentVariableIntValue("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") == 1;
        if (live) // the bridge goes live once it has reached the accessibility bus
            QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 20000);
        const QString source = dir.filePath(QStringLiteral("events.bin"));
        QVERIFY(WriteFile(source, PatternBytes(2500)));
        DialogRecorder dialogs;
        RecordingPlatform platform(dir.filePath(QStringLiteral("A")).toStdString());
        TForm4 form(&platform);
        form.SetArguments({source});
        form.RunOptions().blockSize = 1024;
        form.RunOptions().pumpInterval = std::chrono::milliseconds(0);
        form.show();
        form.activateWindow(); // a desktop without a window manager activates nothing itself
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const Ui::TForm4 &ui = form.Controls();
        EventLog events;
        auto heard = [&](int count, int expected) { return !live || count == expected; };

        ui.RadioButton1->setFocus(Qt::TabFocusReason);
        QVERIFY(!accessible(ui.FilenameEdit1)->state().focused);
        ui.FilenameEdit1->setFocus(Qt::TabFocusReason);
        QVERIFY(accessible(ui.FilenameEdit1)->state().focused);
        QVERIFY(heard(events.count(ui.FilenameEdit1, QAccessible::Focus), 1));

        // Held down, a button reads pressed; dragged off or let go, it does not.
        for (QWidget *button : {static_cast<QWidget *>(ui.FlatSpeedButton2),
                                static_cast<QWidget *>(ui.FilenameEdit1->Button())}) {
            QTest::mousePress(button, Qt::LeftButton);
            QVERIFY(accessible(button)->state().pressed);
            QVERIFY(heard(events.stateChanges(button, pressedState), 1));
            QTest::mouseMove(button, QPoint(-20, -20));
            QVERIFY(!accessible(button)->state().pressed);
            QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-20, -20));
            QVERIFY(!accessible(button)->state().pressed);
            QVERIFY(heard(events.stateChanges(button, pressedState), 2));
        }

        // A grouped button latches: checkable, and checked while down.
        TFlatSpeedButton toggle(ui.Panel2);
        toggle.setGroupIndex(1);
        toggle.setAllowAllUp(true);
        toggle.show();
        toggle.PerformClick();
        QVERIFY(accessible(&toggle)->state().checkable);
        QVERIFY(accessible(&toggle)->state().checked);
        toggle.PerformClick();
        QVERIFY(!accessible(&toggle)->state().checked);
        QVERIFY(heard(events.stateChanges(&toggle, checkedState), 2));
        QTest::mouseClick(&toggle, Qt::LeftButton);
        QVERIFY(accessible(&toggle)->state().checked);
        QVERIFY(heard(events.stateChanges(&toggle, checkedState), 3));
        QVERIFY(heard(events.stateChanges(&toggle, pressedState), 2));

        // A run: Split greys out and comes back, the status bar names each
        // part, the bar moves.
        ui.RadioButton2->click();
        ui.Edit2->setText(QStringLiteral("1"));
        QTest::mouseClick(ui.FlatSpeedButton1, Qt::LeftButton);
        QCOMPARE(platform.fileManagerFolders.size(), std::size_t(1));
        QVERIFY(dialogs.shown.empty());
        QVERIFY(heard(events.stateChanges(ui.FlatSpeedButton1, disabledState), 2));
        QVERIFY(!live || events.count(ui.StatusBar1, QAccessible::NameChanged) >= 4);
        QVERIFY(!live || events.count(ui.ProgressBar1, QAccessible::ValueChanged) >= 1);
    }

    // Opened from the keyboard, the title band's menu hangs from its window
    // with its commands read as shown, the lit one focused; pressing one
    // works it as a click does.
    void theTitleBandMenuHangsFromItsWindowAndReadsAsShown()
    {
        darvolt::FakePlatform platform;
        TForm4 form(&platform);
        form.SetArguments({});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.SetWriteRecoveryData(true);
        QAccessibleInterface *window = accessible(&form);
        const int closed = window->childCount();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier);
        QMenu *menu = form.findChild<QMenu *>();
        QVERIFY(menu && menu->isVisible());
        QAccessibleInterface *popup = accessible(menu);
        QCOMPARE(popup->role(), QAccessible::PopupMenu);
        QCOMPARE(window->childCount(), closed + 1);
        QCOMPARE(window->child(closed), popup);
        QCOMPARE(window->indexOfChild(popup), closed);
        QCOMPARE(popup->parent(), window);

        const QStringList read{"Restore:disabled", "Minimize:focused", "Maximize:disabled", ":disabled",
                               "Write recovery data:checkable,checked", "Join parts...:",
                               "Parts folder...:checkable",          "Beside the file:checkable,checked",
                               "Close:"};
        QCOMPARE(popup->childCount(), int(read.size()));
        for (int i = 0; i < popup->childCount(); ++i) {
            QAccessibleInterface *item = popup->child(i);
            QStringList states = statesOf(item->state());
            if (item->state().focused)
                states << "focused";
            QCOMPARE(item->text(QAccessible::Name) + ':' + states.join(','), read[i]);
            QCOMPARE(item->role(), read[i].startsWith(':') ? QAccessible::Separator : QAccessible::MenuItem);
            QCOMPARE(item->parent(), popup);
            QCOMPARE(popup->indexOfChild(item), i);
        }
        QCOMPARE(popup->child(8)->text(QAccessible::Accelerator), QStringLiteral("Alt+F4"));
        QCOMPARE(popup->child(4)->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
                 QStringList{"D"});

        popup->child(4)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(!menu->isVisible());
        QCOMPARE(window->childCount(), closed);
        QTRY_VERIFY(!form.WriteRecoveryData());
    }

    void theBrowseButtonOpensTheFileDialog()
    {
        darvolt::FakePlatform platform;
        TForm4 form(&platform);
        form.SetArguments({});
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        FileDialogScript dialog(QStringLiteral("/tmp/chosen.bin"), false);
        accessible(form.Controls().FilenameEdit1->Button())
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(dialog.runs, 1);
        QCOMPARE(dialog.title, QStringLiteral("Select file to split"));
    }
};

DARVOLT_APP_TEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
