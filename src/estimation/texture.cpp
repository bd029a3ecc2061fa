#include "estimation/detail/texture.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

namespace talvo::estimation {

namespace {

// The vertices of the published table, numbered as there, as sand, silt, clay.
constexpr TexturePoint p01{0, 0, 100};
constexpr TexturePoint p02{55, 0, 45};
constexpr TexturePoint p03{10, 45, 45};
constexpr TexturePoint p04{0, 55, 45};
constexpr TexturePoint p05{75, 0, 25};
constexpr TexturePoint p06{55, 20, 25};
constexpr TexturePoint p07{30, 45, 25};
constexpr TexturePoint p08{0, 75, 25};
constexpr TexturePoint p09{85, 0, 15};
constexpr TexturePoint p10{65, 20, 15};
constexpr TexturePoint p11{40, 45, 15};
constexpr TexturePoint p12{0, 85, 15};
constexpr TexturePoint p13{95, 0, 5};
constexpr TexturePoint p14{100, 0, 0};
constexpr TexturePoint p15{85, 15, 0};
constexpr TexturePoint p16{65, 35, 0};
constexpr TexturePoint p17{55, 45, 0};
constexpr TexturePoint p18{0, 100, 0};

constexpr std::size_t MaxVertices = 4;

struct ClassRow {
    std::string_view code;
    std::string_view name;
    std::array<TexturePoint, MaxVertices> vertices;
    std::size_t vertexCount;
};

// Indexed by the class number.
constexpr std::array<ClassRow, TextureClassCount> Rows{{
    {"HCl", "heavy clay", {p01, p02, p03, p04}, 4},
    {"SaCl", "sandy clay", {p02, p05, p06}, 3},
    {"LCl", "light clay", {p02, p06, p07, p03}, 4},
    {"SiCl", "silty clay", {p03, p07, p08, p04}, 4},
    {"SaClLo", "sandy clay loam", {p05, p09, p10, p06}, 4},
    {"ClLo", "clay loam", {p06, p10, p11, p07}, 4},
    {"SiClLo", "silty clay loam", {p07, p11, p12, p08}, 4},
    {"LoSa", "loamy sand", {p09, p13, p15}, 3},
    {"Sa", "sand", {p13, p14, p15}, 3},
    {"SaLo", "sandy loam", {p09, p15, p16, p10}, 4},
    {"Lo", "loam", {p10, p16, p17, p11}, 4},
    {"SiLo", "silt loam", {p11, p17, p18, p12}, 4},
}};

// The boundary rule: the first class in this order that holds a point gets it.
constexpr std::array<TextureClass, TextureClassCount> FinestFirst{
    TextureClass::heavyClay,     TextureClass::siltyClay,     TextureClass::lightClay,
    TextureClass::sandyClay,     TextureClass::siltyClayLoam, TextureClass::clayLoam,
    TextureClass::sandyClayLoam, TextureClass::siltLoam,      TextureClass::loam,
    TextureClass::sandyLoam,     TextureClass::loamySand,     TextureClass::sand,
};

constexpr double cross(const TexturePoint& a, const TexturePoint& b, const TexturePoint& c) {
    return (b.clay - a.clay) * (c.silt - a.silt) - (b.silt - a.silt) * (c.clay - a.clay);
}

// Every vertex lies on the triangle and every polygon is convex and clockwise in (clay, silt),
// so a point is inside when it lies right of, or on, every edge.
constexpr bool wellFormed(const ClassRow& row) {
    if (row.vertexCount < 3 || row.vertexCount > MaxVertices) {
        return false;
    }
    bool turns = false;
    for (std::size_t i = 0; i < row.vertexCount; ++i) {
        const TexturePoint& a = row.vertices[i];
        const TexturePoint& b = row.vertices[(i + 1) % row.vertexCount];
        const TexturePoint& c = row.vertices[(i + 2) % row.vertexCount];
        if (a.sand < 0 || a.silt < 0 || a.clay < 0 || a.sand + a.silt + a.clay != 100) {
            return false;
        }
        const double turn = cross(a, b, c);
        if (turn > 0) {
            return false;
        }
        turns = turns || turn < 0;
    }
    return turns;
}

static_assert(std::all_of(Rows.begin(), Rows.end(), wellFormed));

// clay * clayFactor + silt * siltFactor <= limit: the inner side of one edge.
struct HalfPlane {
    double clayFactor;
    double siltFactor;
    double limit;
};

// A class as the classifier sees it: only the edges inside the triangle. The triangle's own
// sides are left out, as every accepted soil lies on it, so a soil that scaling leaves a
// rounding error outside still finds its class.
struct Region {
    std::array<HalfPlane, MaxVertices> edges{};
    std::size_t edgeCount = 0;
};

constexpr bool onTriangleSide(const TexturePoint& a, const TexturePoint& b) {
    return (a.sand == 0 && b.sand == 0) || (a.silt == 0 && b.silt == 0) ||
           (a.clay == 0 && b.clay == 0);
}

constexpr Region regionOf(const ClassRow& row) {
    Region region;
    for (std::size_t i = 0; i < row.vertexCount; ++i) {
        const TexturePoint& a = row.vertices[i];
        const TexturePoint& b = row.vertices[(i + 1) % row.vertexCount];
        if (onTriangleSide(a, b)) {
            continue;
        }
        // Right of a -> b: (b - a) x (p - a) <= 0.
        const double dClay = b.clay - a.clay;
        const double dSilt = b.silt - a.silt;
        region.edges[region.edgeCount++] = {-dSilt, dClay, dClay * a.silt - dSilt * a.clay};
    }
    return region;
}

// What a function makes of each class's row, indexed by the class number.
template <typename Function> constexpr auto perClass(Function function) {
    std::array<decltype(function(Rows[0])), TextureClassCount> values{};
    for (std::size_t i = 0; i < Rows.size(); ++i) {
        values[i] = function(Rows[i]);
    }
    return values;
}

constexpr auto Regions = perClass(regionOf);

constexpr bool holds(const Region& region, double clay, double silt) {
    for (std::size_t i = 0; i < region.edgeCount; ++i) {
        const HalfPlane& edge = region.edges[i];
        if (clay * edge.clayFactor + silt * edge.siltFactor > edge.limit) {
            return false;
        }
    }
    return true;
}

// Area centroid by the shoelace formula in (clay, silt).
constexpr TexturePoint centroidOf(const ClassRow& row) {
    double twiceArea = 0;
    double clay = 0;
    double silt = 0;
    for (std::size_t i = 0; i < row.vertexCount; ++i) {
        const TexturePoint& a = row.vertices[i];
        const TexturePoint& b = row.vertices[(i + 1) % row.vertexCount];
        const double w = a.clay * b.silt - b.clay * a.silt;
        twiceArea += w;
        clay += (a.clay + b.clay) * w;
        silt += (a.silt + b.silt) * w;
    }
    clay /= 3 * twiceArea;
    silt /= 3 * twiceArea;
    return {100 - clay - silt, silt, clay};
}

constexpr auto Centroids = perClass(centroidOf);

// The clay and silt contents a class spans, widened by far more than any rounding of its
// edges: a class outside whose bounds a soil lies cannot hold it, and its edges need not be
// tried.
struct Bounds {
    double lowestClay;
    double highestClay;
    double lowestSilt;
    double highestSilt;
    constexpr bool exclude(double clay, double silt) const noexcept {
        return clay < lowestClay || clay > highestClay || silt < lowestSilt || silt > highestSilt;
    }
};

constexpr Bounds boundsOf(const ClassRow& row) {
    constexpr double margin = 1e-6;
    const TexturePoint& first = row.vertices[0];
    Bounds bounds{first.clay, first.clay, first.silt, first.silt};
    for (std::size_t i = 1; i < row.vertexCount; ++i) {
        const TexturePoint& p = row.vertices[i];
        bounds = {std::min(bounds.lowestClay, p.clay), std::max(bounds.highestClay, p.clay),
                  std::min(bounds.lowestSilt, p.silt), std::max(bounds.highestSilt, p.silt)};
    }
    return {bounds.lowestClay - margin, bounds.highestClay + margin, bounds.lowestSilt - margin,
            bounds.highestSilt + margin};
}

constexpr auto ClassBounds = perClass(boundsOf);

// Most soils lie far from every boundary. The plane of clay and silt is cut into squares of
// one percent; a square that one class holds whole, with a margin no rounding reaches, and
// that no finer class reaches, gives that class at once. Soils in the other squares, along the
// boundaries, have their edges tried.
constexpr std::size_t SquaresPerSide = 100;
constexpr std::uint8_t Undecided = 0xFF;
using SquareClasses = std::array<std::uint8_t, SquaresPerSide * SquaresPerSide>;

// Where every corner of a square lies against one edge.
enum class Side { inner, outer, across };

Side sideOf(const HalfPlane& edge, double clay, double silt) {
    constexpr double margin = 1e-9; // the forms reach some 10^4; their rounding, 10^-12
    std::optional<Side> side;
    for (const double c : {clay, clay + 1}) {
        for (const double s : {silt, silt + 1}) {
            const double form = c * edge.clayFactor + s * edge.siltFactor;
            const Side corner = form <= edge.limit - margin  ? Side::inner
                                : form > edge.limit + margin ? Side::outer
                                                             : Side::across;
            if (corner == Side::across || (side && corner != *side)) {
                return Side::across;
            }
            side = corner;
        }
    }
    return *side;
}

// The class of every soil in the square from (clay, silt) to (clay + 1, silt + 1), as the
// edges and bounds below decide it, or Undecided.
std::uint8_t squareClass(double clay, double silt) {
    for (const TextureClass candidate : FinestFirst) {
        const auto index = static_cast<std::size_t>(candidate);
        const Bounds& bounds = ClassBounds[index];
        if (clay + 1 < bounds.lowestClay || clay > bounds.highestClay ||
            silt + 1 < bounds.lowestSilt || silt > bounds.highestSilt) {
            continue; // the bounds exclude it all
        }
        const bool withinBounds = clay >= bounds.lowestClay && clay + 1 <= bounds.highestClay &&
                                  silt >= bounds.lowestSilt && silt + 1 <= bounds.highestSilt;
        const Region& region = Regions[index];
        bool holdsAll = withinBounds;
        bool excluded = false;
        for (std::size_t i = 0; i < region.edgeCount; ++i) {
            const Side side = sideOf(region.edges[i], clay, silt);
            excluded = excluded || side == Side::outer;
            holdsAll = holdsAll && side == Side::inner;
        }
        if (excluded) {
            continue;
        }
        return holdsAll ? static_cast<std::uint8_t>(candidate) : Undecided;
    }
    return Undecided;
}

// Only squares that reach into the triangle: accepted soils sum to 100 up to rounding.
SquareClasses buildSquareClasses() {
    SquareClasses classes{};
    classes.fill(Undecided);
    for (std::size_t clay = 0; clay < SquaresPerSide; ++clay) {
        for (std::size_t silt = 0; clay + silt < SquaresPerSide; ++silt) {
            classes[clay * SquaresPerSide + silt] =
                squareClass(static_cast<double>(clay), static_cast<double>(silt));
        }
    }
    return classes;
}

// Built on first use, in well under a millisecond; too many steps for a compiler's constant
// evaluation.
const SquareClasses& squareClasses() {
    static const SquareClasses classes = buildSquareClasses();
    return classes;
}

// The row of a class, or nullptr for a value that is none.
const ClassRow* rowOf(TextureClass texture) noexcept {
    const auto index = static_cast<std::size_t>(texture);
    return index < Rows.size() ? &Rows[index] : nullptr;
}

bool isPercent(double value) {
    return std::isfinite(value) && value >= 0 && value <= 100;
}

} // namespace

std::string_view name(TextureClass texture) {
    const ClassRow* row = rowOf(texture);
    return row != nullptr ? row->name : std::string_view();
}

std::string_view code(TextureClass texture) {
    const ClassRow* row = rowOf(texture);
    return row != nullptr ? row->code : std::string_view();
}

std::optional<TextureClass> textureClass(double sand, double silt, double clay) noexcept {
    if (!isPercent(sand) || !isPercent(silt) || !isPercent(clay)) {
        return std::nullopt;
    }
    const double sum = sand + silt + clay;
    if (std::abs(sum - 100) > 1) {
        return std::nullopt;
    }
    if (sum != 100) {
        clay = clay * 100 / sum;
        silt = silt * 100 / sum;
    }
    // Truncation is the floor here: both are at least 0.
    const auto clayIndex = static_cast<std::size_t>(clay);
    const auto siltIndex = static_cast<std::size_t>(silt);
    if (clayIndex < SquaresPerSide && siltIndex < SquaresPerSide) {
        const std::uint8_t known = squareClasses()[clayIndex * SquaresPerSide + siltIndex];
        if (known != Undecided) {
            return static_cast<TextureClass>(known);
        }
    }
    for (const TextureClass candidate : FinestFirst) {
        const auto index = static_cast<std::size_t>(candidate);
        if (ClassBounds[index].exclude(clay, silt)) {
            continue;
        }
        if (holds(Regions[index], clay, silt)) {
            return candidate;
        }
    }
    return std::nullopt; // unreachable: the classes tile the triangle
}

std::span<const TexturePoint> outline(TextureClass texture) noexcept {
    const ClassRow* row = rowOf(texture);
    if (row == nullptr) {
        return {};
    }
    return {row->vertices.data(), row->vertexCount};
}

TexturePoint labelPoint(TextureClass texture) noexcept {
    if (rowOf(texture) == nullptr) {
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan, nan};
    }
    return Centroids[static_cast<std::size_t>(texture)];
}

} // namespace talvo::estimation
