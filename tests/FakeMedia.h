#pragma once

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <map>
#include <mutex>
#include <utility>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#include "ClipCutter.h"
#include "VideoLibrary.h"

// A cutter that writes "clip from START" instead of a clip, or fails, or finds the
// range empty, as the test says for each start time. Records every call; thread-safe.
// No Qt objects are made on the generator's threads, as the real cutter makes none.
class FakeCutter final : public ClipCutter {
public:
    struct Call {
        QString source;
        double startTime = 0.0;
        double endTime = 0.0;
        CutOutput output;
        bool onMainThread = false;
        CutMode mode = CutMode::Exact;
    };

    CutResult cut(const QString& source, double startTime, double endTime, const CutOutput& output,
                  CutMode mode = CutMode::Exact, const CancelToken& = CancelToken(),
                  const CutProgress& progress = CutProgress()) override
    {
        const bool main = QThread::currentThread() == QCoreApplication::instance()->thread();
        // Half way through for as long as the cut takes.
        progress.set(0.5);
        std::this_thread::sleep_for(delay);
        std::lock_guard lock(mutex);
        calls.push_back({source, startTime, endTime, output, main, mode});
        if (failures.contains(startTime))
            return CutResult::failed(QStringLiteral("The clip could not be cut."));
        if (empties.contains(startTime))
            return CutResult::empty();
        const std::string text = "clip from " + QByteArray::number(startTime).toStdString();
        if (::ftruncate(output.descriptor, 0) != 0
            || ::pwrite(output.descriptor, text.data(), text.size(), 0) != ssize_t(text.size()))
            return CutResult::failed(QStringLiteral("cannot write the clip"));
        // At keyframes only, a clip starts at the keyframe before: one every 2 s. The
        // sound leads the first picture by 22 ms, and the cutter counts from the sound.
        return CutResult::written(QStringLiteral("mp4"),
                                  (mode == CutMode::KeyframesOnly ? 2.0 * std::floor(startTime / 2.0) : startTime) + 0.022);
    }

    // By start time: the cuts run in any order.
    std::vector<Call> recorded()
    {
        std::lock_guard lock(mutex);
        std::vector<Call> sorted = calls;
        // An empty clip at a split shares its start with the next: the end breaks the tie.
        std::sort(sorted.begin(), sorted.end(), [](const Call& a, const Call& b) {
            return std::pair(a.startTime, a.endTime) < std::pair(b.startTime, b.endTime);
        });
        return sorted;
    }

    QList<double> failures; // start times
    QList<double> empties;
    std::chrono::milliseconds delay{0}; // how long each cut takes

private:
    std::mutex mutex;
    std::vector<Call> calls;
};

// A library that takes every clip unless told to refuse its name, keeping what each
// clip held under the name it was given.
class FakeLibrary final : public VideoLibrary {
public:
    explicit FakeLibrary(QString folder)
        : root(std::move(folder))
    {
    }

    QString folder() const override { return root; }

    Outcome<void> prepare(qint64) override
    {
        QDir().mkpath(root);
        return {};
    }

    Outcome<std::unique_ptr<WorkingFile>> createWorkingFile() override
    {
        std::lock_guard lock(mutex);
        return std::unique_ptr<WorkingFile>(std::make_unique<File>(*this, QStringLiteral("%1/.working-%2").arg(root).arg(++made)));
    }

    void stop() override {}
    void removeWorkingFiles() override {}

    std::map<QString, QByteArray> taken()
    {
        std::lock_guard lock(mutex);
        return clips;
    }

    QStringList refuse; // names without their extension

private:
    class File final : public WorkingFile {
    public:
        File(FakeLibrary& owner, QString name)
            : library(owner)
            , working(std::move(name))
            , fd(::open(QFile::encodeName(working).constData(), O_CREAT | O_RDWR | O_CLOEXEC, 0644))
        {
        }
        ~File() override
        {
            ::close(fd);
            std::remove(QFile::encodeName(working).constData());
        }
        int descriptor() const override { return fd; }

        Outcome<QString> publish(const QString& fileName) override
        {
            if (library.refuse.contains(fileName.section(QLatin1Char('.'), 0, 0)))
                return Outcome<QString>::failure(QStringLiteral("refused ") + fileName);
            std::ifstream file(QFile::encodeName(working).toStdString(), std::ios::binary);
            const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            std::lock_guard lock(library.mutex);
            library.clips[fileName] = QByteArray::fromStdString(content);
            return library.root + QLatin1Char('/') + fileName;
        }

    private:
        FakeLibrary& library;
        QString working;
        int fd;
    };

    QString root;
    std::mutex mutex;
    int made = 0;
    std::map<QString, QByteArray> clips; // by the name each was given
};
