#include "MailComposer.h"

#include <QDesktopServices>
#include <QProcess>

namespace MailComposer {

bool canSendMail()
{
    // The desktop's own answer to "which program opens mailto: links?"; none, or no
    // way to ask, means there is no mail program to open.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                            QStringLiteral("x-scheme-handler/mailto")});
    if (!query.waitForFinished(2000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return false;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

QUrl mailtoUrl(const QStringList& recipients, const QString& subject)
{
    return QUrl(QStringLiteral("mailto:%1?subject=%2")
                    .arg(recipients.join(QLatin1Char(',')), QString::fromLatin1(QUrl::toPercentEncoding(subject))),
                QUrl::StrictMode);
}

bool compose(const QStringList& recipients, const QString& subject)
{
    return QDesktopServices::openUrl(mailtoUrl(recipients, subject));
}

} // namespace MailComposer
