#pragma once

#include <QString>

#include "Outcome.h"

// How every failure of a cut is worded: "Could not cut 'NAME': WHAT." with WHAT a
// sentence of its own, ended by exactly one full stop, and FFmpeg's own reason in
// brackets where there is one. The one place that knows the form.
class CutProblem final {
public:
    // folder: where the clip was going, named when the disk is full.
    explicit CutProblem(QString sourceName, QString folder = {});

    QString operator()(const QString& what) const;
    // WHAT (REASON).; a full disk is said in words, with the folder.
    QString operator()(const QString& what, int ffmpegStatus) const;
    QString outOfMemory() const;

    template <typename T = void>
    Outcome<T> fail(const QString& what) const
    {
        return Outcome<T>::failure((*this)(what));
    }
    template <typename T = void>
    Outcome<T> fail(const QString& what, int ffmpegStatus) const
    {
        return Outcome<T>::failure((*this)(what, ffmpegStatus));
    }

    const QString& name() const { return source; }

private:
    QString source;
    QString folder;
};
