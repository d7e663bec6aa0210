#include "VideoGenerator.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <QThreadPool>

#include "ClipCutter.h"
#include "PlatformLog.h"

namespace {

struct CurrentCutter {
    std::mutex mutex;
    bool created = false;
    std::unique_ptr<ClipCutter> cutter;
};

CurrentCutter& currentCutter()
{
    static CurrentCutter holder;
    return holder;
}

// A new, empty folder under root that no other cut uses.
QString makeWorkingFolder(const QString& root, QString* error)
{
    if (!QDir().mkpath(root)) {
        *error = QStringLiteral("Could not create the working folder '%1'.").arg(QDir::toNativeSeparators(root));
        return {};
    }
    QByteArray pattern = QFile::encodeName(root + QStringLiteral("/cut-XXXXXX"));
    if (!::mkdtemp(pattern.data())) {
        *error = QStringLiteral("Could not create a working folder in '%1': %2.")
                     .arg(QDir::toNativeSeparators(root), QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    return QFile::decodeName(pattern);
}

void onMainThread(std::function<void()> work)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

} // namespace

VideoGenerator::VideoGenerator(ClipCutter& clipCutter, QString root)
    : cutter(clipCutter)
    , workingRoot(std::move(root))
    , pool(std::make_unique<QThreadPool>())
{
    // Cutting is mostly reading and writing; a couple of cuts at once keep the disk
    // busy without thrashing it.
    pool->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
}

VideoGenerator::~VideoGenerator()
{
    pool->waitForDone();
}

bool VideoGenerator::provideCurrentCutter(std::unique_ptr<ClipCutter> clipCutter)
{
    CurrentCutter& holder = currentCutter();
    const std::lock_guard lock(holder.mutex);
    if (holder.created || !clipCutter)
        return false;
    holder.cutter = std::move(clipCutter);
    return true;
}

VideoGenerator& VideoGenerator::current()
{
    static VideoGenerator generator = [] {
        CurrentCutter& holder = currentCutter();
        const std::lock_guard lock(holder.mutex);
        if (!holder.cutter)
            qFatal("VideoGenerator::current() used before its cutter was provided");
        holder.created = true;
        return VideoGenerator(*holder.cutter);
    }();
    return generator;
}

QString VideoGenerator::defaultWorkingRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/cuts");
}

void VideoGenerator::splitVideo(const QUrl& url, std::optional<double> startTime, std::optional<double> endTime,
                                Success success, Failure failure, Empty empty)
{
    const QString name = fileName;
    const QString source = url.isLocalFile() ? url.toLocalFile() : url.toString();
    const double start = startTime.value_or(0.0);
    const double end = endTime.value_or(std::numeric_limits<double>::infinity());
    pool->start([this, name, source, start, end, success = std::move(success), failure = std::move(failure),
                 empty = std::move(empty)] {
        QString error;
        const QString folder = makeWorkingFolder(workingRoot, &error);
        CutResult result = folder.isEmpty() ? CutResult::failed(error) : cutter.cut(source, start, end, folder, name);
        if (result.kind != CutResult::Kind::Written && !folder.isEmpty())
            QDir(folder).removeRecursively();
        switch (result.kind) {
        case CutResult::Kind::Written:
            onMainThread([success, clip = QUrl::fromLocalFile(result.path)] { success(clip); });
            break;
        case CutResult::Kind::Empty:
            onMainThread([empty] { empty(); });
            break;
        case CutResult::Kind::Failed:
            qCInfo(lcPlatform) << "cut failed:" << result.error;
            onMainThread([failure, why = result.error] { failure(why); });
            break;
        }
    });
}

void VideoGenerator::waitForCuts()
{
    pool->waitForDone();
}
