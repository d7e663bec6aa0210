#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class CutterViewController;
class QWidget;

// Keeps the application open while clips are being saved. Closing the window then
// says so and closes it when the last export has ended, rather than quitting with
// clips half way between the cutter and the library.
class QuitGuard final : public QObject {
    Q_OBJECT

public:
    explicit QuitGuard(QWidget* window);

    // An editor whose exports should hold the application open.
    void track(CutterViewController* editor);
    // Whether the window may close now. When not, the user is told, and quitWhenIdle
    // is emitted once every export has ended.
    bool mayClose();
    int runningExports() const;

signals:
    void quitWhenIdle();

private:
    void checkIdle();

    QWidget* window;
    QList<QPointer<CutterViewController>> editors;
    bool waitingToQuit = false;
};
