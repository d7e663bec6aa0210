#include "FolderVideoLibrary.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "MediaProbe.h"
#include "MediaLog.h"
#include "TaskPool.h"

namespace {

constexpr int MAX_NAME_ATTEMPTS = 10000;

class FileDescriptor final {
public:
    explicit FileDescriptor(int descriptor = -1)
        : fd(descriptor)
    {
    }
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd; }
    bool valid() const { return fd >= 0; }

private:
    int fd;
};

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString candidateName(const QFileInfo& clip, int attempt)
{
    const QString suffix = clip.suffix().isEmpty() ? QString() : QLatin1Char('.') + clip.suffix();
    if (attempt == 1)
        return clip.completeBaseName() + suffix;
    return QStringLiteral("%1 (%2)%3").arg(clip.completeBaseName()).arg(attempt).arg(suffix);
}

// Copies all of source into target: a reflink where the filesystem shares extents,
// else the kernel's own copy, else plain reads and writes.
bool copyContents(int source, int target, int* error)
{
    if (::ioctl(target, FICLONE, source) == 0)
        return true;
    struct stat info {};
    if (::fstat(source, &info) != 0) {
        *error = errno;
        return false;
    }
    off_t remaining = info.st_size;
    bool kernelCopy = true;
    while (remaining > 0 && kernelCopy) {
        const ssize_t copied = ::copy_file_range(source, nullptr, target, nullptr, size_t(remaining), 0);
        if (copied > 0) {
            remaining -= copied;
        } else if (copied == 0) {
            break;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
            kernelCopy = false;
        } else {
            *error = errno;
            return false;
        }
    }
    if (remaining > 0) {
        const off_t done = info.st_size - remaining;
        if (::lseek(source, done, SEEK_SET) < 0 || ::lseek(target, done, SEEK_SET) < 0) {
            *error = errno;
            return false;
        }
        std::vector<char> buffer(1 << 20);
        for (;;) {
            const ssize_t got = ::read(source, buffer.data(), buffer.size());
            if (got == 0)
                break;
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                *error = errno;
                return false;
            }
            for (ssize_t written = 0; written < got;) {
                const ssize_t put = ::write(target, buffer.data() + written, size_t(got - written));
                if (put < 0) {
                    if (errno == EINTR)
                        continue;
                    *error = errno;
                    return false;
                }
                written += put;
            }
        }
    }
    if (::fsync(target) != 0) {
        *error = errno;
        return false;
    }
    return true;
}

// Moves a complete temporary file to the first free name, for filesystems without
// hard links. RENAME_NOREPLACE keeps it from replacing anything.
QString claimNameByRename(const QDir& folder, const QFileInfo& clip, const QByteArray& temporary, int* error)
{
    for (int attempt = 1; attempt <= MAX_NAME_ATTEMPTS; ++attempt) {
        const QString target = folder.filePath(candidateName(clip, attempt));
        const QByteArray encoded = QFile::encodeName(target);
        if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, encoded.constData(), RENAME_NOREPLACE) == 0)
            return target;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL) {
            *error = errno;
            return {};
        }
        // The filesystem cannot promise not to replace (network filesystems): a hard
        // link can, where it has them.
        if (::link(temporary.constData(), encoded.constData()) == 0) {
            ::unlink(temporary.constData());
            return target;
        }
        if (errno == EEXIST)
            continue;
        if (errno != EPERM && errno != EOPNOTSUPP) {
            *error = errno;
            return {};
        }
        // No hard links either: look first, which leaves only a tiny window.
        if (QFileInfo::exists(target))
            continue;
        if (::rename(temporary.constData(), encoded.constData()) == 0)
            return target;
        *error = errno;
        return {};
    }
    *error = EEXIST;
    return {};
}

// Gives an existing file (named by path) the first free name in the folder without
// ever replacing anything. Returns the path taken, or empty with *error set.
QString claimName(const QDir& folder, const QFileInfo& clip, const QByteArray& existing, int* error)
{
    for (int attempt = 1; attempt <= MAX_NAME_ATTEMPTS; ++attempt) {
        const QString target = folder.filePath(candidateName(clip, attempt));
        const QByteArray encoded = QFile::encodeName(target);
        // Following the link is what gives a /proc/self/fd name its file.
        if (::linkat(AT_FDCWD, existing.constData(), AT_FDCWD, encoded.constData(), AT_SYMLINK_FOLLOW) == 0)
            return target;
        if (errno != EEXIST) {
            *error = errno;
            return {};
        }
    }
    *error = EEXIST;
    return {};
}

