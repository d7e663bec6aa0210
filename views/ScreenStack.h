#pragma once

#include <functional>

#include <QStackedWidget>

// The window's screens: the home screen at the bottom, and a screen presented over
// it (the editor) until it is dismissed.
class ScreenStack final : public QStackedWidget {
    Q_OBJECT

public:
    explicit ScreenStack(QWidget* parent = nullptr);

    // Shows the screen over the current one; the stack holds it until dismissed.
    void present(QWidget* screen);
    // Takes the screen off and shows the one beneath. The screen is not deleted: its
    // owner decides when nothing needs it any more.
    void dismiss(QWidget* screen);

    // Asked when the window is about to close; false keeps it open.
    std::function<bool()> mayClose;

signals:
    void dismissed(QWidget* screen);

protected:
    void closeEvent(QCloseEvent* event) override;
};
