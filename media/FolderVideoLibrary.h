#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include <QString>

#include "VideoLibrary.h"

// The video library as a folder: by default the user's videos folder + "/Trimora".
//
// A clip is written into the folder itself, so that an export needs the room of its
// clips and no more, through one open descriptor that nothing reopens by name. Where
// the filesystem has unnamed files (ext4, XFS, btrfs, tmpfs) the working file is one,
// and is given its name by link(), which fails rather than replace anything; a stopped
// process leaves nothing behind. Elsewhere (exFAT and NTFS over FUSE, NFS, SMB) it is
// ".trimora-MACHINE-PID-RANDOM.part" (MACHINE: the 32 hex digits of /etc/machine-id),
// and its writer holds an open-file-description lock on it for as long as it lives;
// the kernel lets that lock go when the process ends, however it ends. The file is
// made as ".….new", locked, and only then renamed to ".part", so that no ".part" is
// ever unlocked while its writer runs.
//
// A finished clip is renamed to its final name while this library's lock file
// (".trimora.lock", an advisory lock every Trimora process takes to name a clip there)
// is held, by the first of these the filesystem offers: a rename that refuses to
// replace, a hard link, or a rename to a name seen to be free under the lock. Then the
// folder itself is flushed, so that the name survives a power loss.
//
// prepare() removes what a killed export left: a ".part" of that grammar exactly, a
// regular file of this user (never a link, a pipe or a folder, never anything inside
// a folder), whose lock it can take, so whose writer is gone, in whatever process
// namespace, container or machine it ran. Where the filesystem has no working locks,
// only such a file untouched for a day goes; so does a ".new" whose writer was killed
// in the moment between making and renaming it. Nothing else is ever removed.
class FolderVideoLibrary final : public VideoLibrary {
public:
    explicit FolderVideoLibrary(QString folder = defaultFolder());
    ~FolderVideoLibrary() override;
    Q_DISABLE_COPY_MOVE(FolderVideoLibrary)

    static QString defaultFolder();

    QString folder() const override;
    Outcome<void> prepare(qint64 bytes) override;
    Outcome<std::unique_ptr<WorkingFile>> createWorkingFile() override;
    void stop() override;
    void removeWorkingFiles() override;

    // Removes the working files whose writers are gone: what a kill or a power loss
    // left. Any thread.
    void removeLeftovers() const;

    // Told, from the thread that waits, when naming a clip waits for another process
    // holding the library's lock for more than a moment. Set before the first export.
    void setWaitNotice(std::function<void(const QString& notice)> notice);

    // How long naming a clip waits for another process holding the library's lock
    // before it gives up with a message.
    static constexpr std::chrono::seconds LOCK_WAIT_LIMIT{60};

    struct State;

private:
    std::shared_ptr<State> state; // shared with the working files it hands out
};
