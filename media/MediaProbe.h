#pragma once

#include <vector>

#include <QSize>
#include <QString>

#include "Outcome.h"

struct AVStream;

struct StreamInfo {
    enum class Kind { Video, Audio, Subtitle, Data, Attachment, Other };

    int index = 0;
    Kind kind = Kind::Other;
    QString codecName;
    QString language;
};

// What the editor and the cutter need to know of a video before using it.
struct VideoInfo {
    QString path;
    QString formatName;    // the demuxer's names, "mov,mp4,m4a,3gp,3g2,mj2" for MP4
    double duration = 0.0; // seconds, finite and positive
    int videoStream = -1;
    QString videoCodec;
    QSize codedSize;   // as stored
    int rotation = 0;  // degrees clockwise to show it upright: 0, 90, 180 or 270
    QSize displaySize; // upright, with the pixel aspect ratio applied
    double frameDuration = 0.0; // seconds per frame, 0 when the file does not say
    // Where the video track's pictures lie, in seconds from the file's start (the sound
    // may run on past them); both 0 when the file does not say.
    double picturesStart = 0.0;
    double picturesEnd = 0.0;
    std::vector<StreamInfo> streams;
};

// Opens a video and checks that it can be shown: it must have a finite duration and a
// video track whose first picture decodes. Audio-only files, files without a length
// and anything FFmpeg cannot read are refused with a message a user can act on.
Outcome<VideoInfo> probeVideo(const QString& path);

// The same checks for a video this program has just written, which need not read the
// streams where the container's header states them: cheaper by a decoded picture.
Outcome<void> checkWrittenVideo(const QString& path);

// The display rotation of a stream's display matrix, as clockwise degrees rounded to
// a quarter turn; 0 when there is no matrix.
int rotationFromDisplayMatrix(const int32_t* matrix);

// A stream's picture as shown: its pixels' aspect applied to the width, and turned.
QSize displaySizeOf(const AVStream* video, QSize coded, int rotation);
