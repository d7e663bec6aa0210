#include "FolderVideoLibrary.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>

#include <dirent.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QStandardPaths>

#include "FfmpegSupport.h"
#include "MediaLog.h"
#include "MediaProbe.h"

namespace {

constexpr int MAX_NAME_ATTEMPTS = 10000;
constexpr char LOCK_NAME[] = ".trimora.lock";
constexpr char PART_PREFIX[] = ".trimora-";
constexpr char PART_SUFFIX[] = ".part";

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

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

QString candidateName(const QString& fileName, int attempt)
{
    if (attempt == 1)
        return fileName;
    const QFileInfo clip(fileName);
    const QString suffix = clip.suffix().isEmpty() ? QString() : QLatin1Char('.') + clip.suffix();
    return QStringLiteral("%1 (%2)%3").arg(clip.completeBaseName()).arg(attempt).arg(suffix);
}

// When a process started, in clock ticks since boot: with its id, it tells a process
// apart from a later one that was given the same id.
std::optional<qulonglong> processStart(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    // The command name, in parentheses, may hold spaces: count fields after it. The
    // start time is the 22nd field, the 20th after the name.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 1).simplified().split(' ');
    bool ok = false;
    const qulonglong start = fields.value(19).toULongLong(&ok);
    return ok ? std::optional(start) : std::nullopt;
}

const QString& hostTag()
{
    static const QString tag = [] {
        char name[256] = {};
        ::gethostname(name, sizeof name - 1);
        QString letters;
        for (const char c : QByteArray(name)) {
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
                letters += QLatin1Char(c);
        }
        return letters.isEmpty() ? QStringLiteral("host") : letters.left(24);
    }();
    return tag;
}

// "HOST-PID-START": whose working file it is. A library may be shared between
// machines, so a process id means something only on its own host.
const QString& ownerMark()
{
    static const QString mark = QStringLiteral("%1-%2-%3")
                                    .arg(hostTag())
                                    .arg(::getpid())
                                    .arg(processStart(::getpid()).value_or(0));
    return mark;
}

// Whether a name is a working file of one of our processes on this host that is gone.
bool isLeftover(const QString& name)
{
    if (!name.startsWith(QLatin1String(PART_PREFIX)) || !name.endsWith(QLatin1String(PART_SUFFIX)))
        return false;
    const QStringList fields = name.mid(int(std::strlen(PART_PREFIX)))
                                   .chopped(int(std::strlen(PART_SUFFIX)))
                                   .split(QLatin1Char('-'));
    if (fields.size() != 4 || fields[0] != hostTag())
        return false;
    bool pidOk = false;
    bool startOk = false;
    const qint64 pid = fields[1].toLongLong(&pidOk);
    const qulonglong start = fields[2].toULongLong(&startOk);
    if (!pidOk || !startOk || pid <= 0)
        return false;
    // Gone: no process has that id, or one does that started at another time (the id
    // was used again). A process we may not look at, or a start time that could not be
    // read when the file was made, proves nothing, and the file stays.
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return true;
    const std::optional<qulonglong> running = processStart(pid);
    return running && start != 0 && *running != start;
}

// The library's lock, held by whoever gives a clip its name on a filesystem that
// cannot refuse to replace a file by itself. An advisory lock on a lock file: locks
// on open files reach the server on NFS and SMB, and are the kernel's own on FUSE.
class NamingLock final {
public:
    explicit NamingLock(const QString& root)
        : fd(::open(encoded(root + QLatin1Char('/') + QLatin1String(LOCK_NAME)).constData(),
                    O_RDWR | O_CREAT | O_CLOEXEC, 0644))
    {
        if (!fd.valid()) {
            failure = errno;
            qCWarning(lcMedia) << "cannot open the library's lock file in" << root << systemError(failure);
            return;
        }
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        int status;
        while ((status = ::fcntl(fd.get(), F_OFD_SETLKW, &whole)) != 0 && errno == EINTR) {
        }
        if (status == 0) {
            held = true;
            return;
        }
        while ((status = ::flock(fd.get(), LOCK_EX)) != 0 && errno == EINTR) {
        }
        held = status == 0;
        if (!held) {
            failure = errno;
            qCWarning(lcMedia) << "cannot lock the library's lock file in" << root << systemError(failure);
        }
    }

