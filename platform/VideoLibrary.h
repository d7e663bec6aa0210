#pragma once

#include <functional>

#include <QString>

#include "Outcome.h"

// Where finished clips go: the user's video library. Adding a clip never overwrites
// anything already there, never leaves a partial file visible, and either ends with
// the clip in the library under its final path or with a message that says why not
// and where the clip is.
class VideoLibrary {
public:
    // The final path of the clip in the library, or why it is not there.
    using Completion = std::function<void(const Outcome<QString>& result)>;

    virtual ~VideoLibrary() = default;

    // Adds the working file to the library; returns at once. The completion runs
    // exactly once, on the main thread.
    virtual void addVideo(const QString& workingFile, Completion completion) = 0;
};
