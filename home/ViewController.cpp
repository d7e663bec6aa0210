#include "ViewController.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QMimeDatabase>
#include <QScopeGuard>
#include <QShortcut>

#include "Alerts.h"
#include "AppIdentity.h"
#include "CutterViewController.h"
#include "ExportPlan.h"
#include "FileNames.h"
#include "ScreenStack.h"
#include "UserDefaults.h"
#include "ui_ViewController.h"

namespace {

// The widest a video's name is shown in the menu of those opened last, in pixels.
constexpr int RECENT_NAME_WIDTH = 420;

} // namespace

ViewController::ViewController(HomeServices homeServices, QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ViewController>())
    , services(std::move(homeServices))
{
    ui->setupUi(this);
    // The form's style sheet paints this screen's background.
    setAttribute(Qt::WA_StyledBackground);
    setAcceptDrops(true);
    auto* open = new QShortcut(QKeySequence::Open, this);
    open->setContext(Qt::WidgetWithChildrenShortcut);
    connect(open, &QShortcut::activated, this, &ViewController::touchPickVideo);
}

ViewController::~ViewController() = default;

void ViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!loaded)
        viewDidLoad();
    showRecentVideos();
}

void ViewController::viewDidLoad()
{
    loaded = true;
    roundPickButton();
}

void ViewController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (loaded)
        roundPickButton();
}

void ViewController::roundPickButton()
{
    // Half its width: a square button becomes a circle.
    const int radius = int(ui->pickVideoButton->width() * 0.5);
    ui->pickVideoButton->setProperty("cornerRadius", radius);
    ui->pickVideoButton->setStyleSheet(QStringLiteral("border-radius: %1px;").arg(radius));
}

CutterViewController* ViewController::presentedEditor() const
{
    return editor.data();
}

QStringList ViewController::videoNameFilters()
{
    // Every file name pattern the desktop knows for a video type.
    QStringList patterns;
    for (const QMimeType& type : QMimeDatabase().allMimeTypes()) {
        if (type.name().startsWith(QLatin1String("video/")))
            patterns << type.globPatterns();
    }
    patterns.removeDuplicates();
    patterns.sort();
    return {tr("Videos (%1)").arg(patterns.join(QLatin1Char(' ')))};
}

void ViewController::touchPickVideo()
{
    if (picker)
        return;
    QString start = services.lastFolder ? services.lastFolder() : QString();
    if (start.isEmpty() || !QFileInfo(start).isDir()) {
        start = services.videosFolder;
        QDir().mkpath(start);
    }
    // Parented to the window, not this screen, so that the screen's style stays its own.
    picker = new QFileDialog(window(), tr("Open a Video"), start);
    picker->setObjectName(QStringLiteral("videoPicker"));
    picker->setAttribute(Qt::WA_DeleteOnClose);
    picker->setFileMode(QFileDialog::ExistingFile);
    picker->setNameFilters(videoNameFilters());
    picker->setWindowModality(Qt::WindowModal);
    connect(picker, &QFileDialog::fileSelected, this, [this](const QString& path) {
        if (services.rememberFolder)
            services.rememberFolder(QFileInfo(path).absolutePath());
        // The editor opens once the dialog is gone.
        QMetaObject::invokeMethod(this, [this, path] { openVideo(path); }, Qt::QueuedConnection);
    });
    picker->open();
}

void ViewController::openVideo(const QString& path)
{
    if (editor) {
        QPointer<CutterViewController> current = editor;
        current->askToDiscard([this, current, path] {
            if (current && editor == current)
                dismissEditor(current);
            openVideo(path);
        });
        return;
    }
    // Opening reads the file's index, which takes a moment on a big video: the pointer
    // says so until the editor is on the screen (or the alert says why not).
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    Outcome<std::shared_ptr<VideoAsset>> asset = services.openAsset(path);
    if (!asset) {
        restoreCursor.dismiss();
        QGuiApplication::restoreOverrideCursor();
        showErrorAlert(window(), asset.error());
        return;
    }
    QWidget* screen = services.instantiateViewController(QStringLiteral("cutterController"));
    auto* cutter = qobject_cast<CutterViewController*>(screen);
    if (!cutter)
        qFatal("the scene \"cutterController\" is not the editor");
    editor = cutter;
    // The path keeps a name's bytes that are not UTF-8 (see FileNames.h), and so does
    // the URL: QUrl gives the same string back.
    const QString absolute = absoluteFileName(path);
    cutter->videoURL = QUrl::fromLocalFile(absolute);
    // The video checked here is the one edited: the file is not read a second time.
    cutter->openedAsset = std::move(asset).value();
    connect(cutter, &CutterViewController::closeRequested, this, [this, cutter] { dismissEditor(cutter); });
    connect(cutter, &CutterViewController::openRequested, this, [this](const QString& another) {
        if (another.isEmpty())
            touchPickVideo();
        else
            openVideo(another);
    });
    services.screens->present(cutter);
    services.screens->setWindowTitle(shownFileName(QFileInfo(absolute).fileName()));
    rememberOpened(absolute);
}

