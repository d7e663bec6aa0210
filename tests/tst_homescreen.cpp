#include <QDropEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTemporaryDir>

#include "AppIdentity.h"
#include "EditorHarness.h"
#include "MailComposer.h"
#include "ScreenStack.h"
#include "ViewController.h"

namespace {

struct Home {
    QTemporaryDir dir;
    ScreenStack screens;
    ViewController* home = nullptr;
    std::shared_ptr<FakeAsset> asset = std::make_shared<FakeAsset>(12.0);
    QStringList opened;       // paths the check was asked about
    QStringList mailed;       // recipients | subject
    bool mailAvailable = true;

    Home()
    {
        HomeServices services;
        services.screens = &screens;
        services.videosFolder = dir.filePath(QStringLiteral("Videos/Trimora"));
        services.openAsset = [this](const QString& path) {
            opened << path;
            if (path.endsWith(QLatin1String(".txt")))
                return Outcome<std::shared_ptr<VideoAsset>>::failure(QStringLiteral("Could not read video 'notes.txt': Invalid data found when processing input"));
            return Outcome<std::shared_ptr<VideoAsset>>(asset);
        };
        services.instantiateViewController = [this](const QString& identifier) -> QWidget* {
            if (identifier != QLatin1String("cutterController"))
                return nullptr;
            EditorServices editor;
            editor.openAsset = [this](const QString&) { return Outcome<std::shared_ptr<VideoAsset>>(asset); };
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
};

} // namespace

class TestHomeScreen : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { closeAlerts(); }
    void pickButtonIsRound();
    void opensTheEditorAndComesBack();
    void unreadableFileShowsAnError();
    void fileDialogOffersVideosFromTheLibrary();
    void dropOpensTheVideo();
    void supportMail_data();
    void supportMail();
    void mailtoLink();
    void settingsSheet();
};

void TestHomeScreen::pickButtonIsRound()
{
    Home h;
    auto* pick = h.home->findChild<QPushButton*>(QStringLiteral("pickVideoButton"));
    QCOMPARE(pick->property("cornerRadius").toInt(), pick->width() / 2);
    QCOMPARE(pick->width(), pick->height());
}

void TestHomeScreen::opensTheEditorAndComesBack()
{
    Home h;
    h.home->openVideo(h.dir.filePath(QStringLiteral("holiday.mp4")));
    QPointer<CutterViewController> editor = h.home->presentedEditor();
    QVERIFY(editor);
    QCOMPARE(h.screens.currentWidget(), editor.data());
    QCOMPARE(editor->videoURL, QUrl::fromLocalFile(h.dir.filePath(QStringLiteral("holiday.mp4"))));
    QVERIFY(editor->isViewLoaded());

    editor->touchClose();
    QCOMPARE(h.screens.currentWidget(), h.home);
    QTRY_VERIFY(!editor);
    // A new pick makes a fresh editor.
    h.home->openVideo(h.dir.filePath(QStringLiteral("holiday.mp4")));
    QVERIFY(h.home->presentedEditor());
    QVERIFY(h.home->presentedEditor()->cutModel().splitPoints().empty());
}

void TestHomeScreen::unreadableFileShowsAnError()
{
    Home h;
    h.home->openVideo(h.dir.filePath(QStringLiteral("notes.txt")));
    QTRY_COMPARE(openAlerts(QStringLiteral("Error")).size(), 1);
    QMessageBox* alert = openAlerts(QStringLiteral("Error")).first();
    QVERIFY(alert->text().contains(QStringLiteral("Could not read video 'notes.txt'")));
    QCOMPARE(alert->buttons().size(), 1);
    QCOMPARE(alert->buttons().first()->text(), QStringLiteral("Ok"));
    QVERIFY(!h.home->presentedEditor());
    QCOMPARE(h.screens.count(), 1);
}

void TestHomeScreen::fileDialogOffersVideosFromTheLibrary()
{
    Home h;
    const QString library = h.dir.filePath(QStringLiteral("Videos/Trimora"));
    QVERIFY(!QFileInfo::exists(library));
    h.home->touchPickVideo();
    QFileDialog* dialog = h.home->filePicker();
    QVERIFY(dialog);
    QVERIFY(QFileInfo(library).isDir());
    QCOMPARE(QDir(dialog->directory()).absolutePath(), library);
    const QString filter = dialog->nameFilters().join(QLatin1Char(' '));
    for (const char* pattern : {"*.mp4", "*.mov", "*.mkv", "*.webm"})
        QVERIFY2(filter.contains(QLatin1String(pattern)), pattern);
    QVERIFY(!filter.contains(QLatin1String("*.jpg")));
    QVERIFY(!filter.contains(QLatin1String("*.mp3")));

    // Choosing a file opens the editor after the dialog has gone.
    emit dialog->fileSelected(h.dir.filePath(QStringLiteral("chosen.mp4")));
    dialog->close();
    QVERIFY(!h.home->presentedEditor());
    QTRY_VERIFY(h.home->presentedEditor());
    QCOMPARE(h.home->presentedEditor()->videoURL.fileName(), QStringLiteral("chosen.mp4"));
}

void TestHomeScreen::dropOpensTheVideo()
{
    Home h;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(h.dir.filePath(QStringLiteral("dropped.mov")))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.home, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.home, &drop);
    QTRY_VERIFY(h.home->presentedEditor());
    QCOMPARE(h.home->presentedEditor()->videoURL.fileName(), QStringLiteral("dropped.mov"));
}

