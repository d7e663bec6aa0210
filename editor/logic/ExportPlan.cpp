#include "ExportPlan.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include "CutModel.h"

std::vector<PlannedCut> exportPlan(const std::vector<double>& splitPoints, double duration, bool keyframesOnly)
{
    const std::vector<Clip> clips = clipsBetween(splitPoints, duration);
    std::vector<PlannedCut> plan;
    plan.reserve(clips.size());
    for (const Clip& clip : clips) {
        // File names count from 0 while clip numbers count from 1: clip 1 is split-0.
        const int index = clip.number - 1;
        plan.push_back({index, clipFileName(index), clip.startTime, clip.endTime,
                        clip.number == static_cast<int>(clips.size()), keyframesOnly});
    }
    return plan;
}

QString clipFileName(int index)
{
    return QStringLiteral("split-%1").arg(index);
}

Outcome<ClipNamePattern> ClipNamePattern::parse(const QString& text)
{
    auto refuse = [&text](const QString& why) {
        return Outcome<ClipNamePattern>::failure(
            tr("'%1' %2").arg(text, why));
    };
    ClipNamePattern pattern;
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty())
            pattern.pieces.push_back({literal, Piece::Field::None, 0});
        literal.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('}')) {
            if (text.mid(i, 2) != QLatin1String("}}"))
                return refuse(tr("has a '}' that closes nothing (write '}}' for one)."));
            literal += c;
            ++i;
            continue;
        }
        if (c != QLatin1Char('{')) {
            if (c == QLatin1Char('/') || c == QChar(0))
                return refuse(tr("holds a '/'; a clip's name cannot name a folder."));
            literal += c;
            continue;
        }
        if (text.mid(i, 2) == QLatin1String("{{")) {
            literal += c;
            ++i;
            continue;
        }
        const qsizetype close = text.indexOf(QLatin1Char('}'), i);
        if (close < 0)
            return refuse(tr("has a '{' that is never closed (write '{{' for one)."));
        const QString field = text.mid(i + 1, close - i - 1);
        flush();
        static const QRegularExpression number(QStringLiteral("^n(?::0([1-9]))?$"));
        const QRegularExpressionMatch match = number.match(field);
        if (field == QLatin1String("stem"))
            pattern.pieces.push_back({{}, Piece::Field::Stem, 0});
        else if (match.hasMatch())
            pattern.pieces.push_back({{}, Piece::Field::Number, match.captured(1).toInt()});
        else
            return refuse(tr(
                              "has an unknown field {%1}; the fields are {stem}, {n} and {n:02}.").arg(field));
        i = close;
    }
    flush();
    if (pattern.pieces.empty())
        return refuse(tr("is no name."));
    if (pattern.pieces.front().field == Piece::Field::None && pattern.pieces.front().text.startsWith(QLatin1Char('.')))
        return refuse(tr("starts with a dot, which would hide the clips."));
    return pattern;
}

QString ClipNamePattern::name(const QString& stem, int index) const
{
    QString name;
    for (const Piece& piece : pieces) {
        switch (piece.field) {
        case Piece::Field::None:
            name += piece.text;
            break;
        case Piece::Field::Stem:
            name += stem;
            break;
        case Piece::Field::Number:
            name += QStringLiteral("%1").arg(index, piece.width, 10, QLatin1Char('0'));
            break;
        }
    }
    return name;
}
