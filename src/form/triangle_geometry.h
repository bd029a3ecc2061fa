#pragma once

// The texture triangle as plane geometry, apart from any drawing: where a soil lies, where
// the axes' ticks go, and what marks the soil being typed.

#include "estimation/estimation.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::form {

struct PlanePoint {
    double x = 0;
    double y = 0; // downwards, as on a screen
};

// The corners of an equilateral triangle: all sand bottom left, all silt bottom right, all
// clay at the top.
struct TriangleFrame {
    PlanePoint sand;
    PlanePoint silt;
    PlanePoint clay;
};

// The largest such triangle centred in width x height, `margin` clear of every edge for the
// axes' labels.
TriangleFrame fitTriangle(double width, double height, double margin);

// Where a soil lies: its contents in percent weigh the three corners.
PlanePoint place(const TriangleFrame& frame, const estimation::TexturePoint& soil);

enum class Axis { sand, silt, clay };

// The title written along the side that carries an axis: "Clay (%)".
std::string_view axisTitle(Axis axis);

// A tick on the side that carries an axis: clay on the left side rising to the top, silt on
// the right side rising to the bottom right, sand along the bottom rising to the left.
struct AxisTick {
    Axis axis;
    int percent;
    PlanePoint at;
    PlanePoint outward; // unit vector away from the triangle
};

// Ticks at 0, step, ... 100 on each axis.
std::vector<AxisTick> axisTicks(const TriangleFrame& frame, int step);

// The middle of the side that carries an axis, and the way out of the triangle from there.
AxisTick axisMiddle(const TriangleFrame& frame, Axis axis);

// The soil at a point, as a click on the triangle picks it: sand, silt and clay rounded to
// 0.1 and summing to exactly 100. Nothing for a point more than `slack` (in the plane's units)
// outside the triangle; within it, the nearest soil on the edge.
std::optional<estimation::TexturePoint> soilAt(const TriangleFrame& frame, PlanePoint point,
                                               double slack);

// How wide a class's polygon is at height y: where its label can be written. 0 outside it.
double widthAt(const TriangleFrame& frame, std::span<const estimation::TexturePoint> polygon,
               double y);

// What marks the soil being typed: its point (scaled to sum 100) when it has a texture class;
// a text when sand, silt and clay are numbers that have none ("sand + silt + clay = 93");
// nothing while any of them is not a number.
struct SoilMark {
    std::optional<estimation::TexturePoint> point;
    std::string text;
    // The triangle the soil is marked on: that of the scale sand, silt and clay are given on.
    estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international;
};

SoilMark
soilMark(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
         estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international);

} // namespace talvo::form
