#pragma once

#include <functional>
#include <memory>

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "Outcome.h"

class CutterViewController;
class QFileDialog;
class QMenu;
class ScreenStack;
class UserDefaults;
class VideoAsset;
namespace Ui {
class ViewController;
}

// What the home screen needs from outside.
struct HomeServices {
    ScreenStack* screens = nullptr;
    // Makes the screen of a scene, here "cutterController" (the editor).
    std::function<QWidget*(const QString& identifier)> instantiateViewController;
    // Opens a file for the editor; the message says why it cannot be edited. The
    // opened video is handed to the editor.
    std::function<Outcome<std::shared_ptr<VideoAsset>>(const QString& path)> openAsset;
    // Where the file dialog starts the first time: the user's videos folder.
    QString videosFolder;
    // The folder a video was last opened from, kept across runs (empty when none),
    // and the setter the home screen calls after each pick.
    std::function<QString()> lastFolder;
    std::function<void(const QString& folder)> rememberFolder;
    // The videos last opened in the editor, the latest first, kept across runs (empty
    // when none), and the setter the home screen calls after each opening.
    std::function<QStringList()> recentVideos;
    std::function<void(const QStringList& paths)> rememberRecentVideos;
    // Where the settings sheet keeps its choices; without it the sheet only cancels.
    UserDefaults* settings = nullptr;
    std::function<bool()> canSendMail;
    std::function<bool(const QStringList& recipients, const QString& subject)> composeMail;
};

// The first screen: open a video (button, file dialog, a file dropped on the window,
// or one of the videos opened last), write to support, and a small settings sheet.
class ViewController final : public QWidget {
    Q_OBJECT

public:
    explicit ViewController(HomeServices services, QWidget* parent = nullptr);
    ~ViewController() override;

    // Opens the editor on the video, or shows an "Error" alert saying why it cannot.
    // An editor already open is closed first, once the user agrees to lose its
    // unsaved splits.
    void openVideo(const QString& path);

    // The editor presented now, if any.
    CutterViewController* presentedEditor() const;

    static QStringList videoNameFilters();
    // How many of the videos opened last are kept, and listed (those still there).
    static constexpr int RECENT_VIDEOS = 8;

public slots:
    void touchPickVideo();
    void touchSupport();
    void touchSettings();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void viewDidLoad();
    void roundPickButton();
    void showRecentVideos();
    void rememberOpened(const QString& path);
    void dismissEditor(CutterViewController* cutter);

    std::unique_ptr<Ui::ViewController> ui;
    HomeServices services;
    QPointer<CutterViewController> editor;
    QPointer<QFileDialog> picker;
    QPointer<QMenu> sheet;
    bool loaded = false;
};