    int error() const { return failure; }
    bool locked() const { return held; }

private:
    FileDescriptor fd; // closing it lets the lock go
    bool held = false;
    int failure = 0;
};

enum class NamingWay { Unknown, RenameNoReplace, HardLink, CheckedRename };

} // namespace

struct FolderVideoLibrary::State {
    QString root;
    std::mutex mutex;
    bool stopped = false;
    std::set<QString> parts; // working files with a name, not yet published or removed
    std::atomic<bool> unnamedFiles{true}; // until the filesystem says it has none
    std::atomic<NamingWay> naming{NamingWay::Unknown};

    // Gives the whole working file `part` the first free name; the lock is held.
    QString claimByRename(const QString& fileName, const QByteArray& part, int* error);
    // Gives the unnamed file reached through `proc` the first free name.
    QString claimByLink(const QString& fileName, const QByteArray& proc, int* error);
};

QString FolderVideoLibrary::State::claimByLink(const QString& fileName, const QByteArray& proc, int* error)
{
    for (int attempt = 1; attempt <= MAX_NAME_ATTEMPTS; ++attempt) {
        const QString target = root + QLatin1Char('/') + candidateName(fileName, attempt);
        // Following the link is what gives a /proc/self/fd name its file.
        if (::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, encoded(target).constData(), AT_SYMLINK_FOLLOW) == 0)
            return target;
        if (errno != EEXIST) {
            *error = errno;
            return {};
        }
    }
    *error = EEXIST;
    return {};
}

QString FolderVideoLibrary::State::claimByRename(const QString& fileName, const QByteArray& part, int* error)
{
    for (int attempt = 1; attempt <= MAX_NAME_ATTEMPTS; ++attempt) {
        const QString target = root + QLatin1Char('/') + candidateName(fileName, attempt);
        const QByteArray name = encoded(target);
        NamingWay way = naming.load();
        if (way == NamingWay::Unknown || way == NamingWay::RenameNoReplace) {
            if (::renameat2(AT_FDCWD, part.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE) == 0) {
                naming = NamingWay::RenameNoReplace;
                return target;
            }
            if (errno == EEXIST)
                continue;
            if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
                *error = errno;
                return {};
            }
            way = NamingWay::HardLink; // the filesystem cannot promise not to replace
        }
        if (way == NamingWay::HardLink) {
            if (::link(part.constData(), name.constData()) == 0) {
                ::unlink(part.constData());
                naming = NamingWay::HardLink;
                return target;
            }
            if (errno == EEXIST)
                continue;
            if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS && errno != EMLINK) {
                *error = errno;
                return {};
            }
            way = NamingWay::CheckedRename;
        }
        // No way to refuse replacing: every Trimora process names clips here only under
        // the lock, so a name seen free stays free until the rename.
        naming = NamingWay::CheckedRename;
        struct stat existing {};
        if (::lstat(name.constData(), &existing) == 0)
            continue;
        if (errno != ENOENT) {
            *error = errno;
            return {};
        }
        if (::rename(part.constData(), name.constData()) == 0)
            return target;
        *error = errno;
        return {};
    }
    *error = EEXIST;
    return {};
}

namespace {

class FolderWorkingFile final : public VideoLibrary::WorkingFile {
public:
    // Either an unnamed file (fd) or a named one (part).
    FolderWorkingFile(std::shared_ptr<FolderVideoLibrary::State> library, int fd, QString part)
        : state(std::move(library))
        , unnamed(fd)
        , partName(std::move(part))
    {
    }

    ~FolderWorkingFile() override
    {
        if (partName.isEmpty() || published)
            return;
        const std::lock_guard lock(state->mutex);
        // Gone already when a stop removed it.
        if (state->parts.erase(partName) > 0)
            ::unlink(encoded(partName).constData());
    }
    FolderWorkingFile(const FolderWorkingFile&) = delete;
    FolderWorkingFile& operator=(const FolderWorkingFile&) = delete;

