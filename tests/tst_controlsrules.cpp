#include <QTest>

#include "ControlsRules.h"

class TestControlsRules : public QObject {
    Q_OBJECT

private slots:
    void afterEdit_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("gray"); // the alphas last set
        QTest::addColumn<double>("pink");
        // Undo enabled, done enabled (or "-" when left as it is), the fade, the title.
        QTest::addColumn<QString>("state");

        QTest::newRow("first split from the opening look") << 1 << 1.0 << 0.0 << "undo, done, to enabled, Done, Save 2 Videos";
        QTest::newRow("second split: title only") << 2 << 0.0 << 1.0 << "undo, -, none, Done, Save 3 Videos";
        QTest::newRow("undo of the only split") << 0 << 0.0 << 1.0 << "no undo, no done, to disabled, Done, Save 1 Videos";
        QTest::newRow("count 0 in the disabled look changes nothing") << 0 << 1.0 << 0.0 << "no undo, -, none, Done, Save 1 Videos";
        QTest::newRow("mid-fade alphas are not 1.0: no transition") << 1 << 0.6 << 0.4 << "undo, -, none, Done, Save 2 Videos";
    }

    void afterEdit()
    {
        QFETCH(int, count);
        QFETCH(double, gray);
        QFETCH(double, pink);
        QFETCH(QString, state);

        const ControlsState got = controlsState(count, {gray, pink});
        const QString done = !got.doneEnabled ? QStringLiteral("-") : *got.doneEnabled ? QStringLiteral("done") : QStringLiteral("no done");
        const QString fade = got.fade == DoneFade::ToEnabled ? QStringLiteral("to enabled")
            : got.fade == DoneFade::ToDisabled           ? QStringLiteral("to disabled")
                                                         : QStringLiteral("none");
        QCOMPARE(QStringList({got.undoEnabled ? QStringLiteral("undo") : QStringLiteral("no undo"), done, fade, got.doneTitle})
                     .join(QStringLiteral(", ")),
                 state);
        // A fade ends on the look it names.
        if (got.fade != DoneFade::None)
            QCOMPARE(fadeTarget(got.fade).pink, got.fade == DoneFade::ToEnabled ? 1.0 : 0.0);
    }
};

QTEST_APPLESS_MAIN(TestControlsRules)
#include "tst_controlsrules.moc"
