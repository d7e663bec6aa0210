#include "Alerts.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include "FileNames.h"

namespace {

QMessageBox* makeBox(QWidget* screen, const QString& title, const QString& message)
{
    // A file name in the message may hold bytes that are not UTF-8: shown as "\xFF".
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, shownFileName(message), QMessageBox::NoButton, screen);
    box->setObjectName(QStringLiteral("alert"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    // Wide enough that a window manager does not cut the title short. Set on the
    // buttons' row, not on the text: a minimum width given to the text stands in for
    // the width its words need, and the box, which sizes itself from the text's
    // minimum, then cut the text at that width instead of wrapping it.
    box->setStyleSheet(QStringLiteral("QDialogButtonBox#qt_msgbox_buttonbox { min-width: 300px; }"));
    return box;
}

} // namespace

QMessageBox* showAlert(QWidget* screen, const QString& title, const QString& message)
{
    QMessageBox* alert = makeBox(screen, title, message);
    QPushButton* ok = alert->addButton(QCoreApplication::translate("Alerts", "Ok"), QMessageBox::RejectRole);
    // Return and Esc both close it.
    alert->setDefaultButton(ok);
    alert->setEscapeButton(ok);
    alert->open();
    return alert;
}

QMessageBox* showErrorAlert(QWidget* screen, const QString& message)
{
    return showAlert(screen, QCoreApplication::translate("Alerts", "Error"), message);
}

QMessageBox* askToConfirm(QWidget* screen, const QString& title, const QString& question,
                          const QString& informative, const QString& action, std::function<void()> confirmed)
{
    QMessageBox* box = makeBox(screen, title, question);
    box->setObjectName(QStringLiteral("question"));
    box->setInformativeText(informative);
    QPushButton* act = box->addButton(action, QMessageBox::DestructiveRole);
    QPushButton* cancel = box->addButton(QCoreApplication::translate("Alerts", "Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    QObject::connect(box, &QMessageBox::buttonClicked, box, [act, confirmed = std::move(confirmed)](QAbstractButton* clicked) {
        if (clicked == act && confirmed)
            confirmed();
    });
    box->open();
    return box;
}
