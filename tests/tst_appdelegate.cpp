#include <QTemporaryDir>
#include <QTest>

#include "AppDelegate.h"
#include "FakeStoreReview.h"
#include "ReviewsHelper.h"
#include "SettingsUserDefaults.h"

class TestAppDelegate : public QObject {
    Q_OBJECT

private slots:
    void launchPreparesTheReviewPrompt_data();
    void launchPreparesTheReviewPrompt();

private:
    QTemporaryDir dir;
};

void TestAppDelegate::launchPreparesTheReviewPrompt_data()
{
    QTest::addColumn<bool>("stored"); // a flag of true and a count of 2 were stored before
    QTest::addColumn<QVariantMap>("options");
    QTest::addColumn<int>("count");

    QTest::newRow("stored values, no options") << true << QVariantMap{} << 2;
    QTest::newRow("stored values, some options") << true << QVariantMap{{"url", "file:///x.mp4"}} << 2;
    QTest::newRow("empty store") << false << QVariantMap{} << 0;
}

void TestAppDelegate::launchPreparesTheReviewPrompt()
{
    QFETCH(bool, stored);
    QFETCH(QVariantMap, options);
    QFETCH(int, count);

    // The shared helper is made once per process, over a store on a test file that
    // each row resets.
    const QString file = dir.filePath(QStringLiteral("Trimora.conf"));
    static bool provided = ReviewsHelper::provideSharedServices(std::make_unique<SettingsUserDefaults>(file),
                                                               std::make_unique<FakeStoreReview>());
    QVERIFY(provided);
    QFile::remove(file);
    if (stored) {
        SettingsUserDefaults before(file);
        before.setBool(true, ReviewsHelper::ALREADY_SHOWED_REVIEW_REQUEST);
        before.setInteger(2, ReviewsHelper::NUMBER_OF_ACTIONS);
    }

    AppDelegate delegate;
    QVERIFY(delegate.applicationDidFinishLaunching(options));
    SettingsUserDefaults after(file);
    QCOMPARE(after.boolForKey(ReviewsHelper::ALREADY_SHOWED_REVIEW_REQUEST), false);
    QCOMPARE(after.integerForKey(ReviewsHelper::NUMBER_OF_ACTIONS), count);
    // Going to the background and back changes nothing.
    after.setBool(true, ReviewsHelper::ALREADY_SHOWED_REVIEW_REQUEST);
    delegate.applicationDidEnterBackground();
    delegate.applicationWillEnterForeground();
    delegate.applicationDidBecomeActive();
    QCOMPARE(SettingsUserDefaults(file).boolForKey(ReviewsHelper::ALREADY_SHOWED_REVIEW_REQUEST), true);
}

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
