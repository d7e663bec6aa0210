#include "QuitGuard.h"

#include "Alerts.h"
#include "CutterViewController.h"

QuitGuard::QuitGuard(QWidget* mainWindow)
    : window(mainWindow)
{
}

void QuitGuard::track(CutterViewController* editor)
{
    editors.append(editor);
    connect(editor, &CutterViewController::exportsFinished, this, &QuitGuard::checkIdle);
}

int QuitGuard::runningExports() const
{
    int running = 0;
    for (const QPointer<CutterViewController>& editor : editors) {
        if (editor)
            running += editor->runningExports();
    }
    return running;
}

bool QuitGuard::mayClose()
{
    if (runningExports() == 0)
        return true;
    if (!waitingToQuit) {
        waitingToQuit = true;
        showAlert(window, tr("Still Saving"),
                  tr("Trimora is still saving your clips to your video library. "
                     "It will close as soon as they are all saved."));
    }
    return false;
}

void QuitGuard::checkIdle()
{
    editors.removeAll(nullptr);
    if (waitingToQuit && runningExports() == 0)
        emit quitWhenIdle();
}
