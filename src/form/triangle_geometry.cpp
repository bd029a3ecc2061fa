#include "form/triangle_geometry.h"

#include "estimation/estimation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace talvo::form {

namespace {

constexpr double Percent = 100.0;
constexpr double SumTolerance = 1.0; // as the texture class allows
// Constant, not computed at start-up: a triangle fitted at another file's start-up would
// otherwise find it still 0.
constexpr double HeightPerSide = std::numbers::sqrt3 / 2.0;

PlanePoint operator+(PlanePoint a, PlanePoint b) {
    return {a.x + b.x, a.y + b.y};
}
PlanePoint operator-(PlanePoint a, PlanePoint b) {
    return {a.x - b.x, a.y - b.y};
}
PlanePoint operator*(double k, PlanePoint a) {
    return {k * a.x, k * a.y};
}

PlanePoint unit(PlanePoint v) {
    const double length = std::hypot(v.x, v.y);
    return length > 0 ? (1.0 / length) * v : PlanePoint{};
}

// The side carrying an axis runs from where that content is 0 to where it is 100.
struct Side {
    PlanePoint from;
    PlanePoint to;
};

Side sideOf(const TriangleFrame& frame, Axis axis) {
    switch (axis) {
    case Axis::clay:
        return {frame.sand, frame.clay};
    case Axis::silt:
        return {frame.clay, frame.silt};
    case Axis::sand:
        break;
    }
    return {frame.silt, frame.sand};
}

AxisTick tickAt(const TriangleFrame& frame, Axis axis, int percent) {
    const Side side = sideOf(frame, axis);
    const PlanePoint along = side.to - side.from;
    const PlanePoint at = side.from + (percent / Percent) * along;
    // The corners run counter-clockwise on screen, so the outward normal is to the right of
    // each side's direction.
    return {axis, percent, at, unit(PlanePoint{along.y, -along.x})};
}

bool isPercent(double value) {
    return value >= 0 && value <= Percent;
}

} // namespace

TriangleFrame fitTriangle(double width, double height, double margin) {
    const double side =
        std::max(0.0, std::min(width - 2 * margin, (height - 2 * margin) / HeightPerSide));
    const double left = (width - side) / 2;
    const double bottom = (height + side * HeightPerSide) / 2;
    return {
        {left, bottom}, {left + side, bottom}, {left + side / 2, bottom - side * HeightPerSide}};
}

PlanePoint place(const TriangleFrame& frame, const estimation::TexturePoint& soil) {
    return (soil.sand / Percent) * frame.sand + (soil.silt / Percent) * frame.silt +
           (soil.clay / Percent) * frame.clay;
}

std::vector<AxisTick> axisTicks(const TriangleFrame& frame, int step) {
    std::vector<AxisTick> ticks;
    for (const Axis axis : {Axis::sand, Axis::silt, Axis::clay}) {
        for (int percent = 0; percent <= static_cast<int>(Percent); percent += step) {
            ticks.push_back(tickAt(frame, axis, percent));
        }
    }
    return ticks;
}

std::string_view axisTitle(Axis axis) {
    switch (axis) {
    case Axis::sand:
        return "Sand (%)";
    case Axis::silt:
        return "Silt (%)";
    case Axis::clay:
        break;
    }
    return "Clay (%)";
}

std::optional<estimation::TexturePoint> soilAt(const TriangleFrame& frame, PlanePoint point,
                                               double slack) {
    // Clay grows towards the top corner, silt towards the bottom right one.
    const double height = frame.sand.y - frame.clay.y;
    const double side = frame.silt.x - frame.sand.x;
    if (!(height > 0) || !(side > 0)) {
        return std::nullopt;
    }
    const double clay = (frame.sand.y - point.y) / height;
    const double silt = (point.x - frame.sand.x) / side - clay / 2;
    const double sand = 1 - clay - silt;
    // A share below 0 lies outside the side opposite its corner; its distance from that side
    // is the share times the triangle's height.
    if (std::min({clay, silt, sand}) * height < -slack) {
        return std::nullopt;
    }
    const auto tenths = [](double share) {
        return std::round(std::clamp(share, 0.0, 1.0) * Percent * 10);
    };
    const double clayTenths = tenths(clay);
    const double siltTenths = std::min(tenths(silt), Percent * 10 - clayTenths);
    return estimation::TexturePoint{(Percent * 10 - clayTenths - siltTenths) / 10, siltTenths / 10,
                                    clayTenths / 10};
}

AxisTick axisMiddle(const TriangleFrame& frame, Axis axis) {
    return tickAt(frame, axis, static_cast<int>(Percent) / 2);
}

double widthAt(const TriangleFrame& frame, std::span<const estimation::TexturePoint> polygon,
               double y) {
    double left = HUGE_VAL;
    double right = -HUGE_VAL;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const PlanePoint a = place(frame, polygon[i]);
        const PlanePoint b = place(frame, polygon[(i + 1) % polygon.size()]);
        if ((a.y <= y && y <= b.y) || (b.y <= y && y <= a.y)) {
            const double x = a.y == b.y ? a.x : a.x + (y - a.y) / (b.y - a.y) * (b.x - a.x);
            const double x2 = a.y == b.y ? b.x : x;
            left = std::min({left, x, x2});
            right = std::max({right, x, x2});
        }
    }
    return right > left ? right - left : 0.0;
}

SoilMark soilMark(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
                  estimation::ParticleSizeScale scale) {
    using estimation::Input;
    SoilMark mark;
    mark.scale = scale;
    const estimation::InputValues inputs =
        estimation::convertInputs(texts, {Input::sand, Input::silt, Input::clay}, separator);
    std::array<double, 3> contents{};
    for (std::size_t i = 0; i < contents.size(); ++i) {
        if (inputs.at(i).failure) {
            return mark;
        }
        contents.at(i) = inputs.at(i).number;
    }
    const auto [sand, silt, clay] = contents;
    const double sum = sand + silt + clay;
    if (std::isfinite(sum) && std::fabs(sum - Percent) > SumTolerance) {
        mark.text = "sand + silt + clay = " + estimation::generalText(sum, separator);
    } else if (!std::isfinite(sum) || !isPercent(sand) || !isPercent(silt) || !isPercent(clay)) {
        mark.text = estimation::sentence(estimation::Flag::range);
    } else {
        mark.point = estimation::TexturePoint{sand * Percent / sum, silt * Percent / sum,
                                              clay * Percent / sum};
    }
    return mark;
}

} // namespace talvo::form
