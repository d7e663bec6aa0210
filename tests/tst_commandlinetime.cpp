#include <QTest>

#include "CommandLineTime.h"

class TestCommandLineTime : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("percent");

        QTest::newRow("fractional seconds") << "75.5" << true << 75.5 << false;
        QTest::newRow("mm:ss.fff") << "01:15.250" << true << 75.25 << false;
        QTest::newRow("h:mm:ss") << "1:02:05" << true << 3725.0 << false;
        QTest::newRow("long leading minutes") << "90:00" << true << 5400.0 << false;
        QTest::newRow("surrounding spaces") << " 12 " << true << 12.0 << false;
        QTest::newRow("fractional percent") << "12.5%" << true << 12.5 << true;

        QTest::newRow("empty") << "" << false << 0.0 << false;
        QTest::newRow("negative") << "-5" << false << 0.0 << false;
        QTest::newRow("plus sign") << "+5" << false << 0.0 << false;
        QTest::newRow("exponent") << "1e3" << false << 0.0 << false;
        QTest::newRow("nan") << "nan" << false << 0.0 << false;
        QTest::newRow("inf") << "inf" << false << 0.0 << false;
        QTest::newRow("seconds of 60 after a colon") << "1:60" << false << 0.0 << false;
        QTest::newRow("minutes of 60 after a colon") << "1:60:00" << false << 0.0 << false;
        QTest::newRow("four fields") << "1:2:3:4" << false << 0.0 << false;
        QTest::newRow("fraction before a colon") << "1.5:30" << false << 0.0 << false;
        QTest::newRow("empty field") << "1::30" << false << 0.0 << false;
        QTest::newRow("trailing point") << "5." << false << 0.0 << false;
        QTest::newRow("leading point") << ".5" << false << 0.0 << false;
        QTest::newRow("over a hundred percent") << "101%" << false << 0.0 << false;
        QTest::newRow("percent of a clock time") << "1:00%" << false << 0.0 << false;
        QTest::newRow("absurdly many digits") << "1234567890123456789" << false << 0.0 << false;
        QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662") << false << 0.0 << false;
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, value);
        QFETCH(bool, percent);

        QString error;
        const std::optional<CommandLineTime> time = parseCommandLineTime(text, &error);
        QCOMPARE(time.has_value(), valid);
        if (valid) {
            QCOMPARE(time->value, value);
            QCOMPARE(time->percent, percent);
            QVERIFY(error.isEmpty());
        } else {
            // The message names what was given.
            QVERIFY2(error.contains(QLatin1Char('\'') + text + QLatin1Char('\'')), qPrintable(error));
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
