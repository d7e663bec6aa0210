#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "SettingsUserDefaults.h"

class TestSettingsUserDefaults : public QObject {
    Q_OBJECT

private slots:
    void persistsAcrossInstances();
    void registeredDefaults_data();
    void registeredDefaults();
    void unreadableValuesReadAsZero();
    void applicationStoreIsTheUsersConfig();

private:
    QTemporaryDir dir;
};

void TestSettingsUserDefaults::persistsAcrossInstances()
{
    const QString file = dir.filePath(QStringLiteral("persist.conf"));
    {
        SettingsUserDefaults first(file);
        first.setInteger(42, QStringLiteral("count"));
        first.setInteger(-7000000000LL, QStringLiteral("big"));
        first.setBool(true, QStringLiteral("flag"));
    }
    SettingsUserDefaults second(file);
    QCOMPARE(second.integerForKey(QStringLiteral("count")), 42);
    QCOMPARE(second.integerForKey(QStringLiteral("big")), -7000000000LL);
    QCOMPARE(second.boolForKey(QStringLiteral("flag")), true);

    // A write is on disk at once, not only when the store is destroyed.
    second.setBool(false, QStringLiteral("flag"));
    QCOMPARE(SettingsUserDefaults(file).boolForKey(QStringLiteral("flag")), false);
}

void TestSettingsUserDefaults::registeredDefaults_data()
{
    QTest::addColumn<bool>("storedFirst");
    QTest::addColumn<qlonglong>("expected");

    QTest::newRow("absent key reads the registered value") << false << 9LL;
    QTest::newRow("stored value wins over the registered one") << true << 5LL;
}

void TestSettingsUserDefaults::registeredDefaults()
{
    QFETCH(bool, storedFirst);
    QFETCH(qlonglong, expected);

    const QString file = dir.filePath(QStringLiteral("defaults-%1.conf").arg(storedFirst));
    SettingsUserDefaults store(file);
    if (storedFirst)
        store.setInteger(5, QStringLiteral("n"));
    store.registerDefaults({{QStringLiteral("n"), 9}, {QStringLiteral("b"), true}});
    QCOMPARE(store.integerForKey(QStringLiteral("n")), expected);
    QCOMPARE(store.boolForKey(QStringLiteral("b")), true);

    // Registered values are not stored: a new store without registration reads none.
    SettingsUserDefaults fresh(file);
    QCOMPARE(fresh.integerForKey(QStringLiteral("n")), storedFirst ? 5 : 0);
    QCOMPARE(fresh.boolForKey(QStringLiteral("b")), false);
}

void TestSettingsUserDefaults::unreadableValuesReadAsZero()
{
    const QString file = dir.filePath(QStringLiteral("garbage.conf"));
    {
        QSettings raw(file, QSettings::IniFormat);
        raw.setValue(QStringLiteral("n"), QStringLiteral("not a number"));
    }
    SettingsUserDefaults store(file);
    QCOMPARE(store.integerForKey(QStringLiteral("n")), 0);
    QCOMPARE(store.integerForKey(QStringLiteral("missing")), 0);
    QCOMPARE(store.boolForKey(QStringLiteral("missing")), false);
}

void TestSettingsUserDefaults::applicationStoreIsTheUsersConfig()
{
    // The application's store lives in the configuration folder, which this test's
    // environment points at a folder of its own.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QVERIFY2(config.startsWith(qEnvironmentVariable("HOME")), qPrintable(config));
    {
        SettingsUserDefaults store;
        store.setInteger(3, QStringLiteral("NUMBER_OF_ACTIONS"));
    }
    QSettings check(config + QStringLiteral("/Trimora/Trimora.conf"), QSettings::IniFormat);
    QCOMPARE(check.value(QStringLiteral("NUMBER_OF_ACTIONS")).toInt(), 3);
}

QTEST_APPLESS_MAIN(TestSettingsUserDefaults)
#include "tst_settingsuserdefaults.moc"
