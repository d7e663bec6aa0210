#include "ViewController.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QMimeDatabase>
#include <QShortcut>

#include "Alerts.h"
#include "AppIdentity.h"
#include "CutterViewController.h"
#include "ScreenStack.h"
#include "ui_ViewController.h"

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

QFileDialog* ViewController::filePicker() const
{
    return picker.data();
}

QMenu* ViewController::settingsSheet() const
{
    return sheet.data();
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
    return {QStringLiteral("Videos (%1)").arg(patterns.join(QLatin1Char(' ')))};
}

void ViewController::touchPickVideo()
{
    if (picker)
        return;
    QDir().mkpath(services.libraryFolder);
    // Parented to the window, not this screen, so that the screen's style stays its own.
    picker = new QFileDialog(window(), QStringLiteral("Open a Video"), services.libraryFolder);
    picker->setObjectName(QStringLiteral("videoPicker"));
    picker->setAttribute(Qt::WA_DeleteOnClose);
    picker->setFileMode(QFileDialog::ExistingFile);
    picker->setNameFilters(videoNameFilters());
    picker->setWindowModality(Qt::WindowModal);
    connect(picker, &QFileDialog::fileSelected, this, [this](const QString& path) {
        // The editor opens once the dialog is gone.
        QMetaObject::invokeMethod(this, [this, path] { openVideo(path); }, Qt::QueuedConnection);
    });
    picker->open();
}

void ViewController::openVideo(const QString& path)
{
    if (editor)
        return;
    const Outcome<std::shared_ptr<VideoAsset>> asset = services.openAsset(path);
    if (!asset) {
        showErrorAlert(window(), asset.error());
        return;
    }
    QWidget* screen = services.instantiateViewController(QStringLiteral("cutterController"));
    auto* cutter = qobject_cast<CutterViewController*>(screen);
    if (!cutter)
        qFatal("the scene \"cutterController\" is not the editor");
    editor = cutter;
    cutter->videoURL = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    connect(cutter, &CutterViewController::closeRequested, this, [this, cutter] {
        services.screens->dismiss(cutter);
        if (editor == cutter)
            editor.clear();
        // Its exports, if any, still need it; it goes when they are done.
        cutter->releaseWhenIdle();
    });
    services.screens->present(cutter);
}

void ViewController::touchSupport()
{
    if (!services.canSendMail || !services.canSendMail())
        return;
    services.composeMail({QString::fromLatin1(SUPPORT_EMAIL)}, QStringLiteral("General - Trimora Support"));
}

void ViewController::touchSettings()
{
    if (sheet)
        sheet->close();
    sheet = new QMenu(QStringLiteral("Settings"), this);
    sheet->setObjectName(QStringLiteral("settingsSheet"));
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->addSection(QStringLiteral("Settings"));
    sheet->addAction(QStringLiteral("Cancel"));
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
    const QString path = urls.first().toLocalFile();
    QMetaObject::invokeMethod(this, [this, path] { openVideo(path); }, Qt::QueuedConnection);
}
