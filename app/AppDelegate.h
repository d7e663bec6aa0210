#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>

// The application's delegate: its one piece of work is at launch, where it prepares
// the review prompt (clears the per-launch flag, registers the defaults). Every other
// moment of the application's life changes nothing.
class AppDelegate final : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(QObject* parent = nullptr);

    // The application's window, set by whoever builds it.
    QPointer<QWidget> window;

    // Runs once per start, on the main thread, before the home screen is used. The
    // options are not read. Always succeeds.
    bool applicationDidFinishLaunching(const QVariantMap& launchOptions);

    void applicationWillResignActive() {}
    void applicationDidEnterBackground() {}
    void applicationWillEnterForeground() {}
    void applicationDidBecomeActive() {}
    void applicationWillTerminate() {}

    // Routes the desktop's application states to the handlers above.
    void observe(class QGuiApplication& application);
};
