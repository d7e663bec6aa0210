#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "SettingsUserDefaults.h"

class TestSettingsUserDefaults : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void persistsAcrossInstances()
    {
        const QString file = dir.filePath(QStringLiteral("persist.conf"));
        {
            SettingsUserDefaults first(file);
            first.setInteger(-7000000000LL, QStringLiteral("big"));
            first.setBool(true, QStringLiteral("flag"));
        }
        SettingsUserDefaults second(file);
        QCOMPARE(second.integerForKey(QStringLiteral("big")), -7000000000LL);
        QCOMPARE(second.boolForKey(QStringLiteral("flag")), true);
        // A write is on disk at once, not only when the store is destroyed.
        second.setBool(false, QStringLiteral("flag"));
        QCOMPARE(SettingsUserDefaults(file).boolForKey(QStringLiteral("flag")), false);
    }

    void registeredDefaultsAreNotStored()
    {
        const QString file = dir.filePath(QStringLiteral("defaults.conf"));
        {
            QSettings raw(file, QSettings::IniFormat);
            raw.setValue(QStringLiteral("stored"), 5);
            raw.setValue(QStringLiteral("garbage"), QStringLiteral("not a number"));
        }
        SettingsUserDefaults store(file);
        store.registerDefaults({{QStringLiteral("stored"), 9}, {QStringLiteral("absent"), 9}});
        QCOMPARE(store.integerForKey(QStringLiteral("stored")), 5);
        QCOMPARE(store.integerForKey(QStringLiteral("absent")), 9);
        QCOMPARE(store.integerForKey(QStringLiteral("garbage")), 0);
        QCOMPARE(SettingsUserDefaults(file).integerForKey(QStringLiteral("absent")), 0);
    }

    void applicationStoreIsTheUsersConfig()
    {
        // The configuration folder, which this test's environment makes its own.
        const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QVERIFY2(config.startsWith(qEnvironmentVariable("HOME")), qPrintable(config));
        SettingsUserDefaults().setInteger(3, QStringLiteral("NUMBER_OF_ACTIONS"));
        QCOMPARE(QSettings(config + QStringLiteral("/Trimora/Trimora.conf"), QSettings::IniFormat)
                     .value(QStringLiteral("NUMBER_OF_ACTIONS")).toInt(), 3);
    }
};

QTEST_APPLESS_MAIN(TestSettingsUserDefaults)
#include "tst_settingsuserdefaults.moc"
