#include <QTest>

#include "ControlsRules.h"

Q_DECLARE_METATYPE(DoneFade)

class TestControlsRules : public QObject {
    Q_OBJECT

private slots:
    void afterEdit_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("gray");
        QTest::addColumn<double>("pink");
        QTest::addColumn<bool>("undoEnabled");
        QTest::addColumn<int>("doneEnabled"); // -1: left as it is
        QTest::addColumn<DoneFade>("fade");
        QTest::addColumn<QString>("title");

        QTest::newRow("first split from the opening look")
            << 1 << 1.0 << 0.0 << true << 1 << DoneFade::ToEnabled << "Done, Save 2 Videos";
        QTest::newRow("second split: title only")
            << 2 << 0.0 << 1.0 << true << -1 << DoneFade::None << "Done, Save 3 Videos";
        QTest::newRow("undo of the only split")
            << 0 << 0.0 << 1.0 << false << 0 << DoneFade::ToDisabled << "Done, Save 1 Videos";
        QTest::newRow("count 0 in the disabled look changes nothing")
            << 0 << 1.0 << 0.0 << false << -1 << DoneFade::None << "Done, Save 1 Videos";
        QTest::newRow("mid-fade alphas are not 1.0: no transition")
            << 1 << 0.6 << 0.4 << true << -1 << DoneFade::None << "Done, Save 2 Videos";
    }

    void afterEdit()
    {
        QFETCH(int, count);
        QFETCH(double, gray);
        QFETCH(double, pink);
        QFETCH(bool, undoEnabled);
        QFETCH(int, doneEnabled);
        QFETCH(DoneFade, fade);
        QFETCH(QString, title);

        const ControlsState state = controlsState(count, {gray, pink});
        QCOMPARE(state.undoEnabled, undoEnabled);
        QCOMPARE(state.doneEnabled.has_value(), doneEnabled != -1);
        if (state.doneEnabled)
            QCOMPARE(int(*state.doneEnabled), doneEnabled);
        QCOMPARE(state.fade, fade);
        QCOMPARE(state.doneTitle, title);
    }
};

QTEST_APPLESS_MAIN(TestControlsRules)
#include "tst_controlsrules.moc"
