#include "DesktopApp.h"

#include <cstdio>
#include <memory>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include "AppDelegate.h"
#include "AppIdentity.h"
#include "DesktopStoreReview.h"
#include "ExportPlan.h"
#include "FfmpegVideoAsset.h"
#include "FileManager.h"
#include "FolderVideoLibrary.h"
#include "MailComposer.h"
#include "CutterViewController.h"
#include "QtMediaPlayer.h"
#include "QuitGuard.h"
#include "ReviewsHelper.h"
#include "Scenes.h"
#include "ScreenStack.h"
#include "SettingsUserDefaults.h"
#include "Translations.h"
#include "VideoGenerator.h"
#include "ViewController.h"

namespace {

const QString WINDOW_GEOMETRY_KEY = QStringLiteral("window/geometry");
const QString LAST_FOLDER_KEY = QStringLiteral("openDialog/lastFolder");

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int runDesktopApp(int& argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("library"), QStringLiteral("The folder clips are saved to."), QStringLiteral("DIR")});
    parser.addPositionalArgument(QStringLiteral("VIDEO"), QStringLiteral("A video to open."));
    if (!parser.parse(arguments) || parser.positionalArguments().size() > 1) {
        const QString why = parser.errorText().isEmpty()
            ? translateBeforeStart("DesktopApp", QT_TRANSLATE_NOOP("DesktopApp", "open one video at a time."))
            : parser.errorText();
        std::fprintf(stderr, "trimora: %s\nUsage: trimora [--library DIR] [VIDEO]\n       trimora split VIDEO "
                             "(--at TIME... | --parts N | --every TIME) [--library DIR]\n       trimora --version\n",
                     qPrintable(why));
        return 2;
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
        return 2;
    }
    QtMediaPlayer::chooseBackend();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Trimora"));
    QApplication::setApplicationName(QStringLiteral("Trimora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Trimora"));
    QApplication::setApplicationVersion(QStringLiteral(TRIMORA_VERSION));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(APPLICATION_ID));
    installTranslations(app);

    const QString libraryFolder = parser.isSet(QStringLiteral("library"))
        ? QDir(parser.value(QStringLiteral("library"))).absolutePath()
        : FolderVideoLibrary::defaultFolder();
    FolderVideoLibrary library(libraryFolder);

    ScreenStack window;
    window.setWindowTitle(QStringLiteral("Trimora"));
    window.setMinimumSize(800, 600);
    // Where the user left it last time; at first 1280 x 800, or as much of a smaller
    // screen as there is.
    if (!window.restoreGeometry(QSettings().value(WINDOW_GEOMETRY_KEY).toByteArray())) {
        const QRect screen = window.screen()->availableGeometry();
        window.resize(std::max(800, std::min(1280, screen.width())), std::max(600, std::min(800, screen.height())));
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
    auto settings = std::make_shared<SettingsUserDefaults>();
    editorServices.cutAtKeyframesOnly = [settings] {
        return settings->boolForKey(QString::fromLatin1(CUT_AT_KEYFRAMES_ONLY_KEY));
    };

    QuitGuard guard(&window);
    QObject::connect(&guard, &QuitGuard::quitWhenIdle, &app, &QApplication::quit);

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
    homeServices.settings = settings.get();
    homeServices.canSendMail = &MailComposer::canSendMail;
    homeServices.composeMail = &MailComposer::compose;

    auto* home = new ViewController(homeServices);
    home->setObjectName(QStringLiteral("ViewController"));
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
    window.show();

    const QStringList videos = parser.positionalArguments();
    if (!videos.isEmpty())
        QTimer::singleShot(0, home, [home, path = videos.first()] { home->openVideo(path); });

    const int status = app.exec();
    // Anything still under way (the window is gone only when no export runs) ends
    // before the library and the generator do.
    VideoGenerator::current().waitForCuts();
    library.waitForImports();
    return status;
}
