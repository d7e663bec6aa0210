#pragma once

#include <QString>

class QMessageBox;
class QWidget;

// An alert with a title, a message and one "Ok" button that only closes it. It
// belongs to the given screen's window and blocks nothing while it is open.
QMessageBox* showAlert(QWidget* screen, const QString& title, const QString& message);

// The alert for a failure: titled "Error", with the failure's description.
QMessageBox* showErrorAlert(QWidget* screen, const QString& message);
