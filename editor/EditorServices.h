#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QStringList>

#include "Outcome.h"

class FrameScaler;
class Player;
class VideoAsset;
class VideoGenerator;
class VideoLibrary;

// What an editor needs from outside, handed in by whoever makes it: the real media
// engine and player in the application, fakes in the tests.
struct EditorServices {
    std::function<Outcome<std::shared_ptr<VideoAsset>>(const QString& path)> openAsset;
    std::function<std::unique_ptr<Player>()> makePlayer;
    VideoGenerator* generator = nullptr;
    VideoLibrary* library = nullptr;
    // Counts one completed export towards the review prompt.
    std::function<void()> countReviewAction;
    // Whether the user chose to cut at keyframes only; read at each save.
    std::function<bool()> cutAtKeyframesOnly;
    // Shows saved clips in the desktop's file manager; "Finished" offers it when set.
    std::function<void(const QStringList& files)> showInFolder;
    // Keeps the user's choice to cut at keyframes only, as the home screen's Settings do;
    // the editor's More menu offers it when set.
    std::function<void(bool on)> setCutAtKeyframesOnly;
    // Makes the scaler the video view turns the player's frames into pictures with;
    // without it, Qt's own conversion does.
    std::function<std::unique_ptr<FrameScaler>()> makeFrameScaler;
};
