#include "DesktopApp.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QScreen>
#include <QLoggingCategory>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>

#include "AppDelegate.h"
#include "AppIdentity.h"
#include "DesktopStoreReview.h"
#include "ExportPlan.h"
#include "FfmpegVideoAsset.h"
#include "FileManager.h"
#include "FileNames.h"
#include "FolderVideoLibrary.h"
#include "MailComposer.h"
#include "CutterViewController.h"
#include "MainThread.h"
#include "QtMediaPlayer.h"
#include "QuitGuard.h"
#include "ReviewsHelper.h"
#include "Scenes.h"
#include "ScreenStack.h"
#include "SettingsUserDefaults.h"
#include "StopSignals.h"
#include "Translations.h"
#include "VideoFrameScaler.h"
#include "VideoGenerator.h"
#include "ViewController.h"

namespace {

const QString WINDOW_GEOMETRY_KEY = QStringLiteral("window/geometry");
const QString LAST_FOLDER_KEY = QStringLiteral("openDialog/lastFolder");
const QString RECENT_VIDEOS_KEY = QStringLiteral("openDialog/recentVideos");

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

struct DesktopArguments {
    QString library;
    QStringList videos;
};

// The editor's command line, or nothing when it cannot start (the user was told why).
std::optional<DesktopArguments> parseDesktopArguments(int argc, char** argv)
{
    const QStringList arguments = argumentsFromBytes(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("library"), QStringLiteral("The folder clips are saved to."), QStringLiteral("DIR")});
    parser.addPositionalArgument(QStringLiteral("VIDEO"), QStringLiteral("A video to open."));
    const bool parsed = parser.parse(arguments);
    QString problem = parser.errorText();
    if (parsed && parser.positionalArguments().size() > 1)
        problem = translateBeforeStart("DesktopApp", QT_TRANSLATE_NOOP("DesktopApp", "open one video at a time."));
    else if (parsed && parser.isSet(QStringLiteral("library")) && parser.value(QStringLiteral("library")).isEmpty())
        problem = translateBeforeStart("DesktopApp", QT_TRANSLATE_NOOP("DesktopApp", "--library: '' is not a folder."));
    if (!parsed || !problem.isEmpty()) {
        std::fprintf(stderr, "trimora: %s\n%s\n", qPrintable(problem),
                     qPrintable(translateBeforeStart("DesktopApp", QT_TRANSLATE_NOOP("DesktopApp", "Try 'trimora --help'."))));
        return std::nullopt;
    }
    if (!hasDisplay()) {
        std::fputs(qPrintable(translateBeforeStart(
                       "DesktopApp", QT_TRANSLATE_NOOP("DesktopApp",
                                                       "trimora: there is no display to show the editor on.\n"
                                                       "Run it in your desktop session, or on a machine without a "
                                                       "screen with\n"
                                                       "    xvfb-run trimora [VIDEO]\n"
                                                       "The command line needs no display: trimora split VIDEO "
                                                       "--parts N\n"))),
                   stderr);
        return std::nullopt;
    }
    return DesktopArguments{parser.isSet(QStringLiteral("library"))
                                ? absoluteFileName(parser.value(QStringLiteral("library")))
                                : FolderVideoLibrary::defaultFolder(),
                            parser.positionalArguments()};
}

void nameApplication()
{
    QApplication::setOrganizationName(QStringLiteral("Trimora"));
    QApplication::setApplicationName(QStringLiteral("Trimora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Trimora"));
    QApplication::setApplicationVersion(QStringLiteral(TRIMORA_VERSION));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(APPLICATION_ID));
    // The window's own icon, for window managers and task bars that do not look it up
    // by the desktop file: the installed theme's, else the one built in.
    QIcon builtIn;
    for (const int size : {16, 32, 48, 256})
        builtIn.addFile(QStringLiteral(":/icons/%1x%1/%2.png").arg(size).arg(QLatin1String(APPLICATION_ID)));
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(APPLICATION_ID), builtIn));
}

// A logout's SIGTERM does not wait for saving, as closing the window does: every export
// stops at once and its working files go, and the clips already saved stay. The process
// is ending, so every export's cuts are cancelled at once, whoever started them.
void stopOnSignals(StopSignals& stopSignals, FolderVideoLibrary& library, bool& stopped)
{
    QObject::connect(&stopSignals, &StopSignals::stopRequested, qApp, [&library, &stopped](int signalNumber) {
        stopped = true;
        library.stop();
        VideoGenerator::current().cancelAll();
        QCoreApplication::exit(StopSignals::exitStatus(signalNumber));
    });
}

} // namespace

