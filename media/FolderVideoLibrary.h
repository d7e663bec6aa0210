#pragma once

#include <memory>

#include <QString>

#include "VideoLibrary.h"

// The video library as a folder: by default the user's videos folder + "/Trimora".
//
// A clip is written into the folder itself, so that an export needs the room of its
// clips and no more. Where the filesystem has unnamed files (ext4, XFS, btrfs, tmpfs)
// the working file is one, and is given its name by link(), which fails rather than
// replace anything; a stopped process leaves nothing behind. Elsewhere (exFAT and NTFS
// over FUSE, NFS, SMB) it is ".trimora-HOST-PID-START-RANDOM.part": plainly ours, and
// plainly unfinished while the process named in it runs. It is renamed to its final
// name while this library's lock file (".trimora.lock", an advisory lock every
// Trimora process takes to name a clip there) is held, by the first of these the
// filesystem offers: a rename that refuses to replace, a hard link, or a rename to a
// name seen to be free under the lock. Working files whose process is gone are
// removed by prepare(); nothing else is ever removed.
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

    // Removes the working files of our processes that are gone: what a kill or a power
    // loss left. Any thread.
    void removeLeftovers() const;

    struct State;

private:
    std::shared_ptr<State> state; // shared with the working files it hands out
};
