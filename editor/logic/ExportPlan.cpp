#include "ExportPlan.h"

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
