#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QTest>

#include "CutterViewController.h"
#include "Player.h"
#include "StripViews.h"
#include "VideoAsset.h"

// A video of a given length whose pictures are plain colours, one per stretch asked,
// with a black square in the middle;
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
    double picturesStart() const override { return pictures.first; }
    double picturesEnd() const override { return pictures.second; }
    Outcome<QImage> thumbnailImage(double from, double until, QSize size) override
    {
        // Called off the main thread, one call at a time; read when the editor is gone
        // or has shown the picture.
        if (int(asked.size()) == slowCall) {
            // A slow picture: the test closes the editor while it is being made.
            inSlowCall = true;
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        asked.push_back({from, until});
        if (failAt.count(from))
            return Outcome<QImage>::failure(QStringLiteral("no picture at %1").arg(from));
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(int(from * 10) % 360, 200, 200));
        // A black square in the middle, to see that the strip keeps the picture's shape.
        const int side = size.height() / 2;
        QPainter(&image).fillRect(QRect((size.width() - side) / 2, (size.height() - side) / 2, side, side), Qt::black);
        return image;
    }

    Outcome<std::vector<std::uint8_t>> soundPeaks(const CancelToken& cancel, const CutProgress& progress) override
    {
        progress.set(soundShare);
        while (soundHeld && !cancel.isCancelled())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return peaks;
    }

    double length;
    std::vector<std::uint8_t> peaks; // of the sound; none: a video without sound
    std::atomic<bool> soundHeld{false}; // the peaks are read until this turns false
    double soundShare = 0.0; // how far the reading says it has come meanwhile
    std::pair<double, double> pictures; // where the pictures start and end; none said
    int slowCall = -1; // which call (from 0) takes a second
    std::atomic<bool> inSlowCall{false};
    std::set<double> failAt;
    std::vector<std::pair<double, double>> asked; // the stretches, in the order asked
};

// A player that plays nothing: the test sets where it stands and reads what it was
// asked to do, in order ("sink", "source", "seek 0", "play", "pause").
class FakePlayer final : public Player {
    Q_OBJECT

public:
    void setSource(const QUrl& url) override
    {
        source = url;
        calls << QStringLiteral("source");
    }
    void setVideoSink(QVideoSink*) override { calls << QStringLiteral("sink"); }
    void play() override
    {
        playing = true;
        ended = false;
        calls << QStringLiteral("play");
    }
    void pause() override
    {
        playing = false;
        calls << QStringLiteral("pause");
    }
    void setRate(double speed) override { rate = speed; }
    void seek(double seconds) override
    {
        time = seconds;
        ended = false;
        calls << QStringLiteral("seek %1").arg(seconds);
    }
    double currentTime() const override { return time; }
    bool isPlaying() const override { return playing; }
    bool reachedEnd() const override { return ended; }

    void finish()
    {
        ended = true;
        emit playedToEnd();
    }

    QUrl source;
    QStringList calls;
    double time = 0.0;
    double rate = 1.0;
    bool playing = false;
    bool ended = false;
};

// An editor on a fake video and a fake player, at 1280 x 800; shown unless the test
// has something to arrange first.
struct EditorHarness {
    std::shared_ptr<FakeAsset> asset;
    FakePlayer* player = nullptr;
    std::unique_ptr<CutterViewController> editor;
    // Counted on the main queue after "Finished", maybe once the harness is gone: the
    // count outlives it.
    std::shared_ptr<int> reviewActions = std::make_shared<int>(0);

    explicit EditorHarness(double duration, EditorServices services = {}, bool show = true)
        : asset(std::make_shared<FakeAsset>(duration))
    {
        services.openAsset = [this](const QString&) { return Outcome<std::shared_ptr<VideoAsset>>(asset); };
        services.makePlayer = [this] {
            auto made = std::make_unique<FakePlayer>();
            player = made.get();
            return std::unique_ptr<Player>(std::move(made));
        };
        services.countReviewAction = [count = reviewActions] { ++*count; };
        editor = std::make_unique<CutterViewController>(services);
        editor->videoURL = QUrl::fromLocalFile(QStringLiteral("/videos/holiday.mp4"));
        editor->resize(1280, 800);
        if (show)
            editor->show();
    }

    template <typename T = QWidget>
    T* outlet(const char* name) const
    {
        T* found = editor->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no outlet %s", name);
        return found;
    }

    QWidget* strip() const { return outlet("videosWorkspaceView"); }
    double stripWidth() const { return strip()->width(); }
    QString label() const { return outlet<QLabel>("currentTimeLabel")->text(); }
    double pointer() const { return editor->pointerViewLeadingConstraint()->constant(); }

    void splitAt(double fraction)
    {
        editor->pointerViewLeadingConstraint()->setConstant(fraction * stripWidth());
        editor->touchSplit();
    }

    // The children of a kind of one of the strip's views, left to right.
    template <typename T>
    QList<T*> children(const char* view = "videosWorkspaceView") const
    {
        QList<T*> found = outlet(view)->findChildren<T*>(QString(), Qt::FindDirectChildrenOnly);
        std::sort(found.begin(), found.end(), [](T* a, T* b) { return a->x() < b->x(); });
        return found;
    }
};

// Alerts open now, by title ("Finished", "Error"); or all of them, closed.
inline QList<QMessageBox*> openAlerts(const QString& title, bool close = false)
{
    QList<QMessageBox*> alerts;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && close)
            box->close();
        else if (box && box->windowTitle() == title && box->isVisible())
            alerts << box;
    }
    return alerts;
}

inline void closeAlerts()
{
    openAlerts(QString(), true);
}
