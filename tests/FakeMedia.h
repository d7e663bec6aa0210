#pragma once

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>
#include <map>
#include <mutex>
#include <vector>

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "ClipCutter.h"
#include "VideoLibrary.h"

// A cutter that writes a small file instead of a clip, or fails, or finds the range
// empty, as the test says for each range start. Records every call; thread-safe.
class FakeCutter final : public ClipCutter {
public:
    struct Call {
        QString source;
        double startTime = 0.0;
        double endTime = 0.0;
        CutOutput output;
        bool onMainThread = false;
    };

    CutResult cut(const QString& source, double startTime, double endTime, const CutOutput& output) override
    {
        const bool main = QThread::currentThread() == QCoreApplication::instance()->thread();
        std::this_thread::sleep_for(delay);
        std::lock_guard lock(mutex);
        calls.push_back({source, startTime, endTime, output, main});
        for (const auto& [start, why] : failures) {
            if (std::abs(start - startTime) < 0.1)
                return CutResult::failed(why);
        }
        for (const double start : empties) {
            if (std::abs(start - startTime) < 0.1)
                return CutResult::empty();
        }
        // No QFile here: a Qt object made on the generator's own threads would tie
        // Qt's bookkeeping to threads that come and go with each test's generator.
        std::ofstream file(QFile::encodeName(output.path).toStdString(), std::ios::binary | std::ios::trunc);
        file << "clip from " << QByteArray::number(startTime).toStdString();
        if (!file.flush())
            return CutResult::failed(QStringLiteral("cannot write ") + output.path);
        return CutResult::written(QStringLiteral("mp4"));
    }

    std::vector<Call> recorded()
    {
        std::lock_guard lock(mutex);
        return calls;
    }

    std::map<double, QString> failures; // start time (within 0.1 s) -> error
    std::vector<double> empties;        // start times
    std::chrono::milliseconds delay{0}; // how long each cut takes

private:
    std::mutex mutex;
    std::vector<Call> calls;
};

// A library folder that takes every clip under its name or "name (n).mp4", unless
// told to refuse that name, or to refuse every export at the start.
class FakeLibrary final : public VideoLibrary {
public:
    explicit FakeLibrary(QString folder)
        : root(std::move(folder))
    {
    }

    QString folder() const override { return root; }

    Outcome<void> prepare(qint64) override
    {
        if (!refuseExports.isEmpty())
            return Outcome<void>::failure(refuseExports);
        QDir().mkpath(root);
        return {};
    }

    Outcome<std::unique_ptr<WorkingFile>> createWorkingFile() override
    {
        std::lock_guard lock(mutex);
        return std::unique_ptr<WorkingFile>(
            std::make_unique<File>(*this, QStringLiteral("%1/.working-%2").arg(root).arg(++made)));
    }

    void stop() override {}

    QStringList refuse; // names without extension
    QString refuseExports;

private:
    class File final : public WorkingFile {
    public:
        File(FakeLibrary& owner, QString name)
            : library(owner)
            , working(std::move(name))
        {
        }
        ~File() override { std::remove(QFile::encodeName(working).constData()); }
        QString path() const override { return working; }
        Outcome<QString> publish(const QString& fileName) override
        {
            std::lock_guard lock(library.mutex);
            const QString base = QFileInfo(fileName).completeBaseName();
            if (library.refuse.contains(base))
                return Outcome<QString>::failure(QStringLiteral("refused ") + fileName);
            QString target = library.root + QLatin1Char('/') + fileName;
            for (int n = 2; ::access(QFile::encodeName(target).constData(), F_OK) == 0; ++n)
                target = QStringLiteral("%1/%2 (%3).mp4").arg(library.root, base).arg(n);
            if (std::rename(QFile::encodeName(working).constData(), QFile::encodeName(target).constData()) != 0)
                return Outcome<QString>::failure(QStringLiteral("cannot rename ") + working);
            return target;
        }

    private:
        FakeLibrary& library;
        QString working;
    };

    QString root;
    std::mutex mutex;
    int made = 0;
};
