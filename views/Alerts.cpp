#include "Alerts.h"

#include <QMessageBox>
#include <QPushButton>

QMessageBox* showAlert(QWidget* screen, const QString& title, const QString& message)
{
    auto* alert = new QMessageBox(QMessageBox::NoIcon, title, message, QMessageBox::NoButton, screen);
    alert->setObjectName(QStringLiteral("alert"));
    alert->addButton(QStringLiteral("Ok"), QMessageBox::RejectRole);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->open();
    return alert;
}

QMessageBox* showErrorAlert(QWidget* screen, const QString& message)
{
    return showAlert(screen, QStringLiteral("Error"), message);
}
