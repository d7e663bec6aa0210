#include "VideoGenerator.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include "ClipCutter.h"
#include "PlatformLog.h"
#include "TaskPool.h"

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

constexpr char LOCK_NAME[] = ".cutting";

// A cut's own folder under the working root, marked as in use for as long as the cut
// runs: a lock file, locked. Should the process stop half way, the file stays and its
// lock goes, which is how a later start knows the folder holds only a broken clip.
class WorkingFolder final {
public:
    WorkingFolder(const QString& root, QString* error)
    {
        if (!QDir().mkpath(root)) {
            *error = QStringLiteral("Could not create the working folder '%1'.").arg(QDir::toNativeSeparators(root));
            return;
        }
        QByteArray pattern = QFile::encodeName(root + QStringLiteral("/cut-XXXXXX"));
        if (!::mkdtemp(pattern.data())) {
            *error = QStringLiteral("Could not create a working folder in '%1': %2.")
                         .arg(QDir::toNativeSeparators(root), QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        path = QFile::decodeName(pattern);
        lock = ::open(QFile::encodeName(path + QLatin1Char('/') + QLatin1String(LOCK_NAME)).constData(),
                      O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        if (lock >= 0)
            ::flock(lock, LOCK_EX);
    }

    ~WorkingFolder()
    {
        if (lock >= 0)
            ::close(lock);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    // The cut is over and its clip (if any) is whole: the folder is no longer in use.
    void release(bool keep)
    {
        if (path.isEmpty())
            return;
        if (keep)
            QFile::remove(path + QLatin1Char('/') + QLatin1String(LOCK_NAME));
        else
            QDir(path).removeRecursively();
    }

    QString path;

private:
    int lock = -1;
};

// Removes the folders of cuts that were stopped half way (their lock file is there,
// but nobody holds its lock). Folders without a lock file hold finished clips the
// library refused, which the user was told about: those stay.
void sweepStoppedCuts(const QString& root)
{
    const QDir folder(root);
    for (const QString& name : folder.entryList({QStringLiteral("cut-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString lockPath = folder.filePath(name) + QLatin1Char('/') + QLatin1String(LOCK_NAME);
        if (!QFileInfo::exists(lockPath))
            continue;
        const int lock = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CLOEXEC);
        if (lock < 0)
            continue;
        if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
            qCInfo(lcPlatform) << "removing the remains of a stopped cut in" << folder.filePath(name);
            QDir(folder.filePath(name)).removeRecursively();
        }
        ::close(lock);
    }
}

} // namespace

VideoGenerator::VideoGenerator(ClipCutter& clipCutter, QString root)
    : cutter(clipCutter)
    , workingRoot(std::move(root))
    // Cutting is mostly reading and writing; two cuts at once keep the disk busy
    // without thrashing it.
    , pool(std::make_unique<TaskPool>(2))
{
    pool->run([root = workingRoot] { sweepStoppedCuts(root); });
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
    const CutMode mode = cutMode;
    const QString source = url.isLocalFile() ? url.toLocalFile() : url.toString();
    const double start = startTime.value_or(0.0);
    const double end = endTime.value_or(std::numeric_limits<double>::infinity());
    pool->run([this, name, mode, source, start, end, success = std::move(success), failure = std::move(failure),
                 empty = std::move(empty)] {
        QString error;
        WorkingFolder folder(workingRoot, &error);
        CutResult result = folder.path.isEmpty() ? CutResult::failed(error)
                                                 : cutter.cut(source, start, end, folder.path, name, mode);
        folder.release(result.kind == CutResult::Kind::Written);
        switch (result.kind) {
        case CutResult::Kind::Written:
            postToMainThread([success, clip = QUrl::fromLocalFile(result.path)] { success(clip); });
            break;
        case CutResult::Kind::Empty:
            postToMainThread([empty] { empty(); });
            break;
        case CutResult::Kind::Failed:
            qCInfo(lcPlatform) << "cut failed:" << result.error;
            postToMainThread([failure, why = result.error] { failure(why); });
            break;
        }
    });
}

void VideoGenerator::waitForCuts()
{
    pool->waitForDone();
}
