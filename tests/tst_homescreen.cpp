#include <fcntl.h>
#include <unistd.h>

#include <QDropEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QPointer>
#include <QTemporaryDir>

#include "AppIdentity.h"
#include "EditorHarness.h"
#include "ExportPlan.h"
#include "FileNames.h"
#include "ScreenStack.h"
#include "SettingsUserDefaults.h"
#include "ViewController.h"

namespace {

struct Home {
    QTemporaryDir dir;
    ScreenStack screens;
    ViewController* home = nullptr;
    std::shared_ptr<FakeAsset> asset = std::make_shared<FakeAsset>(12.0);
    QStringList mailed; // recipients | subject
    bool mailAvailable = true;
    QString lastFolder;
    QStringList recent;
    SettingsUserDefaults settings{dir.filePath(QStringLiteral("settings.ini"))};
    int editorReads = 0; // files the editor opened itself, not handed to it

    Home()
    {
        HomeServices services;
        services.screens = &screens;
        services.videosFolder = dir.filePath(QStringLiteral("Videos/Trimora"));
        services.settings = &settings;
        services.lastFolder = [this] { return lastFolder; };
        services.rememberFolder = [this](const QString& folder) { lastFolder = folder; };
        services.recentVideos = [this] { return recent; };
        services.rememberRecentVideos = [this](const QStringList& paths) { recent = paths; };
        services.openAsset = [this](const QString& path) {
            return path.endsWith(QLatin1String(".txt"))
                ? Outcome<std::shared_ptr<VideoAsset>>::failure(QStringLiteral("Could not read video 'notes.txt'"))
                : Outcome<std::shared_ptr<VideoAsset>>(asset);
        };
        services.instantiateViewController = [this](const QString& identifier) -> QWidget* {
            if (identifier != QLatin1String("cutterController"))
                return nullptr;
            EditorServices editor;
            editor.openAsset = [this](const QString&) {
                ++editorReads;
                return Outcome<std::shared_ptr<VideoAsset>>(asset);
            };
            editor.makePlayer = [] { return std::unique_ptr<Player>(new FakePlayer); };
            return new CutterViewController(editor);
        };
        services.canSendMail = [this] { return mailAvailable; };
        services.composeMail = [this](const QStringList& recipients, const QString& subject) {
            mailed << recipients.join(QLatin1Char(',')) + QLatin1Char('|') + subject;
            return true;
        };
        home = new ViewController(services);
        screens.addWidget(home);
        screens.resize(800, 600); // the offscreen screen is 800 x 600
        screens.show();
    }

    // The editor showing, if any.
    CutterViewController* editor() const { return qobject_cast<CutterViewController*>(screens.currentWidget()); }
};

} // namespace

