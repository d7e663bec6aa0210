#pragma once

#include <functional>

#include <QString>

class QMessageBox;
class QWidget;

// An alert with a title, a message and one "Ok" button that only closes it. It
// belongs to the given screen's window and blocks nothing while it is open.
QMessageBox* showAlert(QWidget* screen, const QString& title, const QString& message);

// The alert for a failure: titled "Error", with the failure's description.
QMessageBox* showErrorAlert(QWidget* screen, const QString& message);

// A question with a button that does what it names ("Discard") and "Cancel", the
// default: Return and Esc both leave things as they are. confirmed runs on the first.
QMessageBox* askToConfirm(QWidget* screen, const QString& title, const QString& question,
                          const QString& informative, const QString& action, std::function<void()> confirmed);
