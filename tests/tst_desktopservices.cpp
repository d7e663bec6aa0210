#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "AppIdentity.h"
#include "DesktopStoreReview.h"
#include "MailComposer.h"

// Catches the links the desktop would be asked to open.
class LinkCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestDesktopServices : public QObject {
    Q_OBJECT

private slots:
    void reviewPromptWaitsThenOffersTheSoftwareCentre()
    {
        LinkCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("appstream"), &catcher, "open");
        QWidget window;
        window.show();
        auto* alert = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Finished"), QStringLiteral("done"),
                                      QMessageBox::Ok, &window);
        alert->setAttribute(Qt::WA_DeleteOnClose);
        alert->setWindowModality(Qt::WindowModal);
        alert->open();
        QTRY_VERIFY(QApplication::activeModalWidget());
        DesktopStoreReview review(&window);
        QCOMPARE(review.version().minorVersion, 3); // 10.3.0: the review rule stays as it is
        review.requestReview();
        // Not over an open alert, where it could not be used; once the alert is gone, it
        // shows, blocking nothing.
        QVERIFY(!window.findChild<QMessageBox*>(QStringLiteral("reviewPrompt")));
        alert->close();
        QTRY_VERIFY(window.findChild<QMessageBox*>(QStringLiteral("reviewPrompt")));
        auto* prompt = window.findChild<QMessageBox*>(QStringLiteral("reviewPrompt"));
        QVERIFY(prompt->isVisible());
        QCOMPARE(prompt->windowModality(), Qt::NonModal);
        QCOMPARE(prompt->buttons().size(), 2);
        for (QAbstractButton* button : prompt->buttons()) {
            if (button->text() == QLatin1String("Rate Trimora"))
                button->click();
        }
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(QStringLiteral("appstream://") + QLatin1String(APPLICATION_ID))});
        QDesktopServices::unsetUrlHandler(QStringLiteral("appstream"));
    }

    void canSendMailWhenTheDesktopNamesAMailProgram()
    {
        // A stand-in for the desktop's xdg-mime: the handler it names for mailto links,
        // or a failure.
        QTemporaryDir bin;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
        for (const QByteArray& answer : {QByteArray("echo thunderbird.desktop"), QByteArray("echo"), QByteArray("exit 4")}) {
            QFile tool(bin.filePath(QStringLiteral("xdg-mime")));
            QVERIFY(tool.open(QIODevice::WriteOnly | QIODevice::Truncate));
            tool.write("#!/bin/sh\n[ \"$3\" = x-scheme-handler/mailto ] || exit 9\n" + answer + "\n");
            tool.close();
            tool.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QCOMPARE(MailComposer::canSendMail(), answer.contains("thunderbird"));
        }
        qputenv("PATH", path);
    }

    void composeOpensTheMailProgram()
    {
        LinkCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "open");
        QVERIFY(MailComposer::compose({QLatin1String(SUPPORT_EMAIL)}, QStringLiteral("General - Trimora Support")));
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(QStringLiteral("mailto:") + QLatin1String(SUPPORT_EMAIL)
                                                  + QStringLiteral("?subject=General%20-%20Trimora%20Support"))});
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    }
};

QTEST_MAIN(TestDesktopServices)
#include "tst_desktopservices.moc"
