#pragma once

#include <mutex>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "ClipCutter.h"
#include "VideoLibrary.h"

// A cutter that writes a small file instead of a clip, or fails, or finds the range
// empty, as the test says for each clip name. Records every call; thread-safe.
class FakeCutter final : public ClipCutter {
public:
    struct Call {
        QString source;
        double startTime = 0.0;
        double endTime = 0.0;
        QString baseName;
        bool onMainThread = false;
        CutMode mode = CutMode::Exact;
    };

    CutResult cut(const QString& source, double startTime, double endTime, const QString& outputFolder,
                  const QString& baseName, CutMode mode = CutMode::Exact) override
    {
        const bool main = QThread::currentThread() == QCoreApplication::instance()->thread();
        std::lock_guard lock(mutex);
        calls.push_back({source, startTime, endTime, baseName, main, mode});
        if (failures.contains(baseName))
            return CutResult::failed(QStringLiteral("The clip could not be cut."));
        if (empties.contains(baseName))
            return CutResult::empty();
        QFile file(QDir(outputFolder).filePath(baseName + QStringLiteral(".mp4")));
        if (!file.open(QIODevice::WriteOnly))
            return CutResult::failed(QStringLiteral("cannot write ") + file.fileName());
        file.write("clip " + baseName.toUtf8());
        return CutResult::written(file.fileName());
    }

    // By base name, sorted: the cuts run in any order.
    std::vector<Call> recorded()
    {
        std::lock_guard lock(mutex);
        std::vector<Call> sorted = calls;
        std::sort(sorted.begin(), sorted.end(), [](const Call& a, const Call& b) { return a.baseName < b.baseName; });
        return sorted;
    }

    QStringList failures; // base names
    QStringList empties;

private:
    std::mutex mutex;
    std::vector<Call> calls;
};

// A library that takes every clip unless told to refuse it, answering on the main
// thread as the real one does.
class FakeLibrary final : public VideoLibrary {
public:
    void addVideo(const QString& workingFile, Completion completion) override
    {
        const QString name = QFileInfo(workingFile).completeBaseName();
        Outcome<QString> result = Outcome<QString>::failure(QStringLiteral("refused ") + name);
        if (!refuse.contains(name)) {
            ++taken;
            result = workingFile;
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [completion, result] { completion(result); }, Qt::QueuedConnection);
    }

    QStringList refuse; // base names
    int taken = 0;
};
