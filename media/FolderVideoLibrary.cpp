#include "FolderVideoLibrary.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include <dirent.h>
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
#include <QRegularExpression>
#include <QStandardPaths>

#include "FfmpegSupport.h"
#include "FileNames.h"
#include "MediaLog.h"
#include "MediaProbe.h"

namespace {

using namespace std::chrono_literals;

constexpr int MAX_NAME_ATTEMPTS = 10000;
constexpr char LOCK_NAME[] = ".trimora.lock";
constexpr char PART_PREFIX[] = ".trimora-";
constexpr char PART_SUFFIX[] = ".part";
constexpr char CLAIM_SUFFIX[] = ".new";
// How long naming a clip waits for another process's lock before saying so.
constexpr auto LOCK_NOTICE_AFTER = 1s;
constexpr auto LOCK_POLL = 50ms;

class FileDescriptor final {
public:
    explicit FileDescriptor(int descriptor = -1)
        : fd(descriptor)
    {
    }
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd; }
    bool valid() const { return fd >= 0; }
    void reset(int descriptor = -1)
    {
        if (fd >= 0)
            ::close(fd);
        fd = descriptor;
    }
    int release() { return std::exchange(fd, -1); }

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
    return fileNameBytes(path);
}

QString candidateName(const QString& fileName, int attempt)
{
    if (attempt == 1)
        return fileName;
    const QFileInfo clip(fileName);
    const QString suffix = clip.suffix().isEmpty() ? QString() : QLatin1Char('.') + clip.suffix();
    return QStringLiteral("%1 (%2)%3").arg(clip.completeBaseName()).arg(attempt).arg(suffix);
}

// This machine, as 32 hex digits: its /etc/machine-id, or failing that the boot's id.
// It tells a person whose file a working file is; what proves its writer gone is the
// file's lock.
const QByteArray& machineTag()
{
    static const QByteArray tag = [] {
        for (const char* source : {"/etc/machine-id", "/proc/sys/kernel/random/boot_id"}) {
            QFile file(QString::fromLatin1(source));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray id = file.read(64).trimmed().toLower().replace('-', QByteArray());
            if (id.size() == 32 && std::all_of(id.begin(), id.end(), [](char c) { return std::isxdigit(uchar(c)); }))
                return id;
        }
        return QByteArray(32, '0');
    }();
    return tag;
}

enum class WorkingName { None, Part, Claim };

// ".trimora-", 32 hex digits, "-", a process id, "-", 8 of [0-9a-z], then ".part" or
// ".new": nothing else is ever taken for a working file of ours.
WorkingName workingName(const QByteArray& name)
{
    static const QRegularExpression grammar(
        QStringLiteral("^\\.trimora-[0-9a-f]{32}-[1-9][0-9]{0,9}-[0-9a-z]{8}\\.(part|new)$"));
    const QRegularExpressionMatch match = grammar.match(QString::fromLatin1(name));
    if (!match.hasMatch())
        return WorkingName::None;
    return match.capturedView(1) == QLatin1String("part") ? WorkingName::Part : WorkingName::Claim;
}

// Takes an exclusive lock of the whole open file without waiting: 0; EAGAIN when
// another holds it; else the error of a filesystem without working locks.
int tryLock(int descriptor)
{
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    int status;
    while ((status = ::fcntl(descriptor, F_OFD_SETLK, &whole)) != 0 && errno == EINTR) {
    }
    if (status == 0)
        return 0;
    return errno == EACCES ? EAGAIN : errno;
}

bool untouchedForADay(const struct stat& info)
{
    return std::time(nullptr) - info.st_mtime > 24 * 60 * 60;
}

// Flushes a folder's entries to the disk. Filesystems that cannot (some over FUSE or a
// network) keep their names as best they can.
void flushFolder(const QString& folder)
{
    const FileDescriptor fd(::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid() && ::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
        qCInfo(lcMedia) << "cannot flush the folder" << folder << systemError(errno);
}

enum class NamingWay { Unknown, RenameNoReplace, HardLink, CheckedRename };

} // namespace