class TestHomeScreen : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { closeAlerts(); }

    void opensTheEditorAndComesBack()
    {
        Home h;
        // A file that cannot be read says why, and no editor opens.
        h.home->openVideo(h.dir.filePath(QStringLiteral("notes.txt")));
        QTRY_COMPARE(openAlerts(QStringLiteral("Error")).size(), 1);
        QVERIFY(openAlerts(QStringLiteral("Error")).first()->text().contains(QStringLiteral("Could not read video 'notes.txt'")));
        QCOMPARE(h.screens.count(), 1);
        closeAlerts();

        h.home->openVideo(h.dir.filePath(QStringLiteral("holiday.mp4")));
        QPointer<CutterViewController> editor = h.editor();
        QVERIFY(editor);
        QCOMPARE(editor->videoURL, QUrl::fromLocalFile(h.dir.filePath(QStringLiteral("holiday.mp4"))));
        QCOMPARE(editor->findChild<QLabel*>(QStringLiteral("currentTimeLabel"))->text(), QStringLiteral("00:00 / 00:12"));
        editor->touchClose();
        QCOMPARE(h.screens.currentWidget(), h.home);
        QTRY_VERIFY(!editor);
        // A new pick makes a fresh editor.
        h.home->openVideo(h.dir.filePath(QStringLiteral("holiday.mp4")));
        QVERIFY(h.editor() && h.editor()->cutModel().splitPoints().empty());
    }

    void fileDialogAndDropOpenTheVideo()
    {
        Home h;
        const QString library = h.dir.filePath(QStringLiteral("Videos/Trimora"));
        QVERIFY(!QFileInfo::exists(library));
        h.home->touchPickVideo();
        auto* dialog = h.screens.findChild<QFileDialog*>();
        QVERIFY(dialog);
        QVERIFY(QFileInfo(library).isDir());
        QCOMPARE(QDir(dialog->directory()).absolutePath(), library);
        const QString filter = dialog->nameFilters().join(QLatin1Char(' '));
        QVERIFY2(filter.contains(QLatin1String("*.mkv")) && !filter.contains(QLatin1String("*.mp3")), qPrintable(filter));

        // Choosing a file opens the editor once the dialog has gone.
        emit dialog->fileSelected(h.dir.filePath(QStringLiteral("chosen.mp4")));
        dialog->close();
        QVERIFY(!h.editor());
        QTRY_VERIFY(h.editor());
        QCOMPARE(h.editor()->videoURL.fileName(), QStringLiteral("chosen.mp4"));
        QCOMPARE(h.screens.windowTitle(), QStringLiteral("chosen.mp4"));
        QCOMPARE(h.editorReads, 0); // the video checked here is the one edited
        h.editor()->touchClose();
        // The next dialog starts where the last file came from.
        h.home->touchPickVideo();
        QTRY_VERIFY(h.screens.findChild<QFileDialog*>());
        QCOMPARE(QDir(h.screens.findChild<QFileDialog*>()->directory()).absolutePath(), h.dir.path());
        h.screens.findChild<QFileDialog*>()->close();

        // So does a file dropped on the home screen.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(h.dir.filePath(QStringLiteral("dropped.mov")))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(h.home, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(h.home, &drop);
        QTRY_VERIFY(h.editor());
        QCOMPARE(h.editor()->videoURL.fileName(), QStringLiteral("dropped.mov"));

        // A video dropped on an editor with unsaved splits opens once they are discarded.
        QPointer<CutterViewController> first = h.editor();
        first->pointerViewLeadingConstraint()->setConstant(100);
        first->touchSplit();
        data.setUrls({QUrl::fromLocalFile(h.dir.filePath(QStringLiteral("other.mkv")))});
        QDragEnterEvent enterEditor(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(first, &enterEditor);
        QVERIFY(enterEditor.isAccepted());
        QDropEvent onEditor(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(first, &onEditor);
        QTRY_COMPARE(openAlerts(QStringLiteral("Unsaved Splits")).size(), 1);
        QCOMPARE(h.editor(), first.data());
        for (QAbstractButton* button : openAlerts(QStringLiteral("Unsaved Splits")).first()->buttons()) {
            if (button->text() == QLatin1String("Discard"))
                button->click();
        }
        QVERIFY(h.editor() && h.editor() != first);
        QCOMPARE(h.editor()->videoURL.fileName(), QStringLiteral("other.mkv"));
    }

    void recentVideosOpenAgain()
    {
        Home h;
        auto* button = h.home->findChild<QPushButton*>(QStringLiteral("recentVideosButton"));
        const auto listed = [button] {
            QStringList names;
            for (QAction* item : button->menu()->actions())
                names << item->text();
            return names;
        };
        QVERIFY(!button->isVisibleTo(h.home));
        // Ten videos opened, one twice, and one that cannot be read: the eight latest,
        // the latest first, each once.
        // A name that is not UTF-8 (the bytes "latin\xE9.mp4") is not listed.
        QStringList names{"a.mp4", "b.mkv", "c.mov", "a.mp4", "d.webm", "e.mp4", "f.mp4", "g.mp4",
                          "h.mp4", "i.mp4", "R&D.mp4", "notes.txt", QStringLiteral("latin") + QChar(0xDCE9) + QStringLiteral(".mp4")};
        for (const QString& name : names) {
            const int made = ::open(fileNameBytes(h.dir.filePath(name)).constData(), O_WRONLY | O_CREAT, 0644);
            QVERIFY(made >= 0 && ::close(made) == 0);
            h.home->openVideo(h.dir.filePath(name));
            closeAlerts();
            if (h.editor())
                h.editor()->touchClose();
        }
        QCOMPARE(h.screens.currentWidget(), h.home);
        QVERIFY(!h.recent.join(QLatin1Char('|')).contains(QChar(0xDCE9)));
        QVERIFY(button->isVisibleTo(h.home));
        // An "&" in a name is shown as it is, not as a shortcut key's mark.
        QCOMPARE(listed(), (QStringList{"R&&D.mp4", "i.mp4", "h.mp4", "g.mp4", "f.mp4", "e.mp4", "d.webm", "a.mp4"}));
        // A video no longer there is left out; choosing one opens it.
        QFile::remove(h.dir.filePath(QStringLiteral("e.mp4")));
        h.home->hide();
        h.home->show();
        QCOMPARE(listed(), (QStringList{"R&&D.mp4", "i.mp4", "h.mp4", "g.mp4", "f.mp4", "d.webm", "a.mp4"}));
        button->menu()->actions().constLast()->trigger();
        QTRY_VERIFY(h.editor());
        QCOMPARE(h.editor()->videoURL, QUrl::fromLocalFile(h.dir.filePath(QStringLiteral("a.mp4"))));
        QCOMPARE(h.recent.first(), h.dir.filePath(QStringLiteral("a.mp4")));
    }

    void settingsSheetKeepsTheCutMode()
    {
        Home h;
        const auto shown = [&h] { return h.home->findChildren<QMenu*>(QStringLiteral("settingsSheet")).constLast(); };
        const auto sheet = [&h, &shown] {
            h.home->touchSettings();
            QStringList texts;
            for (QAction* action : shown()->actions()) {
                if (!action->isSeparator())
                    texts << action->text() + (action->isChecked() ? QStringLiteral(" [on]") : QString());
            }
            return texts;
        };
        const QString choice = QStringLiteral("Cut at Keyframes Only (No Re-encoding)");
        QCOMPARE(sheet(), (QStringList{choice, QStringLiteral("Cancel")}));
        shown()->actions().at(1)->trigger();
        QVERIFY(h.settings.boolForKey(QString::fromLatin1(CUT_AT_KEYFRAMES_ONLY_KEY)));
        shown()->close();
        QCOMPARE(sheet(), (QStringList{choice + QStringLiteral(" [on]"), QStringLiteral("Cancel")}));
        shown()->close();
    }

    void supportMailOnlyWithAMailProgram()
    {
        Home h;
        h.mailAvailable = false;
        h.home->touchSupport();
        QTest::qWait(20);
        QCOMPARE(h.mailed, QStringList()); // silently nothing
        QCOMPARE(openAlerts(QStringLiteral("Error")).size(), 0);
        h.mailAvailable = true;
        h.home->touchSupport();
        QCOMPARE(h.mailed, QStringList{QLatin1String(SUPPORT_EMAIL) + QStringLiteral("|General - Trimora Support")});
    }
};

QTEST_MAIN(TestHomeScreen)
#include "tst_homescreen.moc"
