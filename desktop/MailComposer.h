#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Writing an e-mail through the desktop's mail program.
namespace MailComposer {

// Whether the desktop has a program for mailto: links.
bool canSendMail();

// The mailto: link for the recipients and subject, with no body.
QUrl mailtoUrl(const QStringList& recipients, const QString& subject);

// Opens the desktop's mail program on a new message; false if it could not.
bool compose(const QStringList& recipients, const QString& subject);

} // namespace MailComposer
