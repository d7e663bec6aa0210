#pragma once

#include <memory>

#include <QString>

#include "Outcome.h"

// Where finished clips go: the user's video library. A clip is written straight into
// the library, into a working file nobody sees, and published under its name only
// when it is whole; publishing never replaces anything, and a working file that is
// not published leaves nothing behind. All of it may be used from any thread.
class VideoLibrary {
public:
    // One clip on its way into the library.
    class WorkingFile {
    public:
        // Removes the file, unless it was published.
        virtual ~WorkingFile() = default;

        // The open file the cutter writes (see CutOutput::descriptor); it stays the
        // working file's own.
        virtual int descriptor() const = 0;

        // Gives the finished clip the name fileName ("split-0.mp4"), or the first free
        // one of "split-0 (2).mp4", "split-0 (3).mp4"...: the clip's final path, or
        // why it is not in the library.
        virtual Outcome<QString> publish(const QString& fileName) = 0;
    };

    virtual ~VideoLibrary() = default;

    // The library's folder, as shown to the user.
    virtual QString folder() const = 0;

    // Makes sure clips of about this many bytes in all can be added: the folder is
    // there (or is made), is a folder we may write in, and has the room. Also removes
    // what stopped exports of ours left there. For the start of an export, before
    // anything is cut.
    virtual Outcome<void> prepare(qint64 bytes) = 0;

    virtual Outcome<std::unique_ptr<WorkingFile>> createWorkingFile() = 0;

    // Ends every export, for a stop asked by the system (a signal): nothing more is
    // made or published, and each working file goes as soon as its writer lets it go.
    // Clips published before stay.
    virtual void stop() = 0;

    // After a stop, once the cuts have had their moment to end: removes every working
    // file still there, written to or not.
    virtual void removeWorkingFiles() = 0;
};