    QString path() const override
    {
        return unnamed.valid() ? QStringLiteral("/proc/self/fd/%1").arg(unnamed.get()) : partName;
    }

    Outcome<QString> publish(const QString& fileName) override;

private:
    std::shared_ptr<FolderVideoLibrary::State> state;
    FileDescriptor unnamed;
    QString partName;
    bool published = false;
};

Outcome<QString> FolderWorkingFile::publish(const QString& fileName)
{
    auto refuse = [&](const QString& why) {
        return Outcome<QString>::failure(
            QCoreApplication::translate("FolderVideoLibrary", "Could not add '%1' to the video library: %2.")
                .arg(fileName, why));
    };
    const Outcome<VideoInfo> probe = probeVideo(path());
    if (!probe) {
        // The probe names the working file, which may be an unnamed "/proc/self/fd/N":
        // the user knows it by the clip's name.
        QString why = probe.error();
        why.replace(QLatin1Char('\'') + displayName(path()) + QLatin1Char('\''), QLatin1Char('\'') + fileName + QLatin1Char('\''));
        return refuse(QCoreApplication::translate("FolderVideoLibrary", "it is not a readable video (%1)").arg(why));
    }
    {
        // On the disk before it has a name, so that not even a power loss leaves a
        // partial clip under a final name.
        FileDescriptor written(::open(encoded(path()).constData(), O_RDONLY | O_CLOEXEC));
        if (!written.valid() || ::fsync(written.get()) != 0) {
            const int error = errno;
            return refuse(QStringLiteral("'%1': %2").arg(shown(state->root), systemError(error)));
        }
    }
    // Taken before the library's own mutex, so that a stop never waits on another
    // process (or a slow server) holding the lock.
    std::optional<NamingLock> naming;
    if (!unnamed.valid()) {
        naming.emplace(state->root);
        if (!naming->locked()) {
            return refuse(QCoreApplication::translate("FolderVideoLibrary", "the folder '%1' cannot be locked (%2)")
                              .arg(shown(state->root), systemError(naming->error())));
        }
    }

    const std::lock_guard lock(state->mutex);
    if (state->stopped)
        return refuse(QCoreApplication::translate("FolderVideoLibrary", "saving was stopped"));
    int error = 0;
    QString placed;
    if (unnamed.valid()) {
        placed = state->claimByLink(fileName, encoded(path()), &error);
        // Unnamed files that cannot be given a name: the next clips get named ones.
        if (placed.isEmpty() && (error == EPERM || error == EOPNOTSUPP || error == EXDEV || error == ENOENT))
            state->unnamedFiles = false;
    } else {
        placed = state->claimByRename(fileName, encoded(partName), &error);
        if (!placed.isEmpty())
            state->parts.erase(partName);
    }
    if (placed.isEmpty()) {
        qCInfo(lcMedia) << "naming a clip failed in" << state->root << systemError(error);
        if (error == ENOSPC || error == EDQUOT)
            return refuse(QCoreApplication::translate("FolderVideoLibrary", "there is not enough space in '%1'")
                              .arg(shown(state->root)));
        if (error == EEXIST)
            return refuse(QCoreApplication::translate("FolderVideoLibrary", "every name for it is taken"));
        return refuse(QStringLiteral("'%1': %2").arg(shown(state->root), systemError(error)));
    }
    published = true;
    return placed;
}

// Makes the folder and those above it; 0, or why not.
int makeFolder(const QString& path)
{
    struct stat info {};
    if (::stat(encoded(path).constData(), &info) == 0)
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path) {
        if (const int error = makeFolder(parent))
            return error;
    }
    if (::mkdir(encoded(path).constData(), 0777) == 0 || errno == EEXIST)
        return 0;
    return errno;
}

QString dataSize(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

} // namespace

FolderVideoLibrary::FolderVideoLibrary(QString folder)
    : state(std::make_shared<State>())
{
    state->root = QDir::cleanPath(QDir(folder).absolutePath());
}

FolderVideoLibrary::~FolderVideoLibrary() = default;

QString FolderVideoLibrary::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation) + QStringLiteral("/Trimora");
}