void TestHomeScreen::supportMail_data()
{
    QTest::addColumn<bool>("available");
    QTest::addColumn<QStringList>("mailed");

    QTest::newRow("a mail program") << true
                                    << QStringList{QLatin1String(SUPPORT_EMAIL) + QStringLiteral("|General - Trimora Support")};
    QTest::newRow("none: silently nothing") << false << QStringList{};
}

void TestHomeScreen::supportMail()
{
    QFETCH(bool, available);
    QFETCH(QStringList, mailed);
    Home h;
    h.mailAvailable = available;
    h.home->touchSupport();
    QCOMPARE(h.mailed, mailed);
    QTest::qWait(20);
    QCOMPARE(openAlerts(QStringLiteral("Error")).size(), 0);
}

void TestHomeScreen::mailtoLink()
{
    QCOMPARE(MailComposer::mailtoUrl({QStringLiteral("support@trimora.app")}, QStringLiteral("General - Trimora Support"))
                 .toString(QUrl::FullyEncoded),
             QStringLiteral("mailto:support@trimora.app?subject=General%20-%20Trimora%20Support"));
}

void TestHomeScreen::settingsSheet()
{
    Home h;
    h.home->touchSettings();
    QMenu* sheet = h.home->settingsSheet();
    QVERIFY(sheet);
    QTRY_VERIFY(sheet->isVisible());
    QStringList choices;
    for (QAction* action : sheet->actions()) {
        if (!action->isSeparator())
            choices << action->text();
    }
    QCOMPARE(choices, QStringList{QStringLiteral("Cancel")});
    QCOMPARE(sheet->title(), QStringLiteral("Settings"));
    // It points at the settings button.
    auto* button = h.home->findChild<QPushButton*>(QStringLiteral("settingsButton"));
    // (The screen may push it sideways to keep it on screen.)
    const QRect anchor(button->mapToGlobal(QPoint(0, 0)), button->size());
    QVERIFY(std::abs(sheet->geometry().top() - anchor.bottom()) < 40);
    QVERIFY2(sheet->geometry().left() < anchor.right() && sheet->geometry().right() > anchor.left(),
             qPrintable(QStringLiteral("sheet %1,%2 %3x%4, button %5,%6 %7x%8, screen %9")
                            .arg(sheet->x()).arg(sheet->y()).arg(sheet->width()).arg(sheet->height())
                            .arg(anchor.x()).arg(anchor.y()).arg(anchor.width()).arg(anchor.height())
                            .arg(sheet->screen()->geometry().width())));
    // Cancel closes it and nothing else happens.
    choices.clear();
    for (QAction* action : sheet->actions()) {
        if (action->text() == QLatin1String("Cancel"))
            action->trigger();
    }
    sheet->close();
    QVERIFY(!h.home->presentedEditor());
}

QTEST_MAIN(TestHomeScreen)
#include "tst_homescreen.moc"
