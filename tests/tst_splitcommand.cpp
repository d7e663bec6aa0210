#include <csignal>
#include <thread>

#include <fcntl.h>

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSet>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "CommandLineTime.h"
#include "MediaOracle.h"
#include "MediaProbe.h"

// `trimora split` as a user meets it: clips of the frames asked for, and for bad input
// or a library that fails, a message a person understands, an exit status that says
// so, nothing partial or empty left in the library, nothing already there changed,
// and no crash.
class TestSplitCommand : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        // Others may pass through, for the rows run as an unprivileged user.
        QFile::setPermissions(dir->path(), QFileDevice::Permissions(0x7755));
        cache = dir->filePath(QStringLiteral("cache"));
        QDir().mkpath(cache);
        QFile::setPermissions(cache, QFileDevice::Permissions(0x7777));
    }

    void cleanup()
    {
        if (!mounted.isEmpty())
            ::umount(QFile::encodeName(mounted).constData());
        mounted.clear();
        if (!loopDevice.isEmpty())
            ::run({"losetup", "-d", loopDevice});
        loopDevice.clear();
        // QTemporaryDir cannot remove a name that is not UTF-8.
        removeFolder(dir->path());
    }

    void splits_data()
    {
        QTest::addColumn<QStringList>("how");
        QTest::addColumn<QList<double>>("lengths"); // of the clips in order; 0: empty, skipped
        QTest::addColumn<QString>("note");          // what standard error says of the splits

        QTest::newRow("times in any order") << QStringList{"--at", "0:06.71", "--at", "3.33"} << QList<double>{3.36, 3.36, 3.28} << "";
        QTest::newRow("equal parts") << QStringList{"--parts", "4"} << QList<double>{2.52, 2.48, 2.52, 2.48} << "";
        QTest::newRow("every three seconds") << QStringList{"--every", "3"} << QList<double>{3.0, 3.0, 3.0, 1.0} << "";
        QTest::newRow("a share of the length") << QStringList{"--at", "50%"} << QList<double>{5.0, 5.0} << "";
        QTest::newRow("split at the start") << QStringList{"--at", "0", "--at", "5"} << QList<double>{0, 5.0, 5.0} << "";
        // Times are printed to the millisecond: half a millisecond past a frame's start is that frame.
        QTest::newRow("a frame's time rounded up") << QStringList{"--at", "3.3604"} << QList<double>{3.36, 6.64} << "";
        QTest::newRow("one clip: every 20 s of 10") << QStringList{"--every", "20"} << QList<double>{10.0} << "";
        // Keyframes every 2 s: the splits move back to the keyframe at or before them.
        QTest::newRow("keyframes only") << QStringList{"--at", "3.33", "--at", "6.71", "--keyframes"} << QList<double>{2.0, 4.0, 4.0}
                                        << "the split at 3.330 s moves to the keyframe at 2.000 s";
        QTest::newRow("keyframes only, equal parts") << QStringList{"--parts", "3", "--keyframes"} << QList<double>{2.0, 4.0, 4.0}
                                                     << "the split at 6.667 s moves to the keyframe at 6.000 s";
        QTest::newRow("keyframes only, every 3 s") << QStringList{"--every", "3", "--keyframes"} << QList<double>{2.0, 4.0, 2.0, 2.0}
                                                   << "the split at 9.000 s moves to the keyframe at 8.000 s";
        QTest::newRow("keyframes only, on keyframes") << QStringList{"--at", "2", "--at", "0:04", "--keyframes"}
                                                      << QList<double>{2.0, 2.0, 6.0} << "every split is on a keyframe";
        QTest::newRow("keyframes only, a split moved to the start") << QStringList{"--at", "1.5", "--keyframes"} << QList<double>{0, 10.0}
                                                                    << "split-0 holds no frame: both its ends are at the keyframe at 0.000 s";
    }

    // What a dry run plans is what a real run cuts, and both say so in JSON.
    void splits()
    {
        QFETCH(QStringList, how);
        QFETCH(QList<double>, lengths);
        QFETCH(QString, note);

        const QString library = dir->filePath(QStringLiteral("library"));
        const QStringList command = QStringList{"split", fixture(QStringLiteral("h264.mp4"))} + how + QStringList{"--library", library};
        const Run dry = ::run(trimora(command + QStringList{"--dry-run", "--json"}), cache);
        QVERIFY2(dry.exitCode == 0, qPrintable(dry.err));
        QVERIFY2(!QFileInfo::exists(library), "a dry run makes nothing");
        const QJsonObject planned = QJsonDocument::fromJson(dry.out.toUtf8()).object();
        QCOMPARE(planned.value("status").toString(), QStringLiteral("dry run"));
        QCOMPARE(planned.value("totals").toObject().value("planned").toInt(), lengths.size() - lengths.count(0.0));

        const Run run = ::run(trimora(command + QStringList{"--json"}), cache);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QJsonObject done = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(done.value("status").toString(), QStringLiteral("done"));
        const QJsonArray plannedClips = planned.value("videos").toArray().at(0).toObject().value("clips").toArray();
        const QJsonArray clips = done.value("videos").toArray().at(0).toObject().value("clips").toArray();
        QCOMPARE(plannedClips.size(), lengths.size());
        QCOMPARE(clips.size(), lengths.size());
        QCOMPARE(done.value("totals").toObject().value("saved").toInt(), lengths.size() - lengths.count(0.0));
        // Under --json, the lines a person reads go to standard error.
        const QStringList lines = run.err.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^split-\\d+: ")));
        int encoded = 0;
        QCOMPARE(lines.size(), lengths.size());
        for (int k = 0; k < lengths.size(); ++k) {
            const QString clip = library + QStringLiteral("/split-%1.mp4").arg(k);
            QCOMPARE(lines[k], QStringLiteral("split-%1: ").arg(k) + (lengths[k] == 0 ? QStringLiteral("empty, skipped") : clip));
            const QJsonObject saved = clips[k].toObject();
            const QJsonObject plan = plannedClips[k].toObject();
            encoded += plan.value("encodedFrames").toInt();
            for (const char* key : {"start", "end", "frames", "encodedFrames"})
                QVERIFY2(saved.value(key) == plan.value(key), key);
            if (lengths[k] == 0) {
                QCOMPARE(saved.value("result").toString(), QStringLiteral("empty"));
                QCOMPARE(plan.value("result").toString(), QStringLiteral("empty"));
                continue;
            }
            QCOMPARE(saved.value("path").toString(), clip);
            // Each clip is the frames asked for: lengths on the 25 fps frame grid, and
            // the frames the plan counted.
            const double length = oracle::probe(clip, QStringLiteral("stream=duration"), QStringLiteral("v:0")).toDouble();
            QVERIFY2(std::abs(length - lengths[k]) < 0.001, qPrintable(QStringLiteral("%1: %2 s").arg(clip).arg(length)));
            QCOMPARE(oracle::videoPackets(clip), plan.value("frames").toInt());
            QVERIFY(std::abs(saved.value("end").toDouble() - saved.value("start").toDouble() - lengths[k]) < 0.001);
        }
        // Frames are encoded again only in a smart cut with a split off the keyframes.
        QCOMPARE(encoded > 0, !how.contains(QStringLiteral("--keyframes")) && lengths.size() > 1);
        QCOMPARE(QDir(library).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
                 lengths.size() - lengths.count(0.0));
        // Clips are cut where they live: no working file is left, in the cache or anywhere.
        checkCacheIsEmpty();
        // Into a pipe, no progress: what is being cut, where keyframe mode moved the
        // splits, and the clips.
        const QString into = lengths.size() == 1 ? QStringLiteral(" into 1 clip for ") : QStringLiteral(" into %1 clips for ").arg(lengths.size());
        QVERIFY2(run.err.contains(into) && run.err.contains(note) && !run.err.contains(QLatin1Char('\r')), qPrintable(run.err));
    }

    void progressOnATerminal()
    {
        // The bar is drawn on standard error and wiped before each result line, so no
        // line runs into it.
        const QString command = QStringLiteral("'%1' split '%2' --parts 3 --library '%3'")
                                    .arg(trimora({}).first(), fixture(QStringLiteral("h264.mp4")), dir->filePath(QStringLiteral("library")));
        const Run run = ::run({"script", "-qec", command, "/dev/null"}, cache);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("] 0 of 3 clips")), qPrintable(run.out));
        int results = 0;
        for (const QString& piece : run.out.split(QRegularExpression(QStringLiteral("[\r\n]")))) {
            if (!piece.contains(QStringLiteral("split-")))
                continue;
            QVERIFY2(piece.startsWith(QStringLiteral("\x1b[Ksplit-")) || piece.startsWith(QStringLiteral("split-")), qPrintable(piece));
            ++results;
        }
        QCOMPARE(results, 3);
        // Quiet: the clips on standard output, and not a word besides.
        const Run quiet = ::run({"script", "-qec", command + QStringLiteral(" -q --name 'quiet-{n}'"), "/dev/null"}, cache);
        QCOMPARE(quiet.exitCode, 0);
        QVERIFY2(!quiet.out.contains(QStringLiteral("clips")) && !quiet.out.contains(QStringLiteral("Cutting"))
                     && quiet.out.count(QStringLiteral("quiet-")) == 6,
                 qPrintable(quiet.out));
    }

    void badUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("words");

        const QString video = fixture(QStringLiteral("h264.mp4"));
        QTest::newRow("no way to split") << QStringList{"split", video} << "exactly one of";
        QTest::newRow("no video") << QStringList{"split", "--parts", "2"} << "name a video to split";
        // Every video is read before anything is cut.
        QTest::newRow("the second video is missing") << QStringList{"split", video, "missing.mp4", "--parts", "2"} << "Nothing was cut.";
        QTest::newRow("after the end of the second video") << QStringList{"split", video, fixture("hevc10.mp4"), "--at", "5"}
                                                            << "hevc10.mp4: --at 5 is after the end";
        QTest::newRow("a name with a slash") << QStringList{"split", video, "--parts", "2", "--name", "a/{n}"} << "cannot name a folder";
        QTest::newRow("a name with an unknown field") << QStringList{"split", video, "--parts", "2", "--name", "{N}"} << "unknown field {N}";
        QTest::newRow("quiet and verbose") << QStringList{"split", video, "--parts", "2", "-qv"} << "cannot be given together";
        QTest::newRow("after the end") << QStringList{"split", video, "--at", "11"} << "after the end of the video (00:10)";
        QTest::newRow("the same point twice") << QStringList{"split", video, "--at", "5", "--at", "0:05"} << "repeats a split point";
        QTest::newRow("not a time") << QStringList{"split", video, "--at", "soon"} << "'soon' is not a time";
        QTest::newRow("zero parts") << QStringList{"split", video, "--parts", "0"} << "--parts: 0 is not a whole number";
        QTest::newRow("parts not given") << QStringList{"split", video, "--parts", ""} << "--parts: '' is not a number";
        QTest::newRow("every not a time") << QStringList{"split", video, "--every", "x"} << "--every: 'x' is not a time";
        QTest::newRow("unknown option") << QStringList{"split", video, "--fast"} << "Unknown option";
        QTest::newRow("unknown command") << QStringList{"cut", video} << "Try 'trimora --help'.";
        // A word after one dash is short options, never a long one.
        QTest::newRow("a long option with one dash") << QStringList{"split", video, "-at", "5"} << "Unknown options: a, t.";
    }

    void badUsage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, words);

        const QString library = dir->filePath(QStringLiteral("library"));
        const Run run = ::run(trimora(arguments + QStringList{"--library", library}), cache);
        QVERIFY(run.out.isEmpty());
        checkOutcome(run, 2, words, library);
        // One line says what is wrong, and where to read more: not the whole help.
        QVERIFY2(!run.err.contains(QStringLiteral("Usage:")) && run.err.count(QLatin1Char('\n')) == 2, qPrintable(run.err));
        // Help and the version anywhere, as command-line tools answer them.
        const QList<std::pair<QStringList, QString>> asked{
            {{"--version"}, "trimora "}, {{"split", "x.mp4", "-V"}, "trimora "}, {{"--library", "D", "--help"}, "Usage: trimora ["},
            {{"split", "x.mp4", "--at", "5", "-h"}, "Usage: trimora split"}, {{"help", "split"}, "Usage: trimora split"}};
        for (const auto& [command, answer] : asked) {
            const Run help = ::run(trimora(command));
            QVERIFY2(help.exitCode == 0 && help.out.startsWith(answer), qPrintable(command.join(QLatin1Char(' ')) + ": " + help.out));
        }
    }

    // The language comes from the locale: a shipped translation, or the nearest one, or
    // English. A shipped translation leaves no text in English and keeps every text's
    // %1 and %n, whose loss would show a wrong number or none.
    void translations_data()
    {
        QTest::addColumn<QString>("language"); // LANGUAGE, as the desktop session sets it
        QTest::addColumn<QString>("file");     // of data/translations, or none
        QTest::addColumn<QString>("words");    // of `trimora split` without a video

        QTest::newRow("German") << "de_DE" << "trimora_de.ts" << "Geben Sie ein Video zum Teilen an.";
        QTest::newRow("Austrian German reads German") << "de_AT" << "" << "Geben Sie ein Video zum Teilen an.";
        QTest::newRow("English") << "en_GB" << "trimora_en.ts" << "name a video to split.";
        QTest::newRow("no translation reads English") << "fi_FI" << "" << "name a video to split.";
    }

    void translations()
    {
        QFETCH(QString, language);
        QFETCH(QString, file);
        QFETCH(QString, words);

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LANGUAGE"), language);
        process.setProcessEnvironment(environment);
        QStringList command = trimora({"split"});
        process.start(command.takeFirst(), command);
        QVERIFY(process.waitForFinished(20000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.startsWith(QStringLiteral("trimora split: ") + words), qPrintable(err));
        if (file.isEmpty())
            return;

        QFile ts(qEnvironmentVariable("TRIMORA_TRANSLATIONS") + QLatin1Char('/') + file);
        QVERIFY2(ts.open(QIODevice::ReadOnly), qPrintable(ts.fileName()));
        // English needs only its plural forms; every other language needs every text.
        const bool english = file == QLatin1String("trimora_en.ts");
        const QRegularExpression placeholder(QStringLiteral("%(?:[1-9]|n)"));
        auto placeholders = [&placeholder](const QString& text) {
            QStringList found;
            for (auto match = placeholder.globalMatch(text); match.hasNext();)
                found << match.next().captured();
            found.sort();
            return found;
        };
        QXmlStreamReader xml(&ts);
        QString source;
        bool numerus = false;
        int messages = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("message")) {
                numerus = xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
                ++messages;
            } else if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                const bool unfinished = xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
                QVERIFY2(!unfinished || (english && !numerus), qPrintable(file + QStringLiteral(": untranslated: ") + source));
                if (unfinished) {
                    xml.skipCurrentElement();
                    continue;
                }
                QStringList forms;
                if (numerus) {
                    while (xml.readNextStartElement())
                        forms << xml.readElementText();
                    QCOMPARE(forms.size(), 2); // the languages shipped have one and many
                } else {
                    forms << xml.readElementText();
                }
                for (const QString& form : forms)
                    QVERIFY2(placeholders(form) == placeholders(source), qPrintable(source + QStringLiteral(" -> ") + form));
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(messages > 0);
    }

    void badFiles_data() { addBadFileRows(); }

    void badFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, copyAs);
        QFETCH(int, exitCode);
        QFETCH(QString, words);

        const QString video = badFilePath(file, copyAs, dir->path());
        QVERIFY(!video.isEmpty());
        // One line per clip whatever the names hold: a newline in a path shows as \n,
        // accents as they are.
        const QString library = dir->filePath(QString::fromUtf8("Été\nlibrary"));
        const Run run = ::run(trimora({"split", video, "--at", "3.33", "--at", "6.71", "--library", library}), cache);
        checkOutcome(run, exitCode, words, library);
        if (exitCode != 2)
            QCOMPARE(run.out.trimmed().split(QLatin1Char('\n')).size(), 3);
        if (exitCode == 0) {
            QVERIFY2(run.out.contains(QString::fromUtf8("Été\\nlibrary/split-1.")), qPrintable(run.out));
            // The video is named as it is, its bytes that are not UTF-8 as \xFF.
            const QString name = escapeControlCharacters(video.section(QLatin1Char('/'), -1));
            QVERIFY2(run.err.contains(QStringLiteral("Cutting %1 (").arg(name)), qPrintable(run.err));
        }
    }

    void libraryFaults_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("words");

        QTest::newRow("folder missing: made") << "missing" << 0 << "not/yet/there/split-2.mp4";
        // Two videos in turn, named by a template; a name already taken is never replaced.
        QTest::newRow("two videos, a name taken") << "taken" << 0 << "h264-00: %1/h264-00 (2).mp4";
        // Found before anything is cut: one message, nothing cut.
        QTest::newRow("a file where the folder should be") << "blocked" << 2 << "it is not a folder";
        QTest::newRow("read-only") << "read-only" << 2 << "Permission denied";
        QTest::newRow("on a full disk") << "full" << 2 << "not enough space";
        QTest::newRow("under a file") << "under a file" << 2 << "/blocker' is a file, not a folder";
        QTest::newRow("a link to nothing") << "dangling link" << 2 << "/nowhere', which does not exist";
        // Older versions cut in folders of the cache: nothing found there is touched,
        // least of all what a link there leads to.
        QTest::newRow("old cut folders in the cache") << "cache" << 0 << "split-1: ";
        // Another program holds the library's lock for a while: it is said, and the
        // clips are named once it lets go.
        QTest::newRow("locked by another program") << "locked" << 0 << "Waiting for another Trimora saving into '%1'";
        // Named by bytes that are not UTF-8: that folder, shown with the byte as \xFF.
        QTest::newRow("a name that is not UTF-8") << "not UTF-8" << 0 << "split-2: %1/split-2.mp4";
    }

    void libraryFaults()
    {
        QFETCH(QString, library);
        QFETCH(int, exitCode);
        QFETCH(QString, words);

        QString folder = dir->filePath(QStringLiteral("library"));
        QStringList command = trimora({"split", fixture(QStringLiteral("h264.mp4")), "--at", "3.33", "--at", "6.71"});
        QByteArray mine;
        if (library == QLatin1String("missing")) {
            folder = dir->filePath(QStringLiteral("not/yet/there"));
        } else if (library == QLatin1String("taken")) {
            command << fixture(QStringLiteral("apple.mov")) << "--name" << "{stem}-{n:02}";
            QDir().mkpath(folder);
            QFile taken(folder + QStringLiteral("/h264-00.mp4"));
            QVERIFY(taken.open(QIODevice::WriteOnly));
            taken.write("a video of mine");
            taken.close();
            mine = digest(taken.fileName());
            words = words.arg(folder);
        } else if (library == QLatin1String("blocked")) {
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        } else if (library == QLatin1String("read-only")) {
            QDir().mkpath(folder);
            QFile::setPermissions(folder, QFileDevice::Permissions(0x5555));
            if (::geteuid() == 0) {
                // Root writes wherever it likes: run as nobody, from copies nobody can read
                // (the checkout may sit in a folder only root can enter).
                const QString binary = dir->filePath(QStringLiteral("trimora"));
                const QString video = dir->filePath(QStringLiteral("video.mp4"));
                QVERIFY(QFile::copy(command[0], binary) && QFile::copy(command[2], video));
                QFile::setPermissions(binary, QFileDevice::Permissions(0x7555));
                QFile::setPermissions(video, QFileDevice::Permissions(0x4444));
                command[0] = binary;
                command[2] = video;
                // Under the thread sanitizer, nobody must be able to read its suppressions too.
                QString tsan = qEnvironmentVariable("TSAN_OPTIONS");
                if (tsan.contains(QStringLiteral("suppressions="))) {
                    const QString from = tsan.section(QStringLiteral("suppressions="), 1).section(QLatin1Char(':'), 0, 0);
                    const QString copy = dir->filePath(QStringLiteral("tsan.supp"));
                    QVERIFY(QFile::copy(from, copy));
                    QFile::setPermissions(copy, QFileDevice::Permissions(0x4444));
                    command = QStringList{"env", "TSAN_OPTIONS=" + tsan.replace(from, copy)} + command;
                }
                command = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"} + command;
            }
        } else if (library == QLatin1String("not UTF-8")) {
            folder = dir->filePath(QStringLiteral("lib")) + QChar(0xDCFF) + QStringLiteral("rary");
            words = words.arg(dir->filePath(QStringLiteral("lib\\xFFrary")));
        } else if (library == QLatin1String("full")) {
            QDir().mkpath(folder);
            if (::geteuid() == 0) {
                // A disk of 300 KiB, less than the video.
                QVERIFY(::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=300k") == 0);
                mounted = folder;
            } else {
                // The disk has room: the limit is met while writing.
                command = QStringList{"bash", "-c", "ulimit -f 300; exec \"$@\"", "bash"} + command;
                words = QStringLiteral("File too large");
                exitCode = 1;
            }
        } else if (library == QLatin1String("under a file")) {
            QVERIFY(QFile(dir->filePath(QStringLiteral("blocker"))).open(QIODevice::WriteOnly));
            folder = dir->filePath(QStringLiteral("blocker/library"));
        } else if (library == QLatin1String("dangling link")) {
            QVERIFY(QFile::link(dir->filePath(QStringLiteral("nowhere")), folder));
        }
        // A folder a link in the cache leads to, marked as older versions marked theirs,
        // and one such folder in the cache itself.
        const QString cuts = cache + QStringLiteral("/Trimora/Trimora/cuts");
        const QString victim = dir->filePath(QStringLiteral("victim"));
        if (library == QLatin1String("cache")) {
            QVERIFY(QDir().mkpath(cuts + QStringLiteral("/cut-x")) && QDir().mkpath(victim + QStringLiteral("/sub")));
            for (const QString& file : {victim + "/important.doc", victim + "/sub/deep.txt", victim + "/.cutting",
                                        cuts + "/cut-x/.cutting", cuts + "/cut-x/split-0.mp4"})
                QVERIFY(QFile(file).open(QIODevice::WriteOnly));
            QVERIFY(QFile::link(victim, cuts + QStringLiteral("/cut-link")));
        }
        std::thread releaser;
        if (library == QLatin1String("locked")) {
            // Clips are named under the lock where the disk has no unnamed files.
            const QString stick = mountExfat();
            if (stick.isEmpty())
                QSKIP("exFAT over FUSE cannot be mounted here (it needs root, exfat-fuse, exfatprogs and a loop device)");
            folder = stick + QStringLiteral("/Trimora");
            QDir().mkpath(folder);
            const int held = ::open(QFile::encodeName(folder + QStringLiteral("/.trimora.lock")).constData(),
                                    O_CREAT | O_RDWR | O_CLOEXEC, 0644);
            struct flock whole {};
            whole.l_type = F_WRLCK;
            QVERIFY(held >= 0 && ::fcntl(held, F_OFD_SETLK, &whole) == 0);
            words = words.arg(folder);
            releaser = std::thread([held] {
                std::this_thread::sleep_for(std::chrono::seconds(4));
                ::close(held);
            });
        }
        const Run run = ::run(command << "--library" << folder, cache);
        if (releaser.joinable())
            releaser.join();
        if (holdsRawBytes(folder)) {
            // The clips are in that very folder, and no other was made (QDir, in
            // checkOutcome, would look into another).
            QCOMPARE(entriesOf(dir->path()), (QStringList{QStringLiteral("cache"), folder.section(QLatin1Char('/'), -1)}));
            const QStringList clips = entriesOf(folder).filter(QRegularExpression(QStringLiteral("^[^.]")));
            QCOMPARE(clips, (QStringList{"split-0.mp4", "split-1.mp4", "split-2.mp4"}));
            for (const QString& clip : clips)
                QVERIFY2(probeVideo(folder + QLatin1Char('/') + clip).ok(), qPrintable(clip));
        }
        checkOutcome(run, exitCode, words, folder, mine);
        if (!mine.isEmpty()) {
            QCOMPARE(digest(folder + QStringLiteral("/h264-00.mp4")), mine);
            QCOMPARE(entriesOf(folder).filter(QRegularExpression(QStringLiteral("^[^.]"))),
                     (QStringList{"apple-00.mov", "apple-01.mov", "apple-02.mov", "h264-00 (2).mp4", "h264-00.mp4",
                                  "h264-01.mp4", "h264-02.mp4"}));
        }
        if (library == QLatin1String("cache")) {
            for (const QString& file : {victim + "/important.doc", victim + "/sub/deep.txt", victim + "/.cutting",
                                        cuts + "/cut-x/.cutting", cuts + "/cut-x/split-0.mp4"})
                QVERIFY2(QFileInfo::exists(file), qPrintable(file));
        }
    }

    // A clip is on the disk before it has a name: its file is flushed, through the
    // descriptor that wrote it, before the link that names it; a power loss after
    // the name never leaves an empty clip under it.
    void flushedBeforeNamed()
    {
        // One file a thread, so that no call is split across lines by another's.
        const QString trace = dir->filePath(QStringLiteral("trace"));
        // The leak checker of the address sanitizer cannot run under a tracer.
        const QString sanitizer = QStringLiteral("ASAN_OPTIONS=%1:detect_leaks=0").arg(qEnvironmentVariable("ASAN_OPTIONS"));
        const Run run = ::run(QStringList{"env", sanitizer, "strace", "-ff", "-qq", "-e", "trace=fsync,fdatasync,linkat", "-o", trace}
                                  + trimora({"split", fixture(QStringLiteral("h264.mp4")), "--parts", "3", "--library",
                                             dir->filePath(QStringLiteral("library"))}),
                              cache);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QRegularExpression flush(QStringLiteral("^f(?:data)?sync\\((\\d+)\\) += 0$"));
        const QRegularExpression name(QStringLiteral("^linkat\\(AT_FDCWD, \"/proc/self/fd/(\\d+)\", .*split-\\d\\.mp4\", .*\\) = 0$"));
        int named = 0;
        for (const QString& thread : QDir(dir->path()).entryList({QStringLiteral("trace.*")})) {
            QFile log(dir->filePath(thread));
            QVERIFY(log.open(QIODevice::ReadOnly));
            QSet<QString> flushed;
            for (const QString& line : QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'))) {
                if (const QRegularExpressionMatch match = flush.match(line); match.hasMatch())
                    flushed.insert(match.captured(1));
                if (const QRegularExpressionMatch match = name.match(line); match.hasMatch()) {
                    QVERIFY2(flushed.remove(match.captured(1)), qPrintable(line));
                    ++named;
                }
            }
        }
        QCOMPARE(named, 3);
    }

    // On btrfs and XFS an MP4's clips share the source's disk blocks where they copy
    // its packets: the disk fills by their index and the frames encoded again. Where
    // blocks cannot be shared (another disk) the same bytes are copied. Either way each
    // clip is byte for byte the clip cut on any other disk.
    void sharedBlocks_data()
    {
        QTest::addColumn<QString>("filesystem");
        QTest::addColumn<bool>("sourceThere"); // on the library's disk, else on the test's own
        QTest::addColumn<QStringList>("how");
        QTest::addColumn<double>("growth"); // at most this share of the clips' size; negative: at least

        QTest::newRow("btrfs, keyframes only") << "btrfs" << true << QStringList{"--parts", "3", "--keyframes"} << 0.02;
        QTest::newRow("XFS, keyframes only") << "xfs" << true << QStringList{"--parts", "3", "--keyframes"} << 0.02;
        // The heads, 3.03 to 4 s and 7.5 to 8 s, are a tenth of the clips.
        QTest::newRow("btrfs, exact") << "btrfs" << true << QStringList{"--at", "3.03", "--at", "7.5"} << 0.15;
        QTest::newRow("XFS, the source on another disk") << "xfs" << false << QStringList{"--parts", "3", "--keyframes"} << -0.95;
    }

    void sharedBlocks()
    {
        QFETCH(QString, filesystem);
        QFETCH(bool, sourceThere);
        QFETCH(QStringList, how);
        QFETCH(double, growth);

        const QString disk = mountDisk(filesystem);
        if (disk.isEmpty())
            QSKIP(qPrintable(QStringLiteral("no %1 disk can be mounted here (it needs root, the %1 tools and a loop device)")
                                 .arg(filesystem)));
        // 12 s of 720p at 6 Mbit/s with sound, a keyframe every 2 s.
        const QString made = dir->filePath(QStringLiteral("source.mp4"));
        QVERIFY(::run({"ffmpeg", "-v", "error", "-nostdin", "-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=30", "-f",
                       "lavfi", "-i", "sine=frequency=440", "-t", "12", "-c:v", "libx264", "-preset", "ultrafast", "-g",
                       "60", "-b:v", "6M", "-c:a", "aac", made}).exitCode == 0);
        const QString source = sourceThere ? disk + QStringLiteral("/source.mp4") : made;
        if (sourceThere)
            QVERIFY(QFile::copy(made, source));
        const auto used = [&disk] {
            ::sync();
            struct statvfs info {};
            return ::statvfs(QFile::encodeName(disk).constData(), &info) == 0
                ? qint64(info.f_blocks - info.f_bfree) * qint64(info.f_frsize) : qint64(-1);
        };
        const qint64 before = used();
        const QString library = disk + QStringLiteral("/library");
        const Run there = ::run(trimora(QStringList{"split", source} + how + QStringList{"--library", library}), cache);
        QVERIFY2(there.exitCode == 0, qPrintable(there.err));
        const qint64 grown = used() - before;
        const QString elsewhere = dir->filePath(QStringLiteral("library"));
        const Run here = ::run(trimora(QStringList{"split", made} + how + QStringList{"--library", elsewhere}), cache);
        QVERIFY2(here.exitCode == 0, qPrintable(here.err));

        const QStringList clips = QDir(library).entryList(QDir::Files, QDir::Name);
        QCOMPARE(clips, QDir(elsewhere).entryList(QDir::Files, QDir::Name));
        qint64 size = 0;
        qint64 frames = 0;
        for (const QString& clip : clips) {
            QCOMPARE(digest(library + QLatin1Char('/') + clip), digest(elsewhere + QLatin1Char('/') + clip));
            size += QFileInfo(library + QLatin1Char('/') + clip).size();
            frames += oracle::probe(library + QLatin1Char('/') + clip, QStringLiteral("stream=nb_frames"), QStringLiteral("v:0")).toLongLong();
        }
        QCOMPARE(frames, oracle::probe(made, QStringLiteral("stream=nb_frames"), QStringLiteral("v:0")).toLongLong());
        const QString said = QStringLiteral("%1 bytes more used for %2 bytes of clips").arg(grown).arg(size);
        QVERIFY2(growth >= 0 ? grown <= qint64(growth * double(size)) : grown >= qint64(-growth * double(size)), qPrintable(said));
    }

    void sourceChangedDuringTheExport_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("deleted") << "rm -f";
        QTest::newRow("cut to half its size") << "truncate -s $(( $(stat -c %s \"$0\") / 2 ))";
    }

    void sourceChangedDuringTheExport()
    {
        QFETCH(QString, change);
        // Many clips, so that some are still waiting when the source changes.
        const QString video = dir->filePath(QStringLiteral("source.mp4"));
        QVERIFY(QFile::copy(fixture(QStringLiteral("h264.mp4")), video));
        const QString library = dir->filePath(QStringLiteral("library"));
        QProcess process;
        start(process, trimora({"split", video, "--parts", "40", "--library", library}), cache);
        // Once the cuts have started, change the source under them.
        process.setReadChannel(QProcess::StandardError);
        QByteArray said;
        while (!said.contains("Cutting") && process.waitForReadyRead(20000))
            said += process.readAllStandardError();
        QVERIFY2(said.contains("Cutting"), said.constData());
        QProcess::execute(QStringLiteral("bash"), {QStringLiteral("-c"), change + QStringLiteral(" \"$0\""), video});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        // Each clip is either in the library or reported as failed, with a reason.
        const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 40);
        int failed = 0;
        for (const QString& line : lines) {
            failed += line.contains(QStringLiteral(": failed: "));
            QVERIFY2(line.section(QStringLiteral(": failed: "), 1).size() > 10 || QFileInfo::exists(line.section(QStringLiteral(": "), 1)),
                     qPrintable(line));
        }
        checkOutcome({process.exitCode(), lines.join(QLatin1Char('\n')), QString()}, failed > 0 ? 1 : 0, QString(), library);
    }

    void interrupted_data()
    {
        QTest::addColumn<int>("signalNumber"); // SIGPIPE: standard output is closed
        QTest::addColumn<bool>("onExfat"); // else the test's own disk, which has unnamed files
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("rounds"); // each stopped at a moment of its own

        QTest::newRow("Ctrl+C") << int(SIGINT) << false << 130 << 1;
        // Clips start every few moments: many stops land as one does.
        QTest::newRow("SIGTERM, on exFAT") << int(SIGTERM) << true << 143 << 8;
        QTest::newRow("a closed terminal") << int(SIGHUP) << false << 129 << 1;
        // Started to ignore it, as nohup does: it goes on to the end.
        QTest::newRow("a closed terminal, under nohup") << int(SIGHUP) << false << 0 << 1;
        // The reader of its output went away, as `| head -1` does.
        QTest::newRow("output closed, on exFAT") << int(SIGPIPE) << true << 141 << 3;
        QTest::newRow("kill -9, on exFAT") << int(SIGKILL) << true << -1 << 3;
        QTest::newRow("kill -9") << int(SIGKILL) << false << -1 << 3;
    }

    void interrupted()
    {
        QFETCH(int, signalNumber);
        QFETCH(bool, onExfat);
        QFETCH(int, exitCode);
        QFETCH(int, rounds);

        QString library = dir->filePath(QStringLiteral("library"));
        if (onExfat) {
            const QString stick = mountExfat();
            if (stick.isEmpty())
                QSKIP("exFAT over FUSE cannot be mounted here (it needs root, exfat-fuse, exfatprogs and a loop device)");
            library = stick + QStringLiteral("/Trimora");
        }
        // A kill can come at any point: a few, each at a point of its own.
        for (int round = 0; round < rounds; ++round) {
            QProcess process;
            const int clips = exitCode == 0 ? 20 : 100;
            QStringList command = trimora({"split", fixture(QStringLiteral("h264.mp4")), "--every", clips == 20 ? "0.5" : "0.1",
                                           "--library", library});
            if (exitCode == 0)
                command.prepend(QStringLiteral("nohup"));
            if (signalNumber == SIGPIPE)
                command = QStringList{"bash", "-c", "\"$@\" | head -n 1 >/dev/null; exit ${PIPESTATUS[0]}", "bash"} + command;
            start(process, command, cache);
            process.setReadChannel(QProcess::StandardError);
            QByteArray said;
            while (!said.contains("Cutting") && process.waitForReadyRead(20000))
                said += process.readAllStandardError();
            if (exitCode != 0)
                QTest::qWait(int(QRandomGenerator::global()->bounded(300)));
            // Never pid 0, which would signal this test's whole process group.
            const qint64 pid = process.processId();
            QVERIFY2(signalNumber == SIGPIPE || (pid > 0 && process.state() == QProcess::Running),
                     "the export ended before the signal");
            if (signalNumber != SIGPIPE)
                ::kill(pid_t(pid), signalNumber);
            QVERIFY2(process.state() == QProcess::NotRunning || process.waitForFinished(exitCode == 0 ? 60000 : 5000),
                     "the export did not stop");
            if (signalNumber == SIGKILL)
                continue;
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(process.exitCode(), exitCode);
            // Each clip it says it saved is there, and it counts them right.
            const QString err = QString::fromUtf8(said + process.readAllStandardError());
            const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            for (const QString& line : lines)
                QVERIFY2(QFileInfo::exists(line.section(QStringLiteral(": "), 1)), qPrintable(line));
            if (exitCode == 0)
                QVERIFY2(lines.size() == clips && !err.contains(QStringLiteral("Stopped")), qPrintable(err));
            else if (signalNumber == SIGPIPE)
                QVERIFY2(err.contains(QStringLiteral("Standard output was closed.\nStopped: ")), qPrintable(err));
            else
                QVERIFY2(err.contains(QStringLiteral("Stopped: %1 of %2 clips saved to %3").arg(lines.size()).arg(clips).arg(library)),
                         qPrintable(err));
            // A stop leaves nothing half-written, before anything runs again.
            checkOutcome({exitCode, {}, {}}, exitCode, QString(), library);
        }
        // The next run tidies up after a killed one, and leaves nothing of its own.
        const Run next = ::run(trimora({"split", fixture(QStringLiteral("h264.mp4")), "--parts", "2", "--library", library}), cache);
        checkOutcome(next, 0, QString(), library);
        checkCacheIsEmpty();
    }

    void racingExportsOnExfat()
    {
        const QString stick = mountExfat();
        if (stick.isEmpty())
            QSKIP("exFAT over FUSE cannot be mounted here (it needs root, exfat-fuse, exfatprogs and a loop device)");
        // In a process namespace of its own (a sandbox, a container), an export's process
        // ids mean nothing outside it: its working files must still be seen as live.
        const bool isolated = ::run({"unshare", "--pid", "--fork", "--mount-proc", "true"}).exitCode == 0;
        if (!isolated)
            qWarning("unshare --pid is not allowed here: all exports run in this process namespace");
        // Four exports of two videos at once into one library, a few times over: every
        // clip under a name of its own, holding what its own export cut.
        for (int round = 0; round < 3; ++round) {
            const QString library = stick + QStringLiteral("/round %1").arg(round);
            std::vector<std::unique_ptr<QProcess>> exports;
            for (int k = 0; k < 4; ++k) {
                exports.push_back(std::make_unique<QProcess>());
                QStringList command = trimora({"split", fixture(k % 2 ? QStringLiteral("videoonly.mp4") : QStringLiteral("h264.mp4")),
                                               "--parts", k == 0 ? "12" : "4", "--library", library});
                if (k == 0 && isolated)
                    command = QStringList{"unshare", "--pid", "--fork", "--mount-proc"} + command;
                start(*exports.back(), command, cache);
                // The others start, and sweep the library, once the first one has named a
                // clip and writes the next.
                if (k == 0)
                    QTRY_VERIFY_WITH_TIMEOUT(exports[0]->waitForReadyRead(50) || exports[0]->bytesAvailable() > 0, 20000);
            }
            QSet<QString> reported;
            for (int k = 0; k < 4; ++k) {
                QVERIFY(exports[size_t(k)]->waitForFinished(60000));
                QCOMPARE(exports[size_t(k)]->exitCode(), 0);
                const QString out = QString::fromUtf8(exports[size_t(k)]->readAllStandardOutput());
                for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                    const QString clip = line.section(QStringLiteral(": "), 1);
                    QVERIFY2(!reported.contains(clip), qPrintable(line));
                    reported.insert(clip);
                    // With sound, or without, as its own video.
                    QCOMPARE(int(probeVideo(clip)->streams.size()), k % 2 ? 1 : 2);
                }
            }
            QCOMPARE(reported.size(), 24);
            checkOutcome({0, {}, {}}, 0, QString(), library);
            QCOMPARE(QDir(library).entryList(QDir::Files).size(), 24);
        }
    }

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
        // The double nearest to what is written, not a sum of tenths.
        QTest::newRow("three tenths, exactly") << "0.3" << 0.3 << false;
        QTest::newRow("seconds with their unit") << "75.5s" << 75.5 << false;
        QTest::newRow("milliseconds") << "1500ms" << 1.5 << false;
        QTest::newRow("minutes") << "2min" << 120.0 << false;
        QTest::newRow("hours") << "1.5h" << 5400.0 << false;
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(bool, percent);

        const Outcome<CommandLineTime> time = parseCommandLineTime(text);
        QVERIFY2(time.ok(), qPrintable(time.error()));
        QVERIFY2(time->value == value, qPrintable(QString::number(time->value, 'g', 17)));
        QCOMPARE(time->percent, percent);
    }

    void refusesWhatIsNotATime()
    {
        for (const char* text : {"", "-5", "+5", "1e3", "nan", "inf", "1:60", "1:60:00", "1:2:3:4", "1.5:30", "1::30", "5.", "1:30s", "ms", "5 s", "5sec", "2mins",
                                 ".5", "101%", "1:00%", "1234567890123456789", "\u0661\u0662"}) {
            const Outcome<CommandLineTime> time = parseCommandLineTime(QString::fromUtf8(text));
            QVERIFY2(!time, text);
            const QString error = time.error();
            // The message names what was given.
            QVERIFY2(error.contains(QLatin1Char('\'') + QString::fromUtf8(text) + QLatin1Char('\'')), qPrintable(error));
        }
    }

    void percentOfDuration()
    {
        QCOMPARE(parseCommandLineTime(u"25%")->seconds(200.0), 50.0);
        QCOMPARE(parseCommandLineTime(u"1:00")->seconds(200.0), 60.0);
    }

    void escape_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // a file name as the system has it
        QTest::addColumn<QString>("text");     // the same name in the program
        QTest::addColumn<QString>("escaped");

        QTest::newRow("escape sequence") << QByteArray("\x1b[31mred") << "\x1b[31mred" << "\\x1b[31mred";
        QTest::newRow("delete") << QByteArray("a\x7f") << "a\x7f" << "a\\x7f";
        QTest::newRow("backslash is doubled") << QByteArray("a\\n") << "a\\n" << "a\\\\n";
        QTest::newRow("C1 control") << QByteArray("\xc2\x9bx") << QString(QChar(0x9b)) + "x" << "\\x9bx";
        // Bytes that are not UTF-8 are kept, one lone surrogate U+DC80 + byte each, and
        // shown as \xFF; UTF-8 around them, of any length, is text as usual.
        const auto byte = [](int value) { return QString(QChar(0xDC00 + value)); };
        QTest::newRow("Latin-1 accent") << QByteArray("caf\xe9.mp4") << "caf" + byte(0xe9) + ".mp4" << "caf\\xE9.mp4";
        QTest::newRow("UTF-8 of two, three and four bytes") << QByteArray("\xc3\xa9\xe2\x82\xac\xf0\x9f\x8e\xac")
                                                            << QString::fromUtf8("é€🎬") << QString::fromUtf8("é€🎬");
        QTest::newRow("UTF-8 cut short, then a letter") << QByteArray("\xe2\x82x\xf0\x9f\x8e") << byte(0xe2) + byte(0x82) + "x" + byte(0xf0) + byte(0x9f) + byte(0x8e)
                                                        << "\\xE2\\x82x\\xF0\\x9F\\x8E";
        // What a lax decoder takes: overlong "/", an encoded surrogate, beyond U+10FFFF.
        QTest::newRow("overlong, surrogate, too high") << QByteArray("\xc0\xaf\xed\xb3\xbf\xf4\x90\x80\x80")
                                                       << byte(0xc0) + byte(0xaf) + byte(0xed) + byte(0xb3) + byte(0xbf) + byte(0xf4) + byte(0x90) + byte(0x80) + byte(0x80)
                                                       << "\\xC0\\xAF\\xED\\xB3\\xBF\\xF4\\x90\\x80\\x80";
        QTest::newRow("a byte beside a name's own backslash") << QByteArray("a\\xff\xff\n") << "a\\xff" + byte(0xff) + "\n"
                                                              << "a\\\\xff\\xFF\\n";
    }

    void escape()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(escapeControlCharacters(text), escaped);
        QCOMPARE(fileNameFromBytes(bytes), text);
        QCOMPARE(fileNameBytes(text), bytes);
    }

