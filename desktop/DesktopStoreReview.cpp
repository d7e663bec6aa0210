#include "DesktopStoreReview.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "AppIdentity.h"
#include "DesktopLog.h"

DesktopStoreReview::DesktopStoreReview(QWidget* parentWindow)
    : window(parentWindow)
{
}

void DesktopStoreReview::requestReview()
{
    // Asked for right after "Finished" is shown: a prompt over an open alert would be
    // blocked by it (and hide it). It waits until the alert is closed.
    if (QWidget* alert = QApplication::activeModalWidget()) {
        QObject::connect(alert, &QObject::destroyed, QCoreApplication::instance(), [this] { requestReview(); },
                         Qt::QueuedConnection);
        return;
    }
    QWidget* parent = window ? window.data() : QApplication::activeWindow();
    auto* prompt = new QMessageBox(QMessageBox::NoIcon,
                                   QCoreApplication::translate("DesktopStoreReview", "Enjoying Trimora?"),
                                   QCoreApplication::translate("DesktopStoreReview",
                                                               "If Trimora saves you time, a rating in your "
                                                               "software centre helps others find it."),
                                   QMessageBox::NoButton, parent);
    prompt->setObjectName(QStringLiteral("reviewPrompt"));
    prompt->setAttribute(Qt::WA_DeleteOnClose);
    prompt->setWindowModality(Qt::NonModal);
    QPushButton* rate = prompt->addButton(QCoreApplication::translate("DesktopStoreReview", "Rate Trimora"),
                                              QMessageBox::AcceptRole);
    prompt->addButton(QCoreApplication::translate("DesktopStoreReview", "Not Now"), QMessageBox::RejectRole);
    QObject::connect(rate, &QPushButton::clicked, [] {
        const QUrl page(QStringLiteral("appstream://") + QLatin1String(APPLICATION_ID));
        if (!QDesktopServices::openUrl(page))
            qCInfo(lcDesktop) << "no software centre took" << page;
    });
    prompt->show();
}
