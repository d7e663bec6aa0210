#include <memory>

#include <QTemporaryDir>
#include <QTest>

#include "FakeStoreReview.h"
#include "ReviewsHelper.h"
#include "SettingsUserDefaults.h"

class TestReviewsHelper : public QObject {
    Q_OBJECT

private slots:
    void cycle_data();
    void cycle();
    void versionRule_data();
    void versionRule();
    void registeringKeepsStoredValues();
    void sharedUsesTheProvidedServices();
};

void TestReviewsHelper::cycle_data()
{
    // A script of launches (L) and counted actions (A), run against a settings file
    // that outlives every launch, as the real one does.
    QTest::addColumn<QString>("script");
    QTest::addColumn<ServiceVersion>("version");
    QTest::addColumn<QList<int>>("counts"); // the stored count after each action
    QTest::addColumn<int>("requests");
    QTest::addColumn<bool>("flag"); // after the script

    const ServiceVersion current{10, 3, 0};
    QTest::newRow("first launch: request at the third action")
        << "L A A A" << current << QList<int>{1, 2, 0} << 1 << true;
    QTest::newRow("further actions in the same launch make no request")
        << "L A A A A A A" << current << QList<int>{1, 2, 0, 1, 2, 3} << 1 << true;
    QTest::newRow("carried-over count of 3 requests at the first action after relaunch")
        << "L A A A A A A L A" << current << QList<int>{1, 2, 0, 1, 2, 3, 0} << 2 << true;
    QTest::newRow("carried-over count of 1 needs two more")
        << "L A A A A L A A" << current << QList<int>{1, 2, 0, 1, 2, 0} << 2 << true;
    QTest::newRow("launch never resets the count")
        << "L A A L L A" << current << QList<int>{1, 2, 0} << 1 << true;
    QTest::newRow("before the third action nothing is flagged")
        << "L A A" << current << QList<int>{1, 2} << 0 << false;
    QTest::newRow("10.2.9: no request, but the cycle runs on")
        << "L A A A A" << ServiceVersion{10, 2, 9} << QList<int>{1, 2, 0, 1} << 0 << true;
    QTest::newRow("10.3.0 exactly requests")
        << "L A A A" << ServiceVersion{10, 3, 0} << QList<int>{1, 2, 0} << 1 << true;
    QTest::newRow("11.0 requests") << "L A A A" << ServiceVersion{11, 0, 0} << QList<int>{1, 2, 0} << 1 << true;
    QTest::newRow("9.3 does not") << "L A A A" << ServiceVersion{9, 3, 0} << QList<int>{1, 2, 0} << 0 << true;
}

void TestReviewsHelper::cycle()
{
    QFETCH(QString, script);
    QFETCH(ServiceVersion, version);
    QFETCH(QList<int>, counts);
    QFETCH(int, requests);
    QFETCH(bool, flag);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("Trimora.conf"));
    FakeStoreReview review(version);
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
    QCOMPARE(store->boolForKey(ReviewsHelper::ALREADY_SHOWED_REVIEW_REQUEST), flag);
}

void TestReviewsHelper::versionRule_data()
{
    QTest::addColumn<ServiceVersion>("version");
    QTest::addColumn<bool>("allowed");

    QTest::newRow("10.3.0") << ServiceVersion{10, 3, 0} << true;
    QTest::newRow("10.3.7") << ServiceVersion{10, 3, 7} << true;
    QTest::newRow("10.2.9") << ServiceVersion{10, 2, 9} << false;
    QTest::newRow("10.4.0") << ServiceVersion{10, 4, 0} << true;
    QTest::newRow("10.0.0") << ServiceVersion{10, 0, 0} << false;
    QTest::newRow("9.3.0") << ServiceVersion{9, 3, 0} << false;
    QTest::newRow("9.9.9") << ServiceVersion{9, 9, 9} << false;
    QTest::newRow("11.0.0") << ServiceVersion{11, 0, 0} << true;
    QTest::newRow("11.2.0, minor below 3") << ServiceVersion{11, 2, 0} << true;
}

void TestReviewsHelper::versionRule()
{
    QFETCH(ServiceVersion, version);
    QFETCH(bool, allowed);
    QCOMPARE(ReviewsHelper::versionAllowsReview(version), allowed);
}

void TestReviewsHelper::registeringKeepsStoredValues()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Trimora.conf"));
    {
        SettingsUserDefaults store(file);
        store.setInteger(5, ReviewsHelper::NUMBER_OF_ACTIONS);
    }
    SettingsUserDefaults store(file);
    FakeStoreReview review;
    ReviewsHelper helper(store, review);
    helper.registerDefaultValues();
    QCOMPARE(store.integerForKey(ReviewsHelper::NUMBER_OF_ACTIONS), 5);
    QCOMPARE(store.boolForKey(ReviewsHelper::ALREADY_SHOWED_REVIEW_REQUEST), false);
    // The flag is absent, so the first action over the threshold asks at once.
    helper.addActions(1);
    QCOMPARE(review.requests, 1);
    QCOMPARE(store.integerForKey(ReviewsHelper::NUMBER_OF_ACTIONS), 0);
}

void TestReviewsHelper::sharedUsesTheProvidedServices()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Trimora.conf"));
    auto review = std::make_unique<FakeStoreReview>();
    FakeStoreReview* reviewSeen = review.get();

    QVERIFY(!ReviewsHelper::provideSharedServices(nullptr, std::make_unique<FakeStoreReview>()));
    QVERIFY(ReviewsHelper::provideSharedServices(std::make_unique<SettingsUserDefaults>(file), std::move(review)));

    ReviewsHelper& shared = ReviewsHelper::shared();
    QCOMPARE(&ReviewsHelper::shared(), &shared);
    shared.resetReviewRequestFlag();
    shared.registerDefaultValues();
    shared.addActions(1);
    shared.addActions(1);
    shared.addActions(1);
    QCOMPARE(reviewSeen->requests, 1);
    // The count went to the file given, not to the user's own settings.
    QCOMPARE(SettingsUserDefaults(file).boolForKey(ReviewsHelper::ALREADY_SHOWED_REVIEW_REQUEST), true);

    // Once made, the shared helper keeps its services.
    QVERIFY(!ReviewsHelper::provideSharedServices(std::make_unique<SettingsUserDefaults>(file),
                                                  std::make_unique<FakeStoreReview>()));
}

QTEST_APPLESS_MAIN(TestReviewsHelper)
#include "tst_reviewshelper.moc"