// The videos opened last, in a menu of the top bar, each named by its file (the whole
// path in its tooltip); those no longer there are left out. None: no menu.
void ViewController::showRecentVideos()
{
    QMenu* menu = ui->recentVideosButton->menu();
    if (!menu) {
        menu = new QMenu(ui->recentVideosButton);
        menu->setObjectName(QStringLiteral("recentVideosMenu"));
        menu->setToolTipsVisible(true);
        ui->recentVideosButton->setMenu(menu);
    }
    menu->clear();
    for (const QString& path : services.recentVideos ? services.recentVideos() : QStringList()) {
        if (!QFileInfo(path).isFile() || menu->actions().size() == RECENT_VIDEOS)
            continue;
        const QString name = shownFileName(QFileInfo(path).fileName());
        // A long name is shortened in its middle, where its start and its ending stay; an
        // "&" in it is shown, not taken as the mark of a shortcut key.
        QString text = menu->fontMetrics().elidedText(name, Qt::ElideMiddle, RECENT_NAME_WIDTH);
        QAction* item = menu->addAction(text.replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setToolTip(shownFileName(QDir::toNativeSeparators(path)));
        connect(item, &QAction::triggered, this, [this, path] {
            // The editor opens once the menu is gone.
            QMetaObject::invokeMethod(this, [this, path] { openVideo(path); }, Qt::QueuedConnection);
        });
    }
    ui->recentVideosButton->setVisible(!menu->isEmpty());
}

void ViewController::rememberOpened(const QString& path)
{
    if (!services.recentVideos || !services.rememberRecentVideos)
        return;
    // A name that is not UTF-8 (see FileNames.h) cannot be kept in the settings as it
    // is; kept changed, it could name another file. It is not listed.
    if (QString::fromUtf8(path.toUtf8()) != path)
        return;
    QStringList recent = services.recentVideos();
    recent.removeAll(path);
    recent.prepend(path);
    services.rememberRecentVideos(recent.mid(0, RECENT_VIDEOS));
}

void ViewController::dismissEditor(CutterViewController* cutter)
{
    services.screens->dismiss(cutter);
    if (editor == cutter) {
        editor.clear();
        services.screens->setWindowTitle(QCoreApplication::applicationName());
    }
    // Its exports, if any, still need it; it goes when they are done.
    cutter->releaseWhenIdle();
    showRecentVideos();
}

void ViewController::touchSupport()
{
    if (!services.canSendMail || !services.canSendMail())
        return;
    // The subject stays in English: support sorts its mail by it.
    services.composeMail({QString::fromLatin1(SUPPORT_EMAIL)}, QStringLiteral("General - Trimora Support"));
}

void ViewController::touchSettings()
{
    if (sheet)
        sheet->close();
    sheet = new QMenu(tr("Settings"), this);
    sheet->setObjectName(QStringLiteral("settingsSheet"));
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->addSection(tr("Settings"));
    if (UserDefaults* settings = services.settings) {
        QAction* keyframes = sheet->addAction(tr("Cut at Keyframes Only (No Re-encoding)"));
        keyframes->setCheckable(true);
        keyframes->setChecked(settings->boolForKey(QString::fromLatin1(CUT_AT_KEYFRAMES_ONLY_KEY)));
        connect(keyframes, &QAction::toggled, this,
                [settings](bool on) { settings->setBool(on, QString::fromLatin1(CUT_AT_KEYFRAMES_ONLY_KEY)); });
    }
    sheet->addAction(tr("Cancel"));
    const QRect anchor = ui->settingsButton->rect();
    sheet->popup(ui->settingsButton->mapToGlobal(anchor.bottomLeft()));
}

void ViewController::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void ViewController::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    const QString path = fileNameFromUrl(urls.first());
    QMetaObject::invokeMethod(this, [this, path] { openVideo(path); }, Qt::QueuedConnection);
}
