#pragma once

#include <set>

#include <QColor>

#include "VideoAsset.h"

// A video of a given length whose pictures are plain colours, one per time asked;
// pictures can be made to fail at chosen times.
class FakeAsset final : public VideoAsset {
public:
    explicit FakeAsset(double seconds)
        : length(seconds)
    {
    }

    double duration() const override { return length; }
    int rotation() const override { return 0; }
    double frameDuration() const override { return 0.04; }
    Outcome<QImage> thumbnailImage(double seconds, QSize size) override
    {
        asked.push_back(seconds);
        if (failAt.count(seconds))
            return Outcome<QImage>::failure(QStringLiteral("no picture at %1").arg(seconds));
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(int(seconds * 10) % 360, 200, 200));
        return image;
    }

    double length;
    std::set<double> failAt;
    std::vector<double> asked;
};