struct FolderVideoLibrary::State {
    QString root;
    std::mutex mutex;
    std::atomic<bool> stopped{false}; // set under the mutex
    std::set<QString> parts;          // named working files, not yet published or removed
    std::atomic<bool> unnamedFiles{true}; // until the filesystem says it has none
    std::atomic<NamingWay> naming{NamingWay::Unknown};
    std::atomic<bool> noticeGiven{false};
    std::atomic<bool> lockAbandoned{false}; // another process held it past the limit
    std::function<void(const QString&)> waitNotice; // under the mutex

    // Gives the whole working file `part` the first free name; the lock is held.
    QString claimByRename(const QString& fileName, const QByteArray& part, int* error);
    // Gives the unnamed file reached through `proc` the first free name.
    QString claimByLink(const QString& fileName, const QByteArray& proc, int* error);
    // Takes the library's lock, for as long as `held` lives: 0, or why not (ETIMEDOUT
    // when another process held it past the limit, ECANCELED after a stop).
    int lockForNaming(FileDescriptor& held);
};

int FolderVideoLibrary::State::lockForNaming(FileDescriptor& held)
{
    // An advisory lock on a lock file: locks on open files reach the server on NFS and
    // SMB, and are the kernel's own on FUSE.
    held.reset(::open(encoded(root + QLatin1Char('/') + QLatin1String(LOCK_NAME)).constData(),
                      O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!held.valid())
        return errno;
    if (lockAbandoned)
        return ETIMEDOUT;
    const auto started = std::chrono::steady_clock::now();
    bool byFlock = false;
    for (;;) {
        int error = 0;
        if (!byFlock) {
            error = tryLock(held.get());
            byFlock = error != 0 && error != EAGAIN;
        }
        if (byFlock)
            error = ::flock(held.get(), LOCK_EX | LOCK_NB) == 0 ? 0 : errno == EWOULDBLOCK ? EAGAIN : errno;
        if (error == 0) {
            noticeGiven = false; // the next wait is said again
            return 0;
        }
        if (error != EAGAIN && error != EINTR)
            return error;
        if (stopped)
            return ECANCELED;
        const auto waited = std::chrono::steady_clock::now() - started;
        if (waited > LOCK_WAIT_LIMIT) {
            lockAbandoned = true;
            return ETIMEDOUT;
        }
        if (waited > LOCK_NOTICE_AFTER && !noticeGiven.exchange(true)) {
            // Under the mutex: after a stop, whoever set the notice may be gone.
            const std::lock_guard lock(mutex);
            if (waitNotice && !stopped)
                waitNotice(QCoreApplication::translate("FolderVideoLibrary",
                                                       "Waiting for another Trimora saving into '%1'...")
                               .arg(shown(root)));
        }
        std::this_thread::sleep_for(LOCK_POLL);
    }
}

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

// Why the library's folder could not be locked to name a clip.
QString lockProblem(const QString& root, int error)
{
    if (error == ECANCELED)
        return QCoreApplication::translate("FolderVideoLibrary", "saving was stopped");
    if (error == ETIMEDOUT) {
        // Counted apart: lupdate's parser never returns from a cast of a qualified name
        // among translate()'s arguments.
        const int seconds = static_cast<int>(FolderVideoLibrary::LOCK_WAIT_LIMIT.count());
        return QCoreApplication::translate(
                   "FolderVideoLibrary", "another program has kept the folder '%1' locked (its file %2) for over %n "
                                         "second(s); close it, or remove that file if no Trimora is running",
                   nullptr, seconds)
            .arg(shown(root), QLatin1String(LOCK_NAME));
    }
    return QCoreApplication::translate("FolderVideoLibrary", "the folder '%1' cannot be locked (%2)")
        .arg(shown(root), systemError(error));
}

// Why a finished clip could not be given its name in the folder.
QString namingProblem(const QString& root, int error)
{
    if (error == ENOSPC || error == EDQUOT)
        return QCoreApplication::translate("FolderVideoLibrary", "there is not enough space in '%1'").arg(shown(root));
    if (error == EEXIST)
        return QCoreApplication::translate("FolderVideoLibrary", "every name for it is taken");
    return QStringLiteral("'%1': %2").arg(shown(root), systemError(error));
}

class FolderWorkingFile final : public VideoLibrary::WorkingFile {
public:
    // Either an unnamed file or the named one `part`, open as fd.
    FolderWorkingFile(std::shared_ptr<FolderVideoLibrary::State> library, int fd, QString part)
        : state(std::move(library))
        , file(fd)
        , partName(std::move(part))
    {
    }

    ~FolderWorkingFile() override
    {
        // Closed before its name goes: a FUSE filesystem keeps a removed file that is
        // still open under a hidden name of its own.
        file.reset();
        if (partName.isEmpty() || published)
            return;
        const std::lock_guard lock(state->mutex);
        // Gone already when removeWorkingFiles() came first.
        if (state->parts.erase(partName) > 0)
            ::unlink(encoded(partName).constData());
    }
    FolderWorkingFile(const FolderWorkingFile&) = delete;
    FolderWorkingFile& operator=(const FolderWorkingFile&) = delete;

    int descriptor() const override { return file.get(); }

    Outcome<QString> publish(const QString& fileName) override;

private:
    // A name to read the file by: the unnamed one's only name is its descriptor's.
    QString path() const { return partName.isEmpty() ? QStringLiteral("/proc/self/fd/%1").arg(file.get()) : partName; }

    std::shared_ptr<FolderVideoLibrary::State> state;
    FileDescriptor file;
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
    const Outcome<void> probe = checkWrittenVideo(path());
    if (!probe) {
        // The probe names the working file, which the user knows by the clip's name.
        QString why = probe.error();
        why.replace(QLatin1Char('\'') + displayName(path()) + QLatin1Char('\''), QLatin1Char('\'') + fileName + QLatin1Char('\''));
        return refuse(QCoreApplication::translate("FolderVideoLibrary", "it is not a readable video (%1)").arg(why));
    }
    // On the disk before it has a name, so that not even a power loss leaves a partial
    // clip under a final name.
    if (::fsync(file.get()) != 0) {
        const int error = errno;
        return refuse(QStringLiteral("'%1': %2").arg(shown(state->root), systemError(error)));
    }
    // Taken before the library's own mutex, so that a stop never waits on another
    // process (or a slow server) holding the lock.
    FileDescriptor naming;
    if (!partName.isEmpty()) {
        if (const int error = state->lockForNaming(naming); error != 0)
            return refuse(lockProblem(state->root, error));
    }

    int error = 0;
    QString placed;
    {
        const std::lock_guard lock(state->mutex);
        if (state->stopped)
            return refuse(QCoreApplication::translate("FolderVideoLibrary", "saving was stopped"));
        if (partName.isEmpty()) {
            placed = state->claimByLink(fileName, encoded(path()), &error);
            // Unnamed files that cannot be given a name: the next clips get named ones.
            if (placed.isEmpty() && (error == EPERM || error == EOPNOTSUPP || error == EXDEV || error == ENOENT))
                state->unnamedFiles = false;
        } else {
            placed = state->claimByRename(fileName, encoded(partName), &error);
            if (!placed.isEmpty())
                state->parts.erase(partName);
        }
    }
    if (placed.isEmpty()) {
        qCInfo(lcMedia) << "naming a clip failed in" << state->root << systemError(error);
        return refuse(namingProblem(state->root, error));
    }
    published = true;
    flushFolder(state->root);
    return placed;
}

// Why a folder could not be made: the error, and the path it is about.
struct FolderProblem {
    int error = 0;
    QString where;
    QString danglingTarget; // where `where`, a link, points, when nothing is there
};

// Makes the folder and those above it.
FolderProblem makeFolder(const QString& path)
{
    struct stat info {};
    if (::stat(encoded(path).constData(), &info) == 0)
        return S_ISDIR(info.st_mode) ? FolderProblem{} : FolderProblem{ENOTDIR, path, {}};
    if (errno == ENOTDIR && QFileInfo(path).absolutePath() != path)
        return makeFolder(QFileInfo(path).absolutePath()); // a file above it is to blame
    if (errno != ENOENT)
        return {errno, path, {}};
    if (::lstat(encoded(path).constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // A link to nothing: making its target elsewhere would surprise more than help.
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(encoded(path).constData(), target.data(), size_t(target.size()));
        return {ENOENT, path, length > 0 ? fileNameFromBytes(target.left(length)) : path};
    }
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path) {
        if (FolderProblem problem = makeFolder(parent); problem.error)
            return problem;
    }
    if (::mkdir(encoded(path).constData(), 0777) == 0 || errno == EEXIST)
        return {};
    return {errno, path, {}};
}

QString dataSize(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

} // namespace

FolderVideoLibrary::FolderVideoLibrary(QString folder)
    : state(std::make_shared<State>())
{
    state->root = absoluteFileName(folder);
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

void FolderVideoLibrary::setWaitNotice(std::function<void(const QString&)> notice)
{
    const std::lock_guard lock(state->mutex);
    state->waitNotice = std::move(notice);
}

Outcome<void> FolderVideoLibrary::prepare(qint64 bytes)
{
    const QString& root = state->root;
    auto refuse = [&root](const QString& why) {
        return Outcome<void>::failure(
            QCoreApplication::translate("FolderVideoLibrary", "Cannot save clips to '%1': %2.").arg(shown(root), why));
    };
    if (const FolderProblem problem = makeFolder(root); problem.error) {
        if (!problem.danglingTarget.isEmpty())
            return refuse(QCoreApplication::translate("FolderVideoLibrary", "'%1' is a link to '%2', which does not exist")
                              .arg(shown(problem.where), shown(problem.danglingTarget)));
        if (problem.error == ENOTDIR && problem.where == root)
            return refuse(QCoreApplication::translate("FolderVideoLibrary", "it is not a folder"));
        if (problem.error == ENOTDIR)
            return refuse(QCoreApplication::translate("FolderVideoLibrary", "'%1' is a file, not a folder")
                              .arg(shown(problem.where)));
        return refuse(QCoreApplication::translate("FolderVideoLibrary", "the folder '%1' cannot be made (%2)")
                          .arg(shown(problem.where), systemError(problem.error)));
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

namespace {

// An unnamed working file in the folder: its descriptor, or -1 with errno set, to 0
// when the folder's filesystem cannot make one that can be named later.
int openUnnamed(const QString& root)
{
    const int fd = ::open(encoded(root).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
            errno = 0;
        return -1;
    }
    // Naming it later goes through /proc; without /proc, a named file it is.
    if (::access(QStringLiteral("/proc/self/fd/%1").arg(fd).toLatin1().constData(), F_OK) == 0)
        return fd;
    ::close(fd);
    errno = 0;
    return -1;
}

// A working file's name without its suffix: this machine's and this process's, and a
// random part.
QString newPartBase(const QString& root)
{
    return root + QLatin1Char('/') + QLatin1String(PART_PREFIX) + QLatin1String(machineTag()) + QLatin1Char('-')
        + QString::number(::getpid()) + QLatin1Char('-')
        + QString::number(QRandomGenerator::global()->bounded(Q_UINT64_C(2821109907456)), 36)
              .rightJustified(8, QLatin1Char('0'));
}

} // namespace

Outcome<std::unique_ptr<VideoLibrary::WorkingFile>> FolderVideoLibrary::createWorkingFile()
{
    using Result = Outcome<std::unique_ptr<WorkingFile>>;
    const QString& root = state->root;
    auto stoppedResult = [] {
        return Result::failure(QCoreApplication::translate("FolderVideoLibrary", "Saving was stopped."));
    };
    if (state->stopped)
        return stoppedResult();
    auto refuse = [&root](int error) {
        if (error == ENOSPC || error == EDQUOT)
            return Result::failure(QCoreApplication::translate(
                "FolderVideoLibrary", "Cannot save clips to '%1': there is not enough space.")
                                       .arg(shown(root)));
        return Result::failure(QCoreApplication::translate("FolderVideoLibrary", "Cannot save clips to '%1': %2.")
                                   .arg(shown(root), systemError(error)));
    };
    if (state->unnamedFiles) {
        const int fd = openUnnamed(root);
        if (fd >= 0)
            return Result(std::make_unique<FolderWorkingFile>(state, fd, QString()));
        if (errno != 0)
            return refuse(errno);
        state->unnamedFiles = false;
    }

    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString base = newPartBase(root);
        const QByteArray claim = encoded(base + QLatin1String(CLAIM_SUFFIX));
        const QByteArray part = encoded(base + QLatin1String(PART_SUFFIX));
        const std::lock_guard lock(state->mutex);
        if (state->stopped)
            return stoppedResult();
        FileDescriptor fd(::open(claim.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (!fd.valid()) {
            if (errno == EEXIST)
                continue;
            return refuse(errno);
        }
        // Locked for as long as it is open, and only then a ".part" the sweep looks at.
        // Without working locks on this filesystem the sweep waits a day instead. Another
        // Trimora's sweep may take an unlocked claim first (ours, between its making and
        // its locking, looks like one whose maker was killed there): it removes it, and
        // we claim another name.
        if (const int error = tryLock(fd.get()); error == EAGAIN)
            continue;
        else if (error != 0)
            qCInfo(lcMedia) << "working files cannot be locked in" << root << systemError(error);
        struct stat existing {};
        const bool renamed =
            ::renameat2(AT_FDCWD, claim.constData(), AT_FDCWD, part.constData(), RENAME_NOREPLACE) == 0
            || ((errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) && ::lstat(part.constData(), &existing) != 0
                && errno == ENOENT && ::rename(claim.constData(), part.constData()) == 0);
        if (!renamed) {
            const int error = errno;
            ::unlink(claim.constData());
            if (error == EEXIST || error == ENOENT) // ENOENT: a sweep removed it
                continue;
            return refuse(error);
        }
        const QString partName = fileNameFromBytes(part);
        state->parts.insert(partName);
        // The working file owns it from here.
        return Result(std::make_unique<FolderWorkingFile>(state, fd.release(), partName));
    }
    return refuse(EEXIST);
}

void FolderVideoLibrary::stop()
{
    const std::lock_guard lock(state->mutex);
    state->stopped = true;
}

void FolderVideoLibrary::removeWorkingFiles()
{
    const std::lock_guard lock(state->mutex);
    state->stopped = true;
    for (const QString& part : state->parts)
        ::unlink(encoded(part).constData());
    state->parts.clear();
}

void FolderVideoLibrary::removeLeftovers() const
{
    const int folderFd = ::open(encoded(state->root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return;
    DIR* folder = ::fdopendir(folderFd);
    if (!folder) {
        ::close(folderFd);
        return;
    }
    const uid_t me = ::geteuid();
    while (const dirent* entry = ::readdir(folder)) {
        const WorkingName kind = workingName(QByteArray(entry->d_name));
        if (kind == WorkingName::None)
            continue;
        // A regular file of this user, itself: never what a link points at.
        struct stat named {};
        if (::fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode)
            || named.st_uid != me)
            continue;
        const FileDescriptor file(
            ::openat(folderFd, entry->d_name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat opened {};
        if (!file.valid() || ::fstat(file.get(), &opened) != 0 || opened.st_dev != named.st_dev
            || opened.st_ino != named.st_ino)
            continue;
        // Its writer holds its lock while it runs, wherever it runs: a lock we can take
        // is one nobody holds. An unlocked ".new" was killed before it was locked, or is
        // being made this moment; its maker, finding it gone or locked by us, claims
        // another name.
        const int locked = tryLock(file.get());
        if (locked == EAGAIN)
            continue;
        if (locked != 0 && !untouchedForADay(opened))
            continue;
        qCInfo(lcMedia) << "removing the working file of a stopped export:" << entry->d_name;
        ::unlinkat(folderFd, entry->d_name, 0);
    }
    ::closedir(folder);
}
