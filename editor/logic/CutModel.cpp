#include "CutModel.h"

#include <algorithm>
#include <cmath>

CutModel::CutModel(double duration)
{
    state.duration = duration;
}

std::optional<int> CutModel::addSplitPoint(double position)
{
    if (!std::isfinite(position))
        return std::nullopt;
    // Adding 0.0 turns a -0.0 into +0.0, so the stored point and its times never
    // carry a sign that a formatter could print.
    const double clamped = std::clamp(position, 0.0, 1.0) + 0.0;
    if (std::find(state.splitPoints.begin(), state.splitPoints.end(), clamped) != state.splitPoints.end())
        return std::nullopt;
    state.splitPoints.push_back(clamped);
    state.actionsArray.push_back(ADD_SPLIT_ACTION);
    return splitPointCount();
}

std::optional<int> CutModel::undoLastSplitPoint()
{
    if (state.splitPoints.empty())
        return std::nullopt;
    const int before = splitPointCount();
    state.splitPoints.pop_back();
    return before;
}

std::vector<double> CutModel::sortedSplitPoints() const
{
    std::vector<double> sorted = state.splitPoints;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

std::vector<Clip> CutModel::clips() const
{
    return clipsBetween(state.splitPoints, state.duration);
}

std::vector<Clip> clipsBetween(std::vector<double> splitPoints, double duration)
{
    std::sort(splitPoints.begin(), splitPoints.end());
    std::vector<Clip> result;
    result.reserve(splitPoints.size() + 1);
    double start = 0.0;
    for (double point : splitPoints) {
        const double end = point * duration;
        result.push_back({static_cast<int>(result.size()) + 1, start, end});
        start = end;
    }
    // The last clip ends at the duration itself, not at a product that could fall
    // a rounding error short of it.
    result.push_back({static_cast<int>(result.size()) + 1, start, duration});
    return result;
}

std::optional<double> splitPosition(double pointerOffset, double stripWidth)
{
    if (!(stripWidth > 0.0) || !std::isfinite(stripWidth))
        return std::nullopt;
    return pointerOffset / stripWidth;
}