private:
    void checkOutcome(const Run& run, int exitCode, const QString& words, const QString& library, const QByteArray& mine = {});
    void checkCacheIsEmpty();
    QString mountExfat();
    QString mountDisk(const QString& filesystem);

    std::unique_ptr<QTemporaryDir> dir;
    QString cache;
    QString mounted;
    QString loopDevice;
};

// What the program leaves in its cache: nothing, ever.
void TestSplitCommand::checkCacheIsEmpty()
{
    QDirIterator cached(cache, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QVERIFY2(!cached.hasNext(), qPrintable(cached.hasNext() ? cached.next() : QString()));
}

// An exFAT disk over FUSE, as on a camera's card or a USB stick: no unnamed files, no
// hard links, no rename that refuses to replace. Empty when it cannot be had here.
QString TestSplitCommand::mountExfat()
{
    if (::geteuid() != 0)
        return {};
    const QString image = dir->filePath(QStringLiteral("exfat.img"));
    const QString point = dir->filePath(QStringLiteral("stick"));
    QDir().mkpath(point);
    if (::run({"truncate", "-s", "64M", image}).exitCode != 0 || ::run({"mkfs.exfat", image}).exitCode != 0)
        return {};
    // Run as root, the FUSE driver wants a block device: a loop device over the image.
    // Its daemon must not hold our pipes open.
    loopDevice = ::run({"losetup", "-f", "--show", image}).out.trimmed();
    if (loopDevice.isEmpty() || ::run({"sh", "-c", "exec mount.exfat-fuse \"$0\" \"$1\" >/dev/null 2>&1", loopDevice, point}).exitCode != 0)
        return {};
    mounted = point;
    return point;
}

// A disk of the given filesystem in an image file, mounted over a loop device. Empty
// when it cannot be had here.
QString TestSplitCommand::mountDisk(const QString& filesystem)
{
    if (::geteuid() != 0)
        return {};
    const QString image = dir->filePath(filesystem + QStringLiteral(".img"));
    const QString point = dir->filePath(filesystem);
    QDir().mkpath(point);
    // XFS wants 300 MB at least; the image is sparse.
    if (::run({"truncate", "-s", "320M", image}).exitCode != 0
        || ::run({QStringLiteral("mkfs.") + filesystem, "-q", image}).exitCode != 0
        || ::run({"mount", "-o", "loop", image, point}).exitCode != 0)
        return {};
    mounted = point;
    return point;
}

// The exit status and words asked for; whatever is in the library is a whole,
// readable video under a final name, or the user's own file, unchanged (or the empty
// lock file for naming clips).
void TestSplitCommand::checkOutcome(const Run& run, int exitCode, const QString& words, const QString& library,
                                    const QByteArray& mine)
{
    QVERIFY2(run.exitCode == exitCode, qPrintable(QStringLiteral("exit %1\n%2%3").arg(run.exitCode).arg(run.out, run.err)));
    QVERIFY2((run.out + run.err).contains(words), qPrintable(run.out + run.err));
    // Standard error carries what the user asked for, not the program's own log.
    QVERIFY2(!run.err.contains(QRegularExpression(QStringLiteral("^trimora\\.\\w+:"), QRegularExpression::MultilineOption)),
             qPrintable(run.err));
    if (exitCode == 2) {
        QVERIFY(!QFileInfo(library).isDir() || QDir(library).isEmpty());
        QVERIFY(!run.err.contains(QStringLiteral("Cutting")));
    }
    for (const QFileInfo& entry : QDir(library).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if ((!mine.isEmpty() && digest(entry.filePath()) == mine) || entry.fileName() == QLatin1String(".trimora.lock"))
            continue;
        QVERIFY2(!entry.fileName().startsWith(QLatin1Char('.')), qPrintable(entry.fileName()));
        // FFmpeg in this process: an interrupted run's library can hold a hundred clips.
        const Outcome<VideoInfo> clip = probeVideo(entry.filePath());
        QVERIFY2(clip.ok(), qPrintable(entry.fileName() + QStringLiteral(": ") + clip.error()));
    }
}

QTEST_GUILESS_MAIN(TestSplitCommand)
#include "tst_splitcommand.moc"
