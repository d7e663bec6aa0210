#pragma once

#include <map>
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
        QString folder;
        QString baseName;
        bool onMainThread = false;
    };

    CutResult cut(const QString& source, double startTime, double endTime, const QString& outputFolder,
                  const QString& baseName, CutMode = CutMode::Exact) override
    {
        const bool main = QThread::currentThread() == QCoreApplication::instance()->thread();
        std::lock_guard lock(mutex);
        calls.push_back({source, startTime, endTime, outputFolder, baseName, main});
        if (failures.count(baseName))
            return CutResult::failed(failures.at(baseName));
        if (empties.count(baseName))
            return CutResult::empty();
        const QString path = QDir(outputFolder).filePath(baseName + QStringLiteral(".mp4"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return CutResult::failed(QStringLiteral("cannot write ") + path);
        file.write("clip " + baseName.toUtf8());
        return CutResult::written(path);
    }

    std::vector<Call> recorded()
    {
        std::lock_guard lock(mutex);
        return calls;
    }

    std::map<QString, QString> failures; // name -> error
    std::map<QString, bool> empties;

private:
    std::mutex mutex;
    std::vector<Call> calls;
};

// A library that takes every file (moving it into its folder) unless told to refuse
// it, answering on the main thread as the real one does.
class FakeLibrary final : public VideoLibrary {
public:
    explicit FakeLibrary(QString root)
        : folder(std::move(root))
    {
    }

    void addVideo(const QString& workingFile, Completion completion) override
    {
        added << workingFile;
        Outcome<QString> result = Outcome<QString>::failure(QStringLiteral("refused ") + workingFile);
        if (!refuse.contains(QFileInfo(workingFile).completeBaseName())) {
            QDir().mkpath(folder);
            QString target = QDir(folder).filePath(QFileInfo(workingFile).fileName());
            for (int n = 2; QFileInfo::exists(target); ++n)
                target = QDir(folder).filePath(QStringLiteral("%1 (%2).mp4").arg(QFileInfo(workingFile).completeBaseName()).arg(n));
            if (QFile::rename(workingFile, target))
                result = target;
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [completion, result] { completion(result); }, Qt::QueuedConnection);
    }

    QString folder;
    QStringList refuse; // base names
    QStringList added;
};
