// The main window's file field: the command line, typing, browsing and
// dropping, the size and output-folder displays, and the size modes.
#include "apptest.h"
#include "recordingplatform.h"

#include "app/tform4.h"
#include "platform/fakeplatform.h"
#include "widgets/editbutton.h"

#include <QTemporaryDir>

using namespace darvolt;

class tst_Form4Field : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }
    QString makeFile(const QString &name, qint64 size)
    {
        const QString p = path(name);
        QDir().mkpath(QFileInfo(p).path());
        if (!WriteFile(p, PatternBytes(size)))
            qFatal("cannot write %s", qPrintable(p));
        return p;
    }
    static std::unique_ptr<TForm4> shown(darvolt::Platform &platform, const QStringList &arguments)
    {
        auto form = std::make_unique<TForm4>(&platform);
        form->SetArguments(arguments);
        form->show();
        if (!QTest::qWaitForWindowActive(form.get()))
            qWarning("window not active");
        return form;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void oneArgumentIsTakenIntoTheField_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "report.doc";
        // The shell has already removed the quotes around a quoted path.
        QTest::newRow("quoted path with blanks") << "my files/annual report.doc";
    }
    void oneArgumentIsTakenIntoTheField()
    {
        QFETCH(QString, name);
        const QString file = makeFile(name, 3000);
        RecordingPlatform platform(path("A").toStdString());
        const auto form = shown(platform, {file});
        const Ui::TForm4 &ui = form->Controls();
        QCOMPARE(ui.FilenameEdit1->text(), file);
        QCOMPARE(ui.Label5->text(), QStringLiteral("3 kb"));
        QCOMPARE(form->SourceSize(), 3000);
        const QString stem = QFileInfo(name).completeBaseName().toUpper();
        QCOMPARE(ui.Edit1->text(), QFileInfo(file).path() + QLatin1Char('/') + stem + QStringLiteral("_PARTS"));
        QVERIFY(ui.FlatSpeedButton1->isEnabled());
    }

    void noneOrSeveralArgumentsLeaveTheFieldEmpty_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("none") << QStringList{};
        QTest::newRow("unquoted path with a blank") << QStringList{path("my"), path("report.doc")};
    }
    void noneOrSeveralArgumentsLeaveTheFieldEmpty()
    {
        QFETCH(QStringList, arguments);
        RecordingPlatform platform(path("A").toStdString());
        const auto form = shown(platform, arguments);
        const Ui::TForm4 &ui = form->Controls();
        QVERIFY(ui.FilenameEdit1->text().isEmpty());
        QVERIFY(ui.Edit1->text().isEmpty());
        QVERIFY(!ui.FlatSpeedButton1->isEnabled());
        QCOMPARE(ui.StatusBar1->SimpleText(), QStringLiteral("Simple is beautiful..."));
    }

    void sizeDisplayCountsStartedKilobytes_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << qint64(0) << "1 kb";
        QTest::newRow("1023") << qint64(1023) << "1 kb";
        QTest::newRow("1024") << qint64(1024) << "2 kb";
        QTest::newRow("one MiB") << qint64(1 << 20) << "1025 kb";
    }
    void sizeDisplayCountsStartedKilobytes()
    {
        QFETCH(qint64, size);
        QFETCH(QString, shown);
        const QString file = makeFile(QStringLiteral("sized.bin"), size);
        RecordingPlatform platform(path("A").toStdString());
        const auto form = this->shown(platform, {});
        form->Controls().FilenameEdit1->setText(file);
        QCOMPARE(form->Controls().Label5->text(), shown);
        QCOMPARE(form->SourceSize(), size);
        // The label grows to its text.
        QVERIFY(form->Controls().Label5->width() >= form->Controls().Label5->fontMetrics().horizontalAdvance(shown));
        QVERIFY(form->Controls().FlatSpeedButton1->isEnabled());
    }

    void typingMeasuresAndAMissingNameKeepsTheLastSize()
    {
        const QString file = makeFile(QStringLiteral("typed.txt"), 5000);
        RecordingPlatform platform(path("A").toStdString());
        const auto form = shown(platform, {});
        const Ui::TForm4 &ui = form->Controls();
        QTest::keyClicks(ui.FilenameEdit1, file);
        QCOMPARE(ui.Label5->text(), QStringLiteral("5 kb"));
        QVERIFY(ui.FlatSpeedButton1->isEnabled());
        // One more character names a file that does not exist: the size and
        // the button stay, the output folder follows the text.
        QTest::keyClicks(ui.FilenameEdit1, QStringLiteral("x"));
        QCOMPARE(ui.Label5->text(), QStringLiteral("5 kb"));
        QCOMPARE(form->SourceSize(), 5000);
        QVERIFY(ui.FlatSpeedButton1->isEnabled());
        QCOMPARE(ui.Edit1->text(), dir.path() + QStringLiteral("/TYPED_PARTS"));
        // Emptying the field disables Split.
        ui.FilenameEdit1->clear();
        QVERIFY(!ui.FlatSpeedButton1->isEnabled());
        QVERIFY(ui.Edit1->text().isEmpty());
    }

    void browsingANameWithBlanksLosesTheQuotes()
    {
        const QString file = makeFile(QStringLiteral("with blank/file name.txt"), 2048);
        FileDialogScript dialog(file);
        RecordingPlatform platform(path("A").toStdString());
        const auto form = shown(platform, {});
        const Ui::TForm4 &ui = form->Controls();
        QTest::mouseClick(ui.FilenameEdit1->Button(), Qt::LeftButton);
        QCOMPARE(dialog.runs, 1);
        QCOMPARE(dialog.title, QStringLiteral("Select file to split"));
        QCOMPARE(ui.FilenameEdit1->text(), file);
        QCOMPARE(ui.Edit1->text(), dir.path() + QStringLiteral("/with blank/FILE NAME_PARTS"));
        QCOMPARE(ui.Label5->text(), QStringLiteral("3 kb"));
    }

    void theOutputFolderIsTheOneTheRunWillCreate_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("shown");
        // The folder's own name is upper-cased; the path above keeps its case.
        QTest::newRow("plain") << "/Data/Report.doc" << "/Data/REPORT_PARTS";
        QTest::newRow("dot in a folder, none in the name") << "/data/v1.2/README" << "/data/v1.2/README_PARTS";
        QTest::newRow("two extensions") << "/data/archive.tar.gz" << "/data/ARCHIVE.TAR_PARTS";
    }
    void theOutputFolderIsTheOneTheRunWillCreate()
    {
        QFETCH(QString, field);
        QFETCH(QString, shown);
        RecordingPlatform platform(path("A").toStdString());
        const auto form = this->shown(platform, {});
        form->Controls().FilenameEdit1->setText(field);
        QCOMPARE(form->Controls().Edit1->text(), shown);
    }

    void droppedFilesFillTheField_data()
    {
        QTest::addColumn<QStringList>("dropped");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("size");
        const QString a = path("drop/a.bin"), b = path("drop/b.bin"), c = path("drop/c.bin");
        QTest::newRow("one file") << QStringList{a} << a << "2 kb";
        QTest::newRow("three files: the first") << QStringList{b, a, c} << b << "3 kb";
        // A folder goes into the field but counts as no file.
        QTest::newRow("a folder") << QStringList{path("drop")} << path("drop") << "";
    }
    void droppedFilesFillTheField()
    {
        QFETCH(QStringList, dropped);
        QFETCH(QString, field);
        QFETCH(QString, size);
        makeFile(QStringLiteral("drop/a.bin"), 1500);
        makeFile(QStringLiteral("drop/b.bin"), 2500);
        makeFile(QStringLiteral("drop/c.bin"), 3500);
        RecordingPlatform platform(path("A").toStdString());
        const auto form = shown(platform, {});
        const Ui::TForm4 &ui = form->Controls();
        // Dropped on the file field itself: the window takes it, not the
        // edit as text.
        QVERIFY(DropFilesOn(ui.FilenameEdit1, dropped));
        QCOMPARE(ui.FilenameEdit1->text(), field);
        QCOMPARE(ui.Label5->text(), size);
        QCOMPARE(ui.FlatSpeedButton1->isEnabled(), !size.isEmpty());
        // And anywhere else on the window.
        ui.FilenameEdit1->clear();
        QVERIFY(DropFilesOn(ui.Label2, dropped));
        QCOMPARE(ui.FilenameEdit1->text(), field);
    }

    void aDropThatCarriesNoFileIsNotTaken()
    {
        RecordingPlatform platform(path("A").toStdString());
        const auto form = shown(platform, {});
        QMimeData data;
        data.setText(QStringLiteral("just text"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->Controls().Label2, &enter);
        QVERIFY(!enter.isAccepted());
        QVERIFY(form->Controls().FilenameEdit1->text().isEmpty());
    }

    void sizeModesSwitchTheCustomField()
    {
        RecordingPlatform platform(path("A").toStdString());
        const auto form = shown(platform, {});
        const Ui::TForm4 &ui = form->Controls();
        QTest::mouseClick(ui.RadioButton2, Qt::LeftButton);
        QVERIFY(ui.Edit2->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(ui.Edit2));
        QTest::keyClicks(ui.Edit2, QStringLiteral("100"));
        // Choosing custom size again selects what the field holds.
        ui.FilenameEdit1->setFocus();
        QTest::mouseClick(ui.RadioButton2, Qt::LeftButton);
        QCOMPARE(ui.Edit2->selectedText(), QStringLiteral("100"));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(ui.Edit2));
        // Standard size empties and disables it.
        QTest::mouseClick(ui.RadioButton1, Qt::LeftButton);
        QVERIFY(!ui.Edit2->isEnabled());
        QVERIFY(ui.Edit2->text().isEmpty());
        // Spanning shows the drive folder whatever the field holds.
        ui.FilenameEdit1->setText(QStringLiteral("/data/report.doc"));
        QTest::mouseClick(ui.RadioButton3, Qt::LeftButton);
        QCOMPARE(ui.Edit1->text(), path("A") + QLatin1Char('/'));
        QVERIFY(!ui.Edit2->isEnabled());
        ui.FilenameEdit1->setText(QStringLiteral("/data/other.doc"));
        QCOMPARE(ui.Edit1->text(), path("A") + QLatin1Char('/'));
        QTest::mouseClick(ui.RadioButton1, Qt::LeftButton);
        QCOMPARE(ui.Edit1->text(), QStringLiteral("/data/OTHER_PARTS"));
    }

    void fileStatesShowInTheSizeDisplay_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<qint64>("sourceSize");
        QTest::addColumn<bool>("splittable");
        QTest::newRow("held by another program") << 0 << "? (file in use)" << qint64(0) << false;
        QTest::newRow("read-only") << 1 << "3 kb" << qint64(3000) << true;
        QTest::newRow("size unknown") << 2 << "unknown" << qint64(3) << true;
    }
    void fileStatesShowInTheSizeDisplay()
    {
        QFETCH(int, state);
        QFETCH(QString, shown);
        QFETCH(qint64, sourceSize);
        QFETCH(bool, splittable);
        darvolt::FakePlatform platform;
        platform.addFile("/data/report.doc", std::string(3000, 'x'));
        if (state == 0)
            platform.setLocked("/data/report.doc");
        else if (state == 1)
            platform.setReadOnly("/data/report.doc");
        else
            platform.setSizeUnknown("/data/report.doc");
        const auto form = this->shown(platform, {});
        form->Controls().FilenameEdit1->setText(QStringLiteral("/data/report.doc"));
        QCOMPARE(form->Controls().Label5->text(), shown);
        QCOMPARE(form->SourceSize(), sourceSize);
        QCOMPARE(form->Controls().FlatSpeedButton1->isEnabled(), splittable);
        // Measuring never touches the file, its attributes included.
        QCOMPARE(platform.changeCount("/data/report.doc"), std::uint64_t(0));
    }

    void aFileOfSeveralGigabytesShowsItsSizeAndPassesTheChecks()
    {
        const QString file = path("huge.img");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(qint64(5) << 30)); // sparse: takes no room
        }
        DialogRecorder dialogs;
        RecordingPlatform platform(path("A").toStdString());
        platform.failMakeDirectory = true; // stop right after the checks
        const auto form = shown(platform, {file});
        const Ui::TForm4 &ui = form->Controls();
        QCOMPARE(ui.Label5->text(), QStringLiteral("5242881 kb"));
        QCOMPARE(form->SourceSize(), qint64(5) << 30);
        // A custom part of 4 GiB is smaller than the source: the run starts
        // (and stops at the folder); one of 6 GiB is too large.
        QTest::mouseClick(ui.RadioButton2, Qt::LeftButton);
        QTest::keyClicks(ui.Edit2, QStringLiteral("4194304"));
        QTest::mouseClick(ui.FlatSpeedButton1, Qt::LeftButton);
        QCOMPARE(dialogs.texts(TMsgDlgKind::Error),
                 QStringList{QStringLiteral("The output directory cannot be created. Splitting file canceled")});
        ui.Edit2->setText(QStringLiteral("6291456"));
        QTest::mouseClick(ui.FlatSpeedButton1, Qt::LeftButton);
        QCOMPARE(dialogs.texts(TMsgDlgKind::Error).last(),
                 QStringLiteral("The size selected for partial files MUST be smaller than the source file."));
        QFile::remove(file);
    }
};

DARVOLT_APP_TEST_MAIN(tst_Form4Field)
#include "tst_form4field.moc"