QString FolderVideoLibrary::folder() const
{
    return state->root;
}

Outcome<void> FolderVideoLibrary::prepare(qint64 bytes)
{
    const QString& root = state->root;
    auto refuse = [&root](const QString& why) {
        return Outcome<void>::failure(
            QCoreApplication::translate("FolderVideoLibrary", "Cannot save clips to '%1': %2.").arg(shown(root), why));
    };
    if (const int error = makeFolder(root)) {
        if (error == ENOTDIR)
            return refuse(QCoreApplication::translate("FolderVideoLibrary", "it is not a folder"));
        return refuse(QCoreApplication::translate("FolderVideoLibrary", "the folder cannot be made (%1)")
                          .arg(systemError(error)));
    }
    removeLeftovers();
    // The one sure test of being allowed to write there is writing there.
    const Outcome<std::unique_ptr<WorkingFile>> probe = createWorkingFile();
    if (!probe)
        return Outcome<void>::failure(probe.error());
    struct statvfs disk {};
    if (::statvfs(encoded(root).constData(), &disk) == 0) {
        const qint64 available = qint64(disk.f_bavail) * qint64(disk.f_frsize);
        if (available < bytes) {
            return refuse(QCoreApplication::translate(
                "FolderVideoLibrary", "there is not enough space: the clips need about %1, and %2 is free")
                              .arg(dataSize(bytes), dataSize(available)));
        }
    }
    return {};
}

Outcome<std::unique_ptr<VideoLibrary::WorkingFile>> FolderVideoLibrary::createWorkingFile()
{
    using Result = Outcome<std::unique_ptr<WorkingFile>>;
    const QString& root = state->root;
    {
        const std::lock_guard lock(state->mutex);
        if (state->stopped)
            return Result::failure(QCoreApplication::translate("FolderVideoLibrary", "Saving was stopped."));
    }
    auto refuse = [&root](int error) {
        if (error == ENOSPC || error == EDQUOT)
            return Result::failure(QCoreApplication::translate(
                "FolderVideoLibrary", "Cannot save clips to '%1': there is not enough space.")
                                       .arg(shown(root)));
        return Result::failure(QCoreApplication::translate("FolderVideoLibrary", "Cannot save clips to '%1': %2.")
                                   .arg(shown(root), systemError(error)));
    };
    if (state->unnamedFiles) {
        const int fd = ::open(encoded(root).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd >= 0) {
            auto file = std::make_unique<FolderWorkingFile>(state, fd, QString());
            // Naming it later goes through /proc; without /proc, a named file it is.
            if (::access(encoded(file->path()).constData(), F_OK) == 0)
                return Result(std::move(file));
            state->unnamedFiles = false;
        } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
            state->unnamedFiles = false;
        } else {
            return refuse(errno);
        }
    }

    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString part = root + QLatin1Char('/') + QLatin1String(PART_PREFIX) + ownerMark() + QLatin1Char('-')
            + QString::number(QRandomGenerator::global()->generate64() & 0xffffffffffULL, 36) + QLatin1String(PART_SUFFIX);
        const std::lock_guard lock(state->mutex);
        if (state->stopped)
            return Result::failure(QCoreApplication::translate("FolderVideoLibrary", "Saving was stopped."));
        const int fd = ::open(encoded(part).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return refuse(errno);
        }
        ::close(fd);
        state->parts.insert(part);
        return Result(std::make_unique<FolderWorkingFile>(state, -1, part));
    }
    return refuse(EEXIST);
}

void FolderVideoLibrary::stop()
{
    const std::lock_guard lock(state->mutex);
    state->stopped = true;
    for (const QString& part : state->parts)
        ::unlink(encoded(part).constData());
    state->parts.clear();
}

void FolderVideoLibrary::removeLeftovers() const
{
    DIR* folder = ::opendir(encoded(state->root).constData());
    if (!folder)
        return;
    while (const dirent* entry = ::readdir(folder)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!isLeftover(name))
            continue;
        qCInfo(lcMedia) << "removing the working file of a stopped export:" << name;
        ::unlinkat(::dirfd(folder), entry->d_name, 0);
    }
    ::closedir(folder);
}
