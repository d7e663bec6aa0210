#include <memory>

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "AppDelegate.h"
#include "ReviewsHelper.h"
#include "SettingsUserDefaults.h"
#include "StoreReview.h"

// Counts review requests instead of showing anything; its version is set by the test.
class FakeStoreReview final : public StoreReview {
public:
    ServiceVersion version() const override { return serviceVersion; }
    void requestReview() override { ++requests; }

    ServiceVersion serviceVersion{10, 3, 0};
    int requests = 0;
};

// The review rule, and the settings store it keeps its count in.
class TestReviewsHelper : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir;

private slots:
    void cycle_data()
    {
        // A script of launches (L) and counted actions (A), run against a settings file
        // that outlives every launch, as the real one does.
        QTest::addColumn<QString>("script");
        QTest::addColumn<ServiceVersion>("version");
        QTest::addColumn<QList<int>>("counts"); // the stored count after each action
        QTest::addColumn<int>("requests");

        const ServiceVersion current{10, 3, 0};
        QTest::newRow("at the third action, once a launch; a carried-over count asks at once")
            << "L A A A A A A L A" << current << QList<int>{1, 2, 0, 1, 2, 3, 0} << 2;
        QTest::newRow("launch never resets the count")
            << "L A A L L A" << current << QList<int>{1, 2, 0} << 1;
        QTest::newRow("10.2.9: no request, but the cycle runs on")
            << "L A A A A" << ServiceVersion{10, 2, 9} << QList<int>{1, 2, 0, 1} << 0;
    }

    void cycle()
    {
        QFETCH(QString, script);
        QFETCH(ServiceVersion, version);
        QFETCH(QList<int>, counts);
        QFETCH(int, requests);

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Trimora.conf"));
        FakeStoreReview review;
        review.serviceVersion = version;
        std::unique_ptr<SettingsUserDefaults> store;
        std::unique_ptr<ReviewsHelper> helper;

        QList<int> got;
        for (const QString& step : script.split(QLatin1Char(' '))) {
            if (step == QLatin1String("L")) {
                // A new process: a fresh store on the same file, then the launch work.
                helper.reset();
                store = std::make_unique<SettingsUserDefaults>(file);
                helper = std::make_unique<ReviewsHelper>(*store, review);
                helper->resetReviewRequestFlag();
                helper->registerDefaultValues();
            } else {
                helper->addActions(1);
                got << int(store->integerForKey(ReviewsHelper::NUMBER_OF_ACTIONS));
            }
        }
        QCOMPARE(got, counts);
        QCOMPARE(review.requests, requests);
        // Flagged at the third action, whether or not the desktop could ask.
        QVERIFY(store->boolForKey(ReviewsHelper::ALREADY_SHOWED_REVIEW_REQUEST));
    }

    void versionRule_data()
    {
        QTest::addColumn<ServiceVersion>("version");
        QTest::addColumn<bool>("allowed");

        QTest::newRow("10.3.0") << ServiceVersion{10, 3, 0} << true;
        QTest::newRow("10.2.9") << ServiceVersion{10, 2, 9} << false;
        QTest::newRow("9.9.9") << ServiceVersion{9, 9, 9} << false;
        QTest::newRow("11.2.0, minor below 3") << ServiceVersion{11, 2, 0} << true;
    }

    void versionRule()
    {
        QFETCH(ServiceVersion, version);
        QFETCH(bool, allowed);
        QCOMPARE(ReviewsHelper::versionAllowsReview(version), allowed);
    }

    void launchPreparesTheSharedHelper()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Trimora.conf"));
        {
            SettingsUserDefaults before(file);
            before.setBool(true, ReviewsHelper::ALREADY_SHOWED_REVIEW_REQUEST);
            before.setInteger(1, ReviewsHelper::NUMBER_OF_ACTIONS);
        }
        auto review = std::make_unique<FakeStoreReview>();
        FakeStoreReview* reviewSeen = review.get();
        QVERIFY(ReviewsHelper::provideSharedServices(std::make_unique<SettingsUserDefaults>(file), std::move(review)));

        // A launch clears the last launch's flag and keeps the stored count.
        QVERIFY(AppDelegate().applicationDidFinishLaunching({}));
        ReviewsHelper::shared().addActions(1);
        ReviewsHelper::shared().addActions(1);
        QCOMPARE(reviewSeen->requests, 1);
        // The count went to the file given, not to the user's own settings.
        QCOMPARE(SettingsUserDefaults(file).boolForKey(ReviewsHelper::ALREADY_SHOWED_REVIEW_REQUEST), true);
    }

    void settingsKeepWhatTheyAreGiven()
    {
        const QString file = settingsDir.filePath(QStringLiteral("store.conf"));
        {
            QSettings raw(file, QSettings::IniFormat);
            raw.setValue(QStringLiteral("stored"), 5);
            raw.setValue(QStringLiteral("garbage"), QStringLiteral("not a number"));
        }
        SettingsUserDefaults store(file);
        // Registered values fill in what is absent, and are never stored; what cannot be
        // read counts as 0.
        store.registerDefaults({{QStringLiteral("stored"), 9}, {QStringLiteral("absent"), 9}});
        QCOMPARE(store.integerForKey(QStringLiteral("stored")), 5);
        QCOMPARE(store.integerForKey(QStringLiteral("absent")), 9);
        QCOMPARE(store.integerForKey(QStringLiteral("garbage")), 0);
        // A write is on disk at once, not only when the store is destroyed, whole.
        store.setInteger(-7000000000LL, QStringLiteral("big"));
        SettingsUserDefaults other(file);
        QCOMPARE(other.integerForKey(QStringLiteral("big")), -7000000000LL);
        QCOMPARE(other.integerForKey(QStringLiteral("absent")), 0);
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

QTEST_APPLESS_MAIN(TestReviewsHelper)
#include "tst_reviewshelper.moc"
