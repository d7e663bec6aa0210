#include "CutProblem.h"

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

#include <QCoreApplication>
#include <QDir>

#include "FfmpegSupport.h"

CutProblem::CutProblem(QString sourceName, QString outputFolder)
    : source(std::move(sourceName))
    , folder(std::move(outputFolder))
{
}

QString CutProblem::operator()(const QString& what) const
{
    QString sentence = what.trimmed();
    if (!sentence.endsWith(QLatin1Char('.')))
        sentence += QLatin1Char('.');
    return QCoreApplication::translate("FfmpegSupport", "Could not cut '%1': %2").arg(source, sentence);
}

QString CutProblem::operator()(const QString& what, int ffmpegStatus) const
{
    if (ffmpegStatus == AVERROR(ENOSPC) && !folder.isEmpty())
        return (*this)(QCoreApplication::translate("StreamCopyCutter", "there is not enough space in '%1'.")
                           .arg(QDir::toNativeSeparators(folder)));
    if (ffmpegStatus == AVERROR(ENOMEM))
        return outOfMemory();
    return (*this)(QStringLiteral("%1 (%2)").arg(what, ffmpegErrorText(ffmpegStatus)));
}

QString CutProblem::outOfMemory() const
{
    return (*this)(QCoreApplication::translate("StreamCopyCutter", "there is not enough memory."));
}
