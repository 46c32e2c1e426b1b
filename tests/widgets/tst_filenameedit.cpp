#include "toolkit/fonts.h"
#include "widgets/editbutton.h"
#include "widgets/filenameedit.h"
#include "widgets/filenamerules.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

using namespace darvolt;

namespace {

using E = TFilenameEdit;

// Stands in for the user at the file dialog.
struct FakeDialog {
    int runs = 0;
    bool confirm = true;
    QString answer;
    QString seenFileName;
    QString seenInitialDir;
    FileDialogRunnerFn saved;
    FakeDialog()
        : saved(FileDialogRunner())
    {
        FileDialogRunner() = [this](TFileNameDialog &d, QWidget *) {
            ++runs;
            seenFileName = d.FileName;
            seenInitialDir = d.InitialDir;
            if (confirm) {
                d.FileName = answer;
                d.Files = QStringList{answer};
            }
            return confirm;
        };
    }
    ~FakeDialog() { FileDialogRunner() = saved; }
};

QRgb rgb(TColor c) { return ColorToRGB(c).rgb(); }

} // namespace

class TestFilenameEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        InstallFontSubstitutes();
        QApplication::setFont(LayoutFont(QStringLiteral("MS Sans Serif"), 11));
    }

    void defaults()
    {
        E edit;
        QCOMPARE(edit.height(), 21);
        QCOMPARE(edit.DialogTitle(), QStringLiteral("Browse"));
        QCOMPARE(edit.Filter(), QStringLiteral("All files (*.*)|*.*"));
        QCOMPARE(edit.DialogOptions(), TFileNameDialog::TOpenOptions(TFileNameDialog::ofHideReadOnly));
        QCOMPARE(edit.ClickKey(), 0x8028);
        QCOMPARE(edit.GlyphKind(), TCustomComboEdit::gkDefault);
        QCOMPARE(edit.ButtonWidth(), 21);
        QCOMPARE(edit.NumGlyphs(), 1);
        QVERIFY(edit.DirectInput());
        QVERIFY(edit.AutoSelect());
        QVERIFY(!edit.AcceptFiles());
        QCOMPARE(edit.FilterIndex(), 1);
    }

    void mainWindowFieldLaysOutTheButton()
    {
        E edit;
        edit.resize(296, 21);
        edit.show();
        QCOMPARE(edit.ButtonHolder()->geometry(), QRect(273, 2, 21, 17));
        QCOMPARE(edit.Button()->size(), QSize(21, 17));
        QCOMPARE(edit.EditRect().width(), 269);
    }

    void buttonLayoutByFrame_data()
    {
        QTest::addColumn<int>("border");
        QTest::addColumn<bool>("ctl3D");
        QTest::addColumn<QRect>("holder");
        QTest::newRow("3-D single") << int(E::bsSingle) << true << QRect(100 - 21 - 2, 2, 21, 26 - 4);
        QTest::newRow("flat single") << int(E::bsSingle) << false << QRect(100 - 21 - 1, 3, 21, 26 - 4);
        QTest::newRow("no border") << int(E::bsNone) << true << QRect(100 - 21, 0, 21, 26);
    }
    void buttonLayoutByFrame()
    {
        QFETCH(int, border);
        QFETCH(bool, ctl3D);
        QFETCH(QRect, holder);
        E edit;
        edit.resize(100, 26);
        edit.show();
        edit.setBorderStyle(E::TBorderStyle(border));
        edit.setCtl3D(ctl3D);
        QCOMPARE(edit.ButtonHolder()->geometry(), holder);
    }

    void heightSnapsBackToTheMinimum()
    {
        E edit;
        edit.resize(100, 5);
        QCOMPARE(edit.height(), edit.MinEditHeight());
        QVERIFY(edit.MinEditHeight() <= 21);
    }

    void minimumHeightTakesTheSmallerOfApplicationAndOwnFont_data()
    {
        QTest::addColumn<int>("applicationPixels");
        QTest::addColumn<int>("ownPixels");
        QTest::newRow("own font smaller") << 20 << 11;
        QTest::newRow("application font smaller") << 11 << 20;
    }
    void minimumHeightTakesTheSmallerOfApplicationAndOwnFont()
    {
        QFETCH(int, applicationPixels);
        QFETCH(int, ownPixels);
        const QFont saved = QApplication::font();
        const QFont application = LayoutFont(QStringLiteral("MS Sans Serif"), applicationPixels);
        const QFont own = LayoutFont(QStringLiteral("MS Sans Serif"), ownPixels);
        QApplication::setFont(application);
        E edit;
        edit.setFont(own);
        const int expected = std::min(QFontMetrics(application).height(), QFontMetrics(own).height()) + 5;
        const int found = edit.MinEditHeight();
        QApplication::setFont(saved);
        QCOMPARE(found, expected);
    }

    void buttonWidthRules()
    {
        E edit;
        edit.resize(100, 21);
        edit.setButtonWidth(200);
        QCOMPARE(edit.ButtonWidth(), 21);
        edit.setButtonWidth(30);
        QCOMPARE(edit.Button()->width(), 30);
        edit.setButtonWidth(1);
        QVERIFY(edit.ButtonHolder()->isHidden());
        edit.setGlyphKind(TCustomComboEdit::gkDropDown);
        QCOMPARE(edit.ButtonWidth(), 16);
        QVERIFY(!edit.ButtonHolder()->isHidden());
    }

    void editButtonFrameAndBlendLines()
    {
        TEditButton button;
        button.resize(21, 17);
        QImage face = button.RenderFace();
        QCOMPARE(face.pixel(0, 0), rgb(clBtnFace));      // blend line over the highlight
        QCOMPARE(face.pixel(0, 15), rgb(clBtnFace));
        QCOMPARE(face.pixel(0, 16), rgb(clWindowFrame)); // end pixel left out
        QCOMPARE(face.pixel(1, 1), rgb(clBtnHighlight));
        QCOMPARE(face.pixel(1, 14), rgb(clBtnHighlight));
        QCOMPARE(face.pixel(5, 0), rgb(clBtnHighlight));
        QCOMPARE(face.pixel(20, 5), rgb(clWindowFrame));
        QCOMPARE(face.pixel(19, 5), rgb(clBtnShadow));
        QCOMPARE(face.pixel(5, 16), rgb(clWindowFrame));
        QCOMPARE(face.pixel(5, 15), rgb(clBtnShadow));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&button, &press);
        QVERIFY(button.IsPressed());
        face = button.RenderFace();
        QCOMPARE(face.pixel(0, 5), rgb(clWindowFrame)); // no blend lines while pressed
        QCOMPARE(face.pixel(1, 5), rgb(clBtnShadow));
        QCOMPARE(face.pixel(20, 5), rgb(clBtnHighlight));
    }

    void glyphIsCentredAndMovesWhenPressed()
    {
        QCOMPARE(TRxSpeedButton::GlyphPosition(QSize(21, 17), QSize(14, 12), false), QPoint(3, 2));
        QCOMPARE(TRxSpeedButton::GlyphPosition(QSize(21, 17), QSize(14, 12), true), QPoint(4, 3));
    }

    void disablingGreysTextAndGlyph()
    {
        E edit;
        edit.resize(200, 21);
        edit.setEnabled(false);
        QVERIFY(!edit.Button()->isEnabled());
        QCOMPARE(edit.palette().color(QPalette::Disabled, QPalette::Text), ColorToRGB(clGrayText));
        QImage glyph(14, 12, QImage::Format_RGB32);
        glyph.fill(qRgb(255, 0, 255));
        glyph.setPixel(4, 4, qRgb(0, 0, 0));
        edit.setGlyph(QPixmap::fromImage(glyph));
        const QImage face = edit.Button()->RenderFace();
        const QPoint at = TRxSpeedButton::GlyphPosition(QSize(21, 17), QSize(14, 12), false);
        QCOMPARE(face.pixel(at + QPoint(4, 4)), rgb(clBtnShadow));
        QCOMPARE(face.pixel(at + QPoint(5, 5)), rgb(clBtnHighlight));
    }

    void browseQuotesAPathWithABlank()
    {
        FakeDialog dialog;
        dialog.answer = QStringLiteral("/tmp/My Documents/report.doc");
        E edit;
        QSignalSpy changes(&edit, &E::OnChange);
        edit.Button()->Click();
        QCOMPARE(dialog.runs, 1);
        QCOMPARE(edit.text(), QStringLiteral("\"/tmp/My Documents/report.doc\""));
        QCOMPARE(edit.FileName(), QStringLiteral("/tmp/My Documents/report.doc"));
        QCOMPARE(edit.InitialDir(), QStringLiteral("/tmp/My Documents/"));
        QCOMPARE(changes.count(), 1);
        dialog.answer = QStringLiteral("/tmp/report.doc");
        edit.Button()->Click();
        QCOMPARE(edit.text(), QStringLiteral("/tmp/report.doc"));
    }

    void browseStartsInTheFolderOfAnExistingFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a file.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        FakeDialog dialog;
        dialog.confirm = false;
        E edit;
        edit.setText(QuoteFileName(path));
        edit.Button()->Click();
        QCOMPARE(dialog.seenFileName, path);
        QCOMPARE(dialog.seenInitialDir, dir.path() + u'/');
    }

    void emptyTextKeepsThePreviousDialogSettings()
    {
        FakeDialog dialog;
        dialog.answer = QStringLiteral("/tmp/first.bin");
        E edit;
        edit.Button()->Click();
        edit.setText(QString());
        dialog.confirm = false;
        edit.Button()->Click();
        QCOMPARE(dialog.seenFileName, QStringLiteral("/tmp/first.bin"));
        QCOMPARE(dialog.seenInitialDir, QStringLiteral("/tmp/"));
    }

    void cancelKeepsTheTextAndStillCallsAfterDialog()
    {
        FakeDialog dialog;
        dialog.confirm = false;
        E edit;
        edit.setText(QStringLiteral("/tmp/keep.txt"));
        edit.setInitialDir(QStringLiteral("/somewhere/"));
        bool afterAction = true;
        int afters = 0;
        QSignalSpy buttonClicks(&edit, &E::OnButtonClick);
        connect(&edit, &E::OnAfterDialog, this, [&](QObject *, QString &, bool &action) {
            ++afters;
            afterAction = action;
        });
        edit.Button()->Click();
        QCOMPARE(buttonClicks.count(), 1);
        QCOMPARE(afters, 1);
        QVERIFY(!afterAction);
        QCOMPARE(edit.text(), QStringLiteral("/tmp/keep.txt"));
        QCOMPARE(edit.InitialDir(), QStringLiteral("/tmp/")); // the folder exists
    }

    void beforeDialogCanCancelAndAfterDialogCanChangeTheName()
    {
        FakeDialog dialog;
        dialog.answer = QStringLiteral("/tmp/chosen.txt");
        E edit;
        bool allow = false;
        connect(&edit, &E::OnBeforeDialog, this, [&](QObject *, QString &, bool &action) { action = allow; });
        connect(&edit, &E::OnAfterDialog, this, [](QObject *, QString &name, bool &) { name += u".bak"; });
        edit.Button()->Click();
        QCOMPARE(dialog.runs, 0);
        allow = true;
        edit.Button()->Click();
        QCOMPARE(edit.text(), QStringLiteral("/tmp/chosen.txt.bak"));
    }

    void altDownBrowsesUnlessReadOnly()
    {
        FakeDialog dialog;
        dialog.confirm = false;
        E edit;
        edit.setText(QStringLiteral("abc"));
        edit.setCursorPosition(1);
        QTest::keyClick(&edit, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(dialog.runs, 1);
        QCOMPARE(edit.cursorPosition(), 1);
        edit.setReadOnlyFlag(true);
        QTest::keyClick(&edit, Qt::Key_Down, Qt::AltModifier);
        edit.Button()->Click();
        QCOMPARE(dialog.runs, 1);
        QVERIFY(edit.isReadOnly());
    }

    void directInputOffBlocksTypingButNotBrowsing()
    {
        FakeDialog dialog;
        dialog.answer = QStringLiteral("/tmp/x");
        E edit;
        edit.setDirectInput(false);
        QTest::keyClicks(&edit, QStringLiteral("typed"));
        QCOMPARE(edit.text(), QString());
        edit.Button()->Click();
        QCOMPARE(edit.text(), QStringLiteral("/tmp/x"));
    }

    void enterReachesTheDefaultButtonAndInsertsNothing()
    {
        QDialog form;
        auto *layout = new QVBoxLayout(&form);
        auto *edit = new E;
        auto *ok = new QPushButton(QStringLiteral("OK"));
        ok->setDefault(true);
        layout->addWidget(edit);
        layout->addWidget(ok);
        QSignalSpy pressed(ok, &QPushButton::clicked);
        form.show();
        edit->setFocus();
        edit->setText(QStringLiteral("abc"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(pressed.count(), 1);
        QCOMPARE(edit->text(), QStringLiteral("abc"));
    }

    void fileNameRules_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("throws");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "/tmp/a.txt" << false << "/tmp/a.txt";
        QTest::newRow("blank") << "/tmp/a b.txt" << false << "\"/tmp/a b.txt\"";
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("bar") << "/tmp/a|b" << true << "";
        QTest::newRow("angle") << "/tmp/<b>" << true << "";
    }
    void fileNameRules()
    {
        QFETCH(QString, value);
        QFETCH(bool, throws);
        QFETCH(QString, text);
        E edit;
        edit.setText(QStringLiteral("before"));
        if (throws) {
            try {
                edit.setFileName(value);
                QFAIL("no error");
            } catch (const EComboEditError &error) {
                QCOMPARE(error.Message(), QStringLiteral("Invalid file name - ") + value);
            }
            QCOMPARE(edit.text(), QStringLiteral("before"));
        } else {
            edit.setFileName(value);
            QCOMPARE(edit.text(), text);
        }
    }

    void dialogKindSwitchKeepsEverySetting()
    {
        E edit;
        edit.setDefaultExt(QStringLiteral("txt"));
        edit.setFileEditStyle(E::fsComboBox);
        edit.setFilter(QStringLiteral("Text|*.txt"));
        edit.setFilterIndex(2);
        edit.setInitialDir(QStringLiteral("/tmp/"));
        edit.setHistoryList({QStringLiteral("/a"), QStringLiteral("/b")});
        edit.setDialogOptions(TFileNameDialog::ofAllowMultiSelect | TFileNameDialog::ofFileMustExist);
        edit.setDialogTitle(QStringLiteral("Select file to split"));
        edit.Dialog().FileName = QStringLiteral("/tmp/x");
        edit.Dialog().Files = {QStringLiteral("/tmp/x"), QStringLiteral("/tmp/y")};
        const TFileNameDialog *before = &edit.Dialog();
        edit.setDialogKind(E::dkSave);
        QVERIFY(&edit.Dialog() != before);
        QCOMPARE(edit.Dialog().DialogKind, TFileNameDialog::Kind::Save);
        QCOMPARE(edit.DefaultExt(), QStringLiteral("txt"));
        QCOMPARE(edit.FileEditStyle(), E::fsComboBox);
        QCOMPARE(edit.Filter(), QStringLiteral("Text|*.txt"));
        QCOMPARE(edit.FilterIndex(), 2);
        QCOMPARE(edit.InitialDir(), QStringLiteral("/tmp/"));
        QCOMPARE(edit.HistoryList().size(), 2);
        QVERIFY(edit.DialogOptions().testFlag(TFileNameDialog::ofAllowMultiSelect));
        QCOMPARE(edit.DialogTitle(), QStringLiteral("Select file to split"));
        QCOMPARE(edit.Dialog().FileName, QStringLiteral("/tmp/x"));
        QCOMPARE(edit.Dialog().Files.size(), 2);
        edit.setDialogOptions(TFileNameDialog::ofHideReadOnly);
        QVERIFY(edit.Dialog().Files.isEmpty());
        QVERIFY(!edit.MultipleFiles());
    }

    void droppedFilesTakeTheFirstOrAll()
    {
        E edit;
        edit.setAcceptFiles(true);
        QVERIFY(edit.acceptDrops());
        QSignalSpy drops(&edit, &E::OnDropFiles);
        edit.DropFiles({QStringLiteral("/tmp/one two"), QStringLiteral("/tmp/three")});
        QCOMPARE(edit.text(), QStringLiteral("\"/tmp/one two\""));
        QCOMPARE(drops.count(), 1);
        edit.setDialogOptions(TFileNameDialog::ofAllowMultiSelect);
        edit.DropFiles({QStringLiteral("/tmp/a"), QStringLiteral("/tmp/b[1]"), QStringLiteral("/tmp/c")});
        QCOMPARE(edit.text(), QStringLiteral("/tmp/a"));
        QCOMPARE(edit.Dialog().Files, (QStringList{QStringLiteral("/tmp/a"), QStringLiteral("/tmp/c")}));
    }

    void dropEventDeliversLocalFiles()
    {
        E edit;
        edit.setAcceptFiles(true);
        edit.show();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/dropped.bin"))});
        QDragEnterEvent dragEnter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&edit, &dragEnter);
        QVERIFY(dragEnter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&edit, &drop);
        QCOMPARE(edit.text(), QStringLiteral("/tmp/dropped.bin"));
    }

    void autoSelectOnKeyboardFocusOnly()
    {
        QWidget form;
        auto *other = new QLineEdit(&form);
        auto *edit = new E(&form);
        edit->move(0, 40);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        edit->setText(QStringLiteral("/tmp/abc"));
        other->setFocus();
        edit->setFocus(Qt::TabFocusReason);
        QCOMPARE(edit->selectedText(), QStringLiteral("/tmp/abc"));
        other->setFocus();
        edit->setAutoSelect(false);
        edit->setFocus(Qt::TabFocusReason);
        QVERIFY(!edit->hasSelectedText());
    }
};

QTEST_MAIN(TestFilenameEdit)
#include "tst_filenameedit.moc"