int runDesktopApp(int& argc, char** argv)
{
    const std::optional<DesktopArguments> arguments = parseDesktopArguments(argc, argv);
    if (!arguments)
        return 2;
    QtMediaPlayer::chooseBackend();
    QApplication app(argc, argv);
    // Qt Multimedia's FFmpeg backend reports its codec listing and hardware probes as
    // plain debug lines: quiet unless QT_LOGGING_RULES asks for them.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\nqt.multimedia.*.debug=false"));
    nameApplication();
    installTranslations(app);

    const QString& libraryFolder = arguments->library;
    FolderVideoLibrary library(libraryFolder);
    // What a killed export of ours left in the library goes at the next start.
    library.removeLeftovers();

    ScreenStack window;
    window.setWindowTitle(QStringLiteral("Trimora"));
    // No minimum size of its own: its screens' forms hold what they need, which fits a
    // screen of 720 x 480 with room for the window's frame.
    // Where the user left it last time; at first 1280 x 800, or all of a screen without
    // room for that and the window's frame (a 1280 x 800 one, say): maximised, so that
    // the window manager fits the frame in too.
    bool fillScreen = false;
    if (!window.restoreGeometry(QSettings().value(WINDOW_GEOMETRY_KEY).toByteArray())) {
        const QSize screen = window.screen()->availableGeometry().size();
        const QSize preferred(1280, 800);
        constexpr int FRAME_ROOM = 64; // a title bar and borders, with room to spare
        window.resize(preferred.boundedTo(screen));
        fillScreen = screen.width() < preferred.width() + FRAME_ROOM || screen.height() < preferred.height() + FRAME_ROOM;
    }

    ReviewsHelper::provideSharedServices(std::make_unique<SettingsUserDefaults>(),
                                         std::make_unique<DesktopStoreReview>(&window));
    AppDelegate delegate;
    delegate.window = &window;
    delegate.observe(app);
    delegate.applicationDidFinishLaunching({});

    EditorServices editorServices;
    editorServices.openAsset = &FfmpegVideoAsset::open;
    editorServices.makePlayer = [] { return std::make_unique<QtMediaPlayer>(); };
    editorServices.generator = &VideoGenerator::current();
    editorServices.library = &library;
    editorServices.countReviewAction = [] { ReviewsHelper::shared().addActions(1); };
    editorServices.showInFolder = &showInFileManager;
    editorServices.makeFrameScaler = [] { return std::make_unique<VideoFrameScaler>(); };
    auto settings = std::make_shared<SettingsUserDefaults>();
    editorServices.cutAtKeyframesOnly = [settings] {
        return settings->boolForKey(QString::fromLatin1(CUT_AT_KEYFRAMES_ONLY_KEY));
    };
    editorServices.setCutAtKeyframesOnly = [settings](bool on) {
        settings->setBool(on, QString::fromLatin1(CUT_AT_KEYFRAMES_ONLY_KEY));
    };

    QuitGuard guard(&window);
    QObject::connect(&guard, &QuitGuard::quitWhenIdle, &app, &QApplication::quit);
    StopSignals stopSignals;
    bool stopped = false;
    stopOnSignals(stopSignals, library, stopped);

    HomeServices homeServices;
    homeServices.screens = &window;
    homeServices.instantiateViewController = [editorServices, &guard](const QString& identifier) {
        QWidget* made = instantiateViewController(identifier, editorServices);
        if (auto* editor = qobject_cast<CutterViewController*>(made))
            guard.track(editor);
        return made;
    };
    homeServices.openAsset = &FfmpegVideoAsset::open;
    homeServices.videosFolder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    homeServices.lastFolder = [] { return QSettings().value(LAST_FOLDER_KEY).toString(); };
    homeServices.rememberFolder = [](const QString& folder) { QSettings().setValue(LAST_FOLDER_KEY, folder); };
    homeServices.recentVideos = [] { return QSettings().value(RECENT_VIDEOS_KEY).toStringList(); };
    homeServices.rememberRecentVideos = [](const QStringList& paths) { QSettings().setValue(RECENT_VIDEOS_KEY, paths); };
    homeServices.settings = settings.get();
    homeServices.canSendMail = &MailComposer::canSendMail;
    homeServices.composeMail = &MailComposer::compose;

    auto* home = new ViewController(homeServices);
    home->setObjectName(QStringLiteral("ViewController"));
    // Another process holding the library's lock holds up saving: said where the
    // progress is.
    QPointer<ViewController> homeScreen(home);
    library.setWaitNotice([homeScreen](const QString& notice) {
        postToMainThread([homeScreen, notice] {
            if (CutterViewController* editor = homeScreen ? homeScreen->presentedEditor() : nullptr)
                editor->showLibraryNotice(notice);
        });
    });
    window.addWidget(home);
    // Closing the window asks before unsaved splits are lost, then waits for saving.
    window.mayClose = [&window, &guard, home] {
        CutterViewController* editor = home->presentedEditor();
        if (editor && editor->hasUnsavedSplits()) {
            editor->askToDiscard([&window] { window.close(); });
            return false;
        }
        if (!guard.mayClose())
            return false;
        QSettings().setValue(WINDOW_GEOMETRY_KEY, window.saveGeometry());
        return true;
    };
    if (fillScreen)
        window.showMaximized();
    else
        window.show();

    if (!arguments->videos.isEmpty())
        postToMainThread([home, path = arguments->videos.first()] { home->openVideo(path); });

    const int status = app.exec();
    // Anything still under way (the window is gone only when no export runs, or after a
    // stop signal) ends before the library and the generator do. After a stop, the cuts
    // have a moment to let their working files go, and those still held are removed;
    // a cut still flushing its abandoned file to a slow disk must not hold the exit.
    if (stopped) {
        const bool over = VideoGenerator::current().waitForCuts(std::chrono::seconds(2));
        library.removeWorkingFiles();
        if (!over)
            std::_Exit(status);
    }
    VideoGenerator::current().waitForCuts();
    return status;
}
