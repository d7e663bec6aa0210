#include "ScreenStack.h"

#include <QCloseEvent>

ScreenStack::ScreenStack(QWidget* parent)
    : QStackedWidget(parent)
{
}

void ScreenStack::present(QWidget* screen)
{
    addWidget(screen);
    setCurrentWidget(screen);
    screen->setFocus();
}

void ScreenStack::dismiss(QWidget* screen)
{
    const int index = indexOf(screen);
    if (index < 0)
        return;
    removeWidget(screen);
    screen->hide();
    if (count() > 0)
        setCurrentIndex(count() - 1);
    emit dismissed(screen);
}

void ScreenStack::closeEvent(QCloseEvent* event)
{
    if (mayClose && !mayClose()) {
        event->ignore();
        return;
    }
    QStackedWidget::closeEvent(event);
}
