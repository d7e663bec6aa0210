#include <map>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "Mp4Boxes.h"

namespace {

QByteArray be(quint64 value, int width)
{
    QByteArray bytes(width, '\0');
    for (int i = width - 1; i >= 0; --i) {
        bytes[i] = char(value & 0xff);
        value >>= 8;
    }
    return bytes;
}

quint64 readBe(const QByteArray& bytes, qsizetype at, int width)
{
    quint64 value = 0;
    for (int i = 0; i < width; ++i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

QByteArray box(const char* type, const QByteArray& payload)
{
    return be(quint64(8 + payload.size()), 4) + QByteArray(type, 4) + payload;
}

struct Edit {
    qint64 duration;
    qint64 mediaTime;
};

// A track as the muxer writes it: header, optional edit list, handler.
QByteArray track(int version, bool video, qint64 duration, const QList<Edit>& edits)
{
    const int w = version == 1 ? 8 : 4;
    QByteArray tkhd = be(quint64(version) << 24, 4) + be(0, w) + be(0, w) + be(1, 4) + be(0, 4) + be(quint64(duration), w)
        + QByteArray(60, '\0');
    QByteArray trak = box("tkhd", tkhd);
    if (!edits.isEmpty()) {
        QByteArray elst = be(quint64(version) << 24, 4) + be(quint64(edits.size()), 4);
        for (const Edit& edit : edits)
            elst += be(quint64(edit.duration), w) + be(quint64(edit.mediaTime), w) + be(0x00010000, 4);
        trak += box("edts", box("elst", elst));
    }
    const QByteArray hdlr = be(0, 4) + be(0, 4) + QByteArray(video ? "vide" : "soun", 4) + QByteArray(12, '\0');
    trak += box("mdia", box("hdlr", hdlr));
    return box("trak", trak);
}

QByteArray movie(int version, quint32 timescale, qint64 duration, const QByteArray& tracks)
{
    const int w = version == 1 ? 8 : 4;
    const QByteArray mvhd = be(quint64(version) << 24, 4) + be(0, w) + be(0, w) + be(timescale, 4)
        + be(quint64(duration), w) + QByteArray(80, '\0');
    return box("moov", box("mvhd", mvhd) + tracks);
}

// Finds the n-th box of a type anywhere in the buffer (by a plain search).
qsizetype find(const QByteArray& data, const char* type, int n = 0)
{
    qsizetype at = -1;
    for (int i = 0; i <= n; ++i)
        at = data.indexOf(QByteArray(type, 4), at + 1);
    return at < 0 ? -1 : at + 4; // payload start
}

// A duration field of the n-th box of a type: its header's (mvhd, tkhd) or an edit's (elst).
qint64 duration(const QByteArray& moov, const char* type, int version, int n = 0, int edit = 0)
{
    const int w = version == 1 ? 8 : 4;
    const std::map<QByteArray, int> offsets{{"mvhd", 4 + 2 * w + 4}, {"tkhd", 4 + 2 * w + 8}, {"elst", 8 + edit * (2 * w + 4)}};
    return qint64(readBe(moov, find(moov, type, n) + offsets.at(type), w));
}

} // namespace

class TestMp4Boxes : public QObject {
    Q_OBJECT

private slots:
    void trims_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<qint64>("videoEdit");
        QTest::addColumn<qint64>("audioEdit");
        QTest::addColumn<qint64>("emptyEdit"); // before the video's media edit; 0 for none
        QTest::addColumn<QList<qint64>>("length"); // of the clip: numerator, denominator (s)
        QTest::addColumn<QList<qint64>>("after");  // video, audio edit in the movie time scale of 12800

        // 3.36 s clip (84 frames at 25 fps) = 43008 ticks.
        QTest::newRow("muxer's edit too long is cut to the clip") << 0 << 43520LL << 43600LL << 0LL << QList<qint64>{336, 100} << QList<qint64>{43008, 43008};
        QTest::newRow("muxer's edit too short is set to the clip") << 0 << 42000LL << 42000LL << 0LL << QList<qint64>{336, 100} << QList<qint64>{43008, 42000};
        QTest::newRow("64-bit boxes") << 1 << 43520LL << 43600LL << 0LL << QList<qint64>{336, 100} << QList<qint64>{43008, 43008};
        QTest::newRow("empty edit first: the media edit gets the rest") << 0 << 40000LL << 43600LL << 1000LL << QList<qint64>{336, 100} << QList<qint64>{42008, 43008};
        QTest::newRow("rounded down, never up") << 0 << 50000LL << 50000LL << 0LL << QList<qint64>{1, 3} << QList<qint64>{4266, 4266};
        QTest::newRow("hours long in 64-bit") << 1 << 200000000000LL << 200000000000LL << 0LL << QList<qint64>{7200, 1} << QList<qint64>{92160000, 92160000};
    }

    void trims()
    {
        QFETCH(int, version);
        QFETCH(qint64, videoEdit);
        QFETCH(qint64, audioEdit);
        QFETCH(qint64, emptyEdit);
        QFETCH(QList<qint64>, length);
        QFETCH(QList<qint64>, after);
        const qint64 videoAfter = after[0];
        const qint64 audioAfter = after[1];

        QList<Edit> videoEdits;
        if (emptyEdit > 0)
            videoEdits << Edit{emptyEdit, -1};
        videoEdits << Edit{videoEdit, 1024};
        QByteArray moov = movie(version, 12800, 99999,
                                track(version, true, 99999, videoEdits) + track(version, false, 99999, {{audioEdit, 2048}}));
        const qsizetype size = moov.size();
        QString error;
        QVERIFY2(trimMovieBox(moov, {length[0], length[1]}, &error), qPrintable(error));
        QCOMPARE(moov.size(), size);

        QCOMPARE(duration(moov, "elst", version, 0, emptyEdit > 0 ? 1 : 0), videoAfter);
        QCOMPARE(duration(moov, "elst", version, 1), audioAfter);
        // Track durations are the sums of their edits; the movie's is the longest track.
        QCOMPARE(duration(moov, "tkhd", version, 0), videoAfter + emptyEdit);
        QCOMPARE(duration(moov, "tkhd", version, 1), audioAfter);
        QCOMPARE(duration(moov, "mvhd", version), std::max(videoAfter + emptyEdit, audioAfter));
    }

    void refusesMalformed_data()
    {
        QTest::addColumn<QByteArray>("moov");

        const QByteArray good = movie(0, 12800, 1000, track(0, true, 1000, {{1000, 0}}));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("size larger than the buffer") << be(quint64(good.size() + 100), 4) + good.mid(4);
        QTest::newRow("no movie header") << box("moov", track(0, true, 1000, {{1000, 0}}));
        QTest::newRow("zero time scale") << movie(0, 0, 1000, track(0, true, 1000, {{1000, 0}}));
        QByteArray lying = movie(0, 12800, 1000, track(0, true, 1000, {{1000, 0}}));
        // An edit list that claims more entries than its box holds.
        const qsizetype elst = find(lying, "elst");
        lying.replace(elst + 4, 4, be(1000000, 4));
        QTest::newRow("edit count beyond its box") << lying;
        // A track header cut short: its duration field would lie past its end, in the box
        // after it, which must not be written.
        const QByteArray shortHeader = box("tkhd", QByteArray(4, '\0'));
        const QByteArray header0 = movie(0, 12800, 1000, QByteArray()).mid(8);
        QTest::newRow("short track header before user data")
            << box("moov", header0 + box("trak", shortHeader + box("udta", QByteArray(40, '\x11'))));
        const QByteArray header = movie(0, 12800, 1000, QByteArray());
        QTest::newRow("track without header") << box("moov", header.mid(8) + box("trak", box("mdia", QByteArray())));
    }

    void refusesMalformed()
    {
        QFETCH(QByteArray, moov);
        QByteArray buffer = moov;
        QString error;
        QVERIFY(!trimMovieBox(buffer, {1, 1}, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(buffer, moov);
    }

    void trimsAFileInPlace()
    {
        QTemporaryDir dir;
        const auto write = [&dir](const char* name, const QByteArray& bytes) {
            QFile file(dir.filePath(QLatin1String(name)));
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName() : QString();
        };
        const QByteArray ftyp = box("ftyp", QByteArray("isom\0\0\2\0isomiso2", 16));
        const QByteArray moov = movie(0, 12800, 99999, track(0, true, 99999, {{43520, 1024}}));
        const QByteArray mdat = box("mdat", QByteArray(5000, 'x'));
        const QString path = write("clip.mp4", ftyp + mdat + moov);
        QString error;
        QVERIFY2(trimMovieFile(path, {336, 100}, &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray after = file.readAll();
        // Only the movie box changed, in place.
        QCOMPARE(after.size(), ftyp.size() + mdat.size() + moov.size());
        QCOMPARE(after.left(ftyp.size() + mdat.size()), ftyp + mdat);
        QCOMPARE(duration(after.mid(ftyp.size() + mdat.size()), "elst", 0), 43008LL);
        // A file without a movie box is refused.
        QVERIFY(!trimMovieFile(write("bare.mp4", ftyp + mdat), {1, 1}, &error));
    }
};

QTEST_APPLESS_MAIN(TestMp4Boxes)
#include "tst_mp4boxes.moc"
