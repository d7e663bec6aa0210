#include "FileManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {

constexpr int CALL_TIMEOUT_MS = 5000;

void openFolder(const QString& file)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}

} // namespace

void showInFileManager(const QStringList& files)
{
    if (files.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder(files.first());
        return;
    }
    QStringList uris;
    for (const QString& file : files)
        uris << QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    // Asked without waiting: a file manager that is started for the call takes a while.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, CALL_TIMEOUT_MS));
    const QString first = files.first();
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [first](QDBusPendingCallWatcher* done) {
        if (done->isError())
            openFolder(first);
        done->deleteLater();
    });
}
