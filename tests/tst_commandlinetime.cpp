#include <QTest>

#include "CommandLineTime.h"

class TestCommandLineTime : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("percent");

        QTest::newRow("fractional seconds") << "75.5" << 75.5 << false;
        QTest::newRow("mm:ss.fff") << "01:15.250" << 75.25 << false;
        QTest::newRow("h:mm:ss") << "1:02:05" << 3725.0 << false;
        QTest::newRow("long leading minutes") << "90:00" << 5400.0 << false;
        QTest::newRow("surrounding spaces") << " 12 " << 12.0 << false;
        QTest::newRow("fractional percent") << "12.5%" << 12.5 << true;
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(bool, percent);

        QString error;
        const std::optional<CommandLineTime> time = parseCommandLineTime(text, &error);
        QVERIFY2(time.has_value(), qPrintable(error));
        QCOMPARE(time->value, value);
        QCOMPARE(time->percent, percent);
    }

    void refusesWhatIsNotATime()
    {
        for (const char* text : {"", "-5", "+5", "1e3", "nan", "inf", "1:60", "1:60:00", "1:2:3:4", "1.5:30", "1::30", "5.",
                                 ".5", "101%", "1:00%", "1234567890123456789", "\u0661\u0662"}) {
            QString error;
            QVERIFY2(!parseCommandLineTime(QString::fromUtf8(text), &error), text);
            // The message names what was given.
            QVERIFY2(error.contains(QLatin1Char('\'') + QString::fromUtf8(text) + QLatin1Char('\'')), qPrintable(error));
        }
    }

    void percentOfDuration()
    {
        QCOMPARE(parseCommandLineTime(u"25%", nullptr)->seconds(200.0), 50.0);
        QCOMPARE(parseCommandLineTime(u"1:00", nullptr)->seconds(200.0), 60.0);
    }

    void escape_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");

        QTest::newRow("spaces and letters stay") << QString::fromUtf8("/v/Été à Kyōto/clip 1.mp4")
                                                 << QString::fromUtf8("/v/Été à Kyōto/clip 1.mp4");
        QTest::newRow("newline") << "a\nb.mp4" << "a\\nb.mp4";
        QTest::newRow("escape sequence") << "\x1b[31mred" << "\\x1b[31mred";
        QTest::newRow("delete") << "a\x7f" << "a\\x7f";
        QTest::newRow("backslash is doubled") << "a\\n" << "a\\\\n";
        QTest::newRow("C1 control") << QString(QChar(0x9b)) + "x" << "\\x9bx";
    }

    void escape()
    {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(escapeControlCharacters(text), escaped);
    }
};

QTEST_APPLESS_MAIN(TestCommandLineTime)
#include "tst_commandlinetime.moc"
