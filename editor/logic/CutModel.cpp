#include "CutModel.h"

#include <algorithm>
#include <cmath>

CutModel::CutModel(double duration)
{
    state.duration = duration;
}

std::optional<double> CutModel::acceptable(double position) const
{
    if (!std::isfinite(position))
        return std::nullopt;
    // Adding 0.0 turns a -0.0 into +0.0, so the stored point and its times never
    // carry a sign that a formatter could print.
    const double clamped = std::clamp(position, 0.0, 1.0) + 0.0;
    if (std::find(state.splitPoints.begin(), state.splitPoints.end(), clamped) != state.splitPoints.end())
        return std::nullopt;
    return clamped;
}

std::optional<int> CutModel::addSplitPoint(double position)
{
    const std::optional<double> point = acceptable(position);
    if (!point)
        return std::nullopt;
    state.undone.clear();
    state.splitPoints.push_back(*point);
    state.actionsArray.push_back(ADD_SPLIT_ACTION);
    state.history.push_back({SplitEdit::Kind::Add, splitPointCount() - 1, 0.0, *point, ++state.nextGroup});
    return splitPointCount();
}

int CutModel::addSplitPoints(const std::vector<double>& positions)
{
    const int group = ++state.nextGroup;
    int added = 0;
    for (double position : positions) {
        if (addSplitPoint(position)) {
            state.history.back().group = group;
            ++added;
        }
    }
    return added;
}

bool CutModel::removeSplitPoint(int index)
{
    if (index < 0 || index >= splitPointCount())
        return false;
    state.undone.clear();
    const double before = state.splitPoints[size_t(index)];
    state.splitPoints.erase(state.splitPoints.begin() + index);
    state.history.push_back({SplitEdit::Kind::Delete, index, before, 0.0, ++state.nextGroup});
    return true;
}

bool CutModel::moveSplitPoint(int index, double position)
{
    if (index < 0 || index >= splitPointCount())
        return false;
    const std::optional<double> point = acceptable(position);
    if (!point)
        return false;
    state.undone.clear();
    double& stored = state.splitPoints[size_t(index)];
    state.history.push_back({SplitEdit::Kind::Move, index, stored, *point, ++state.nextGroup});
    stored = *point;
    return true;
}

std::optional<SplitEdit> CutModel::undo()
{
    if (state.history.empty())
        return std::nullopt;
    const int group = state.history.back().group;
    SplitEdit edit;
    // Edits are taken back in the reverse order they were made, so each one finds
    // the list exactly as it left it.
    while (!state.history.empty() && state.history.back().group == group) {
        edit = state.history.back();
        state.history.pop_back();
        auto at = state.splitPoints.begin() + edit.index;
        switch (edit.kind) {
        case SplitEdit::Kind::Add:
            state.splitPoints.erase(at);
            break;
        case SplitEdit::Kind::Delete:
            state.splitPoints.insert(at, edit.before);
            break;
        case SplitEdit::Kind::Move:
            *at = edit.before;
            break;
        }
        state.undone.push_back(edit);
    }
    return edit;
}

std::optional<SplitEdit> CutModel::redo()
{
    if (state.undone.empty())
        return std::nullopt;
    const int group = state.undone.back().group;
    SplitEdit edit;
    // In the order they were first made: undo left the first at the end.
    while (!state.undone.empty() && state.undone.back().group == group) {
        edit = state.undone.back();
        state.undone.pop_back();
        auto at = state.splitPoints.begin() + edit.index;
        switch (edit.kind) {
        case SplitEdit::Kind::Add:
            state.splitPoints.insert(at, edit.after);
            break;
        case SplitEdit::Kind::Delete:
            state.splitPoints.erase(at);
            break;
        case SplitEdit::Kind::Move:
            *at = edit.after;
            break;
        }
        state.history.push_back(edit);
    }
    return edit;
}

std::vector<double> equalPartsPoints(int parts)
{
    std::vector<double> points;
    for (int k = 1; k < parts; ++k)
        points.push_back(double(k) / parts);
    return points;
}

std::vector<double> everyPoints(double seconds, double duration)
{
    std::vector<double> points;
    if (!(seconds > 0.0) || !std::isfinite(duration) || !std::isfinite(seconds))
        return points;
    for (int k = 1; k * seconds < duration; ++k)
        points.push_back(k * seconds / duration);
    return points;
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
