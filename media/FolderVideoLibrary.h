#pragma once

#include <memory>
#include <mutex>

#include <QString>

#include "VideoLibrary.h"

class TaskPool;

// The video library as a folder: by default the user's videos folder + "/Trimora".
//
// A clip is first checked to be a readable video, then placed under its own name, or
// "name (2).ext", "name (3).ext" ... when that is taken: by hard link when the working
// file is on the same filesystem (instant, no extra space), else by reflink or copy
// into an unnamed file in the library folder that is given its name only once it is
// complete. Names are claimed with link(), which fails rather than replace a file, so
// two exports racing for "split-0.mp4" both keep their clips. Once the library holds
// the clip, the working file is removed; when the library refuses it, the working
// file stays and the message says where it is.
class FolderVideoLibrary final : public VideoLibrary {
public:
    explicit FolderVideoLibrary(QString folder = defaultFolder());
    // Imports already started run to their end first.
    ~FolderVideoLibrary() override;
    Q_DISABLE_COPY_MOVE(FolderVideoLibrary)

    static QString defaultFolder();
    const QString& folder() const { return root; }

    void addVideo(const QString& workingFile, Completion completion) override;

    // The same, done on the calling thread.
    Outcome<QString> importFile(const QString& workingFile) const;

    // Blocks until every import started so far has run (its completion may still be
    // queued for the main thread).
    void waitForImports();

private:
    QString root;
    std::mutex poolMutex;
    std::unique_ptr<TaskPool> pool; // made on the first import
};