// Copies the clip into the library folder and names it there. Preferably into an
// unnamed file, so that nothing is visible until it is whole and nothing is left
// behind if we are stopped half way; where the filesystem has no unnamed files, into a
// hidden temporary one that is renamed when complete and removed on failure.
QString placeCopy(const QDir& folder, const QFileInfo& clip, int input, int* error)
{
    const QByteArray root = QFile::encodeName(folder.absolutePath());
    FileDescriptor unnamed(::open(root.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
    if (unnamed.valid()) {
        if (!copyContents(input, unnamed.get(), error))
            return {};
        const QByteArray path = QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(unnamed.get());
        QString placed = claimName(folder, clip, path, error);
        if (!placed.isEmpty() || (*error != EPERM && *error != EOPNOTSUPP))
            return placed;
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        *error = errno;
        return {};
    }

    *error = 0;
    for (int attempt = 0; attempt < MAX_NAME_ATTEMPTS; ++attempt) {
        const QByteArray temporary = QFile::encodeName(
            folder.filePath(QStringLiteral(".%1.%2.part").arg(clip.fileName()).arg(attempt)));
        FileDescriptor output(::open(temporary.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644));
        if (!output.valid()) {
            if (errno == EEXIST)
                continue;
            *error = errno;
            return {};
        }
        QString placed;
        if (copyContents(input, output.get(), error))
            placed = claimNameByRename(folder, clip, temporary, error);
        if (placed.isEmpty())
            ::unlink(temporary.constData());
        return placed;
    }
    *error = EEXIST;
    return {};
}

} // namespace

FolderVideoLibrary::FolderVideoLibrary(QString folder)
    : root(std::move(folder))
{
}

QString FolderVideoLibrary::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation) + QStringLiteral("/Trimora");
}

FolderVideoLibrary::~FolderVideoLibrary() = default;

void FolderVideoLibrary::addVideo(const QString& workingFile, Completion completion)
{
    std::lock_guard lock(poolMutex);
    if (!pool)
        pool = std::make_unique<TaskPool>(2);
    pool->run([this, workingFile, completion = std::move(completion)] {
        Outcome<QString> result = importFile(workingFile);
        postToMainThread([completion, result] { completion(result); });
    });
}

void FolderVideoLibrary::waitForImports()
{
    std::lock_guard lock(poolMutex);
    if (pool)
        pool->waitForDone();
}

Outcome<QString> FolderVideoLibrary::importFile(const QString& workingFile) const
{
    const QFileInfo clip(workingFile);
    auto refuse = [&](const QString& why) {
        return Outcome<QString>::failure(
            QStringLiteral("Could not add '%1' to the video library: %2. The clip is kept at '%3'.")
                .arg(clip.fileName(), why, QDir::toNativeSeparators(clip.absoluteFilePath())));
    };

    const Outcome<VideoInfo> probe = probeVideo(workingFile);
    if (!probe)
        return refuse(QStringLiteral("it is not a readable video (%1)").arg(probe.error()));

    QDir folder(root);
    if (!folder.exists() && !QDir().mkpath(root))
        return refuse(QStringLiteral("the folder '%1' cannot be created").arg(QDir::toNativeSeparators(root)));

    const QByteArray source = QFile::encodeName(clip.absoluteFilePath());
    int error = 0;
    // Same filesystem: a second name for the same data, made in one step.
    QString placed = claimName(folder, clip, source, &error);
    if (placed.isEmpty() && (error == EXDEV || error == EPERM || error == EMLINK || error == EOPNOTSUPP)) {
        error = 0;
        FileDescriptor input(::open(source.constData(), O_RDONLY | O_CLOEXEC));
        if (!input.valid())
            return refuse(systemError(errno));
        placed = placeCopy(folder, clip, input.get(), &error);
    }
    if (placed.isEmpty()) {
        qCInfo(lcMedia) << "link failed into" << root << systemError(error);
        if (error == ENOSPC || error == EDQUOT)
            return refuse(QStringLiteral("there is not enough space in '%1'").arg(QDir::toNativeSeparators(root)));
        if (error == EEXIST)
            return refuse(QStringLiteral("every name for it is taken"));
        return refuse(QStringLiteral("'%1': %2").arg(QDir::toNativeSeparators(root), systemError(error)));
    }

    // The library holds the clip: the working copy can go, and with it the folder the
    // cutter made for it in the cache (only there, and only when empty).
    QFile::remove(clip.absoluteFilePath());
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!cache.isEmpty() && clip.absolutePath().startsWith(cache + QLatin1Char('/')))
        QDir().rmdir(clip.absolutePath());
    return placed;
}
