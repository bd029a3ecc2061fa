#include "estimation/estimation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace talvo::estimation {

namespace {

// The vertices of the published international table, numbered as there, as sand, silt, clay.
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

// The corners of the USDA triangle's classes, from the manual's limits: 7, 12, 20, 27, 35 and
// 40 % clay; 28, 40, 50 and 80 % silt; 20, 45 and 52 % sand; silt + 1.5 clay = 15 and
// silt + 2 clay = 30.
constexpr TexturePoint u01{0, 0, 100};
constexpr TexturePoint u02{45, 0, 55};
constexpr TexturePoint u03{45, 15, 40};
constexpr TexturePoint u04{20, 40, 40};
constexpr TexturePoint u05{0, 40, 60};
constexpr TexturePoint u06{0, 60, 40};
constexpr TexturePoint u07{65, 0, 35};
constexpr TexturePoint u08{45, 20, 35};
constexpr TexturePoint u09{45, 28, 27};
constexpr TexturePoint u10{20, 53, 27};
constexpr TexturePoint u11{0, 73, 27};
constexpr TexturePoint u12{80, 0, 20};
constexpr TexturePoint u13{52, 28, 20};
constexpr TexturePoint u14{23, 50, 27};
constexpr TexturePoint u15{52, 41, 7};
constexpr TexturePoint u16{43, 50, 7};
constexpr TexturePoint u17{38, 50, 12};
constexpr TexturePoint u18{0, 88, 12};
constexpr TexturePoint u19{8, 80, 12};
constexpr TexturePoint u20{20, 80, 0};
constexpr TexturePoint u21{0, 100, 0};
constexpr TexturePoint u22{50, 50, 0};
constexpr TexturePoint u23{70, 30, 0};
constexpr TexturePoint u24{85, 15, 0};
constexpr TexturePoint u25{100, 0, 0};
constexpr TexturePoint u26{90, 0, 10};
constexpr TexturePoint u27{85, 0, 15};
constexpr TexturePoint u28{77, 16, 7};

constexpr std::size_t MaxVertices = 7; // the USDA sandy loam

struct Polygon {
    std::array<TexturePoint, MaxVertices> vertices;
    std::size_t vertexCount;
};

// A convex part of a class, as the classifier tries it.
struct Piece {
    TextureClass texture;
    Polygon polygon;
};

constexpr std::size_t MaxPieces = 14;

// One triangle: its classes' published outlines, indexed by the class number (empty for the
// other triangle's classes), and the convex pieces that tile it, finest first: the first piece
// that holds a point gives its class.
struct Triangle {
    std::array<Polygon, TextureClassCount> outlines;
    std::array<Piece, MaxPieces> pieces;
    std::size_t pieceCount;
    std::array<TextureClass, TextureClassCount - 2> classes; // by number
};

constexpr Polygon NoPolygon{{}, 0};

// The international classes are convex: each is its own piece.
constexpr Triangle International{
    .outlines = {{
        {{p01, p02, p03, p04}, 4}, // heavy clay
        {{p02, p05, p06}, 3},      // sandy clay
        {{p02, p06, p07, p03}, 4}, // light clay
        {{p03, p07, p08, p04}, 4}, // silty clay
        {{p05, p09, p10, p06}, 4}, // sandy clay loam
        {{p06, p10, p11, p07}, 4}, // clay loam
        {{p07, p11, p12, p08}, 4}, // silty clay loam
        {{p09, p13, p15}, 3},      // loamy sand
        {{p13, p14, p15}, 3},      // sand
        {{p09, p15, p16, p10}, 4}, // sandy loam
        {{p10, p16, p17, p11}, 4}, // loam
        {{p11, p17, p18, p12}, 4}, // silt loam
        NoPolygon,                 // silt
        NoPolygon,                 // clay
    }},
    .pieces = {{
        {TextureClass::heavyClay, {{p01, p02, p03, p04}, 4}},
        {TextureClass::siltyClay, {{p03, p07, p08, p04}, 4}},
        {TextureClass::lightClay, {{p02, p06, p07, p03}, 4}},
        {TextureClass::sandyClay, {{p02, p05, p06}, 3}},
        {TextureClass::siltyClayLoam, {{p07, p11, p12, p08}, 4}},
        {TextureClass::clayLoam, {{p06, p10, p11, p07}, 4}},
        {TextureClass::sandyClayLoam, {{p05, p09, p10, p06}, 4}},
        {TextureClass::siltLoam, {{p11, p17, p18, p12}, 4}},
        {TextureClass::loam, {{p10, p16, p17, p11}, 4}},
        {TextureClass::sandyLoam, {{p09, p15, p16, p10}, 4}},
        {TextureClass::loamySand, {{p09, p13, p15}, 3}},
        {TextureClass::sand, {{p13, p14, p15}, 3}},
    }},
    .pieceCount = 12,
    .classes = {TextureClass::heavyClay, TextureClass::sandyClay, TextureClass::lightClay,
                TextureClass::siltyClay, TextureClass::sandyClayLoam, TextureClass::clayLoam,
                TextureClass::siltyClayLoam, TextureClass::loamySand, TextureClass::sand,
                TextureClass::sandyLoam, TextureClass::loam, TextureClass::siltLoam},
};

// Sandy loam and silt loam bend round loam and silt: each is tried as two convex pieces, split
// at 7 and at 12 % clay.
constexpr Triangle Usda{
    .outlines = {{
        NoPolygon,                                // heavy clay
        {{u07, u08, u02}, 3},                     // sandy clay
        NoPolygon,                                // light clay
        {{u04, u06, u05}, 3},                     // silty clay
        {{u12, u13, u09, u08, u07}, 5},           // sandy clay loam
        {{u09, u10, u04, u03}, 4},                // clay loam
        {{u10, u11, u06, u04}, 4},                // silty clay loam
        {{u24, u23, u27, u26}, 4},                // loamy sand
        {{u25, u24, u26}, 3},                     // sand
        {{u23, u22, u16, u15, u13, u12, u27}, 7}, // sandy loam
        {{u15, u16, u14, u09, u13}, 5},           // loam
        {{u22, u20, u19, u18, u11, u14}, 6},      // silt loam
        {{u20, u21, u18, u19}, 4},                // silt
        {{u03, u04, u05, u01, u02}, 5},           // clay
    }},
    .pieces = {{
        {TextureClass::siltyClay, {{u04, u06, u05}, 3}},
        {TextureClass::clay, {{u03, u04, u05, u01, u02}, 5}},
        {TextureClass::siltyClayLoam, {{u10, u11, u06, u04}, 4}},
        {TextureClass::clayLoam, {{u09, u10, u04, u03}, 4}},
        {TextureClass::sandyClay, {{u07, u08, u02}, 3}},
        {TextureClass::siltLoam, {{u17, u18, u11, u14}, 4}},
        {TextureClass::silt, {{u20, u21, u18, u19}, 4}},
        {TextureClass::siltLoam, {{u22, u20, u19, u17}, 4}},
        {TextureClass::loam, {{u15, u16, u14, u09, u13}, 5}},
        {TextureClass::sandyClayLoam, {{u12, u13, u09, u08, u07}, 5}},
        {TextureClass::sandyLoam, {{u28, u15, u13, u12, u27}, 5}},
        {TextureClass::sandyLoam, {{u23, u22, u16, u28}, 4}},
        {TextureClass::loamySand, {{u24, u23, u27, u26}, 4}},
        {TextureClass::sand, {{u25, u24, u26}, 3}},
    }},
    .pieceCount = 14,
    .classes = {TextureClass::sandyClay, TextureClass::siltyClay, TextureClass::sandyClayLoam,
                TextureClass::clayLoam, TextureClass::siltyClayLoam, TextureClass::loamySand,
                TextureClass::sand, TextureClass::sandyLoam, TextureClass::loam,
                TextureClass::siltLoam, TextureClass::silt, TextureClass::clay},
};

struct ClassName {
    std::string_view code;
    std::string_view name;
};

// Indexed by the class number.
constexpr std::array<ClassName, TextureClassCount> Names{{
    {"HCl", "heavy clay"},
    {"SaCl", "sandy clay"},
    {"LCl", "light clay"},
    {"SiCl", "silty clay"},
    {"SaClLo", "sandy clay loam"},
    {"ClLo", "clay loam"},
    {"SiClLo", "silty clay loam"},
    {"LoSa", "loamy sand"},
    {"Sa", "sand"},
    {"SaLo", "sandy loam"},
    {"Lo", "loam"},
    {"SiLo", "silt loam"},
    {"Si", "silt"},
    {"Cl", "clay"},
}};

constexpr double cross(const TexturePoint& a, const TexturePoint& b, const TexturePoint& c) {
    return (b.clay - a.clay) * (c.silt - a.silt) - (b.silt - a.silt) * (c.clay - a.clay);
}

constexpr bool onTriangle(const TexturePoint& a) {
    return a.sand >= 0 && a.silt >= 0 && a.clay >= 0 && a.sand + a.silt + a.clay == 100;
}

// Every vertex lies on the triangle and every piece is convex and clockwise in (clay, silt),
// so a point is inside when it lies right of, or on, every edge.
constexpr bool wellFormed(const Piece& piece) {
    const Polygon& polygon = piece.polygon;
    if (polygon.vertexCount < 3 || polygon.vertexCount > MaxVertices) {
        return false;
    }
    bool turns = false;
    for (std::size_t i = 0; i < polygon.vertexCount; ++i) {
        const TexturePoint& a = polygon.vertices[i];
        const TexturePoint& b = polygon.vertices[(i + 1) % polygon.vertexCount];
        const TexturePoint& c = polygon.vertices[(i + 2) % polygon.vertexCount];
        if (!onTriangle(a)) {
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

// Twice the area in (clay, silt) by the shoelace formula: positive when clockwise. Exact on
// whole-percent vertices.
constexpr double twiceArea(const Polygon& polygon) {
    double sum = 0;
    for (std::size_t i = 0; i < polygon.vertexCount; ++i) {
        const TexturePoint& a = polygon.vertices[i];
        const TexturePoint& b = polygon.vertices[(i + 1) % polygon.vertexCount];
        sum += a.silt * b.clay - a.clay * b.silt;
    }
    return sum;
}

// The pieces are well formed, cover the whole triangle without overlap (their areas add up to
// its area), and each class's pieces make up its outline.
constexpr bool tiles(const Triangle& triangle) {
    constexpr double WholeTriangle = 100.0 * 100.0;
    double pieces = 0;
    std::array<double, TextureClassCount> perClass{};
    for (std::size_t i = 0; i < triangle.pieceCount; ++i) {
        const Piece& piece = triangle.pieces[i];
        if (!wellFormed(piece)) {
            return false;
        }
        pieces += twiceArea(piece.polygon);
        perClass[static_cast<std::size_t>(piece.texture)] += twiceArea(piece.polygon);
    }
    for (std::size_t i = 0; i < perClass.size(); ++i) {
        if (perClass[i] != twiceArea(triangle.outlines[i])) {
            return false;
        }
    }
    return pieces == WholeTriangle;
}

static_assert(tiles(International));
static_assert(tiles(Usda));

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

constexpr Region regionOf(const Polygon& polygon) {
    Region region;
    for (std::size_t i = 0; i < polygon.vertexCount; ++i) {
        const TexturePoint& a = polygon.vertices[i];
        const TexturePoint& b = polygon.vertices[(i + 1) % polygon.vertexCount];
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
constexpr TexturePoint centroidOf(const Polygon& polygon) {
    double clay = 0;
    double silt = 0;
    for (std::size_t i = 0; i < polygon.vertexCount; ++i) {
        const TexturePoint& a = polygon.vertices[i];
        const TexturePoint& b = polygon.vertices[(i + 1) % polygon.vertexCount];
        const double w = a.clay * b.silt - b.clay * a.silt;
        clay += (a.clay + b.clay) * w;
        silt += (a.silt + b.silt) * w;
    }
    const double area = -twiceArea(polygon); // the sign the sums above carry
    clay /= 3 * area;
    silt /= 3 * area;
    return {100 - clay - silt, silt, clay};
}

// The clay and silt contents a piece spans, widened by far more than any rounding of its
// edges: a piece outside whose bounds a soil lies cannot hold it, and its edges need not be
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

constexpr Bounds boundsOf(const Polygon& polygon) {
    constexpr double margin = 1e-6;
    const TexturePoint& first = polygon.vertices[0];
    Bounds bounds{first.clay, first.clay, first.silt, first.silt};
    for (std::size_t i = 1; i < polygon.vertexCount; ++i) {
        const TexturePoint& p = polygon.vertices[i];
        bounds = {std::min(bounds.lowestClay, p.clay), std::max(bounds.highestClay, p.clay),
                  std::min(bounds.lowestSilt, p.silt), std::max(bounds.highestSilt, p.silt)};
    }
    return {bounds.lowestClay - margin, bounds.highestClay + margin, bounds.lowestSilt - margin,
            bounds.highestSilt + margin};
}

// What the classifier keeps of a piece.
struct PieceTest {
    std::uint8_t texture;
    Region region;
    Bounds bounds;
};

struct TriangleTests {
    std::array<PieceTest, MaxPieces> pieces{};
    std::size_t pieceCount = 0;
};

constexpr TriangleTests testsOf(const Triangle& triangle) {
    TriangleTests tests;
    tests.pieceCount = triangle.pieceCount;
    for (std::size_t i = 0; i < triangle.pieceCount; ++i) {
        const Piece& piece = triangle.pieces[i];
        tests.pieces[i] = {static_cast<std::uint8_t>(piece.texture), regionOf(piece.polygon),
                           boundsOf(piece.polygon)};
    }
    return tests;
}

constexpr TriangleTests InternationalTests = testsOf(International);
constexpr TriangleTests UsdaTests = testsOf(Usda);

// The label points of a triangle's classes, by number. A class tried as two pieces is
// labelled in its larger one, which its centroid may lie outside.
constexpr std::array<TexturePoint, TextureClassCount> labelPointsOf(const Triangle& triangle) {
    std::array<TexturePoint, TextureClassCount> points{};
    std::array<double, TextureClassCount> largest{};
    for (std::size_t i = 0; i < triangle.pieceCount; ++i) {
        const Piece& piece = triangle.pieces[i];
        const auto index = static_cast<std::size_t>(piece.texture);
        const double area = twiceArea(piece.polygon);
        if (area > largest[index]) {
            largest[index] = area;
            points[index] = centroidOf(piece.polygon);
        }
    }
    return points;
}

constexpr auto InternationalLabels = labelPointsOf(International);
constexpr auto UsdaLabels = labelPointsOf(Usda);

// Most soils lie far from every boundary. The plane of clay and silt is cut into squares of
// one percent; a square that one piece holds whole, with a margin no rounding reaches, and
// that no finer piece reaches, gives that piece's class at once. Soils in the other squares,
// along the boundaries, have their edges tried.
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
std::uint8_t squareClass(const TriangleTests& tests, double clay, double silt) {
    for (std::size_t i = 0; i < tests.pieceCount; ++i) {
        const PieceTest& piece = tests.pieces[i];
        const Bounds& bounds = piece.bounds;
        if (clay + 1 < bounds.lowestClay || clay > bounds.highestClay ||
            silt + 1 < bounds.lowestSilt || silt > bounds.highestSilt) {
            continue; // the bounds exclude it all
        }
        const bool withinBounds = clay >= bounds.lowestClay && clay + 1 <= bounds.highestClay &&
                                  silt >= bounds.lowestSilt && silt + 1 <= bounds.highestSilt;
        bool holdsAll = withinBounds;
        bool excluded = false;
        for (std::size_t e = 0; e < piece.region.edgeCount; ++e) {
            const Side side = sideOf(piece.region.edges[e], clay, silt);
            excluded = excluded || side == Side::outer;
            holdsAll = holdsAll && side == Side::inner;
        }
        if (excluded) {
            continue;
        }
        return holdsAll ? piece.texture : Undecided;
    }
    return Undecided;
}

// Only squares that reach into the triangle: accepted soils sum to 100 up to rounding. Never
// inline: built once, it would make textureClass() save registers on every call.
[[gnu::noinline]] SquareClasses buildSquareClasses(const TriangleTests& tests) {
    SquareClasses classes{};
    classes.fill(Undecided);
    for (std::size_t clay = 0; clay < SquaresPerSide; ++clay) {
        for (std::size_t silt = 0; clay + silt < SquaresPerSide; ++silt) {
            classes[clay * SquaresPerSide + silt] =
                squareClass(tests, static_cast<double>(clay), static_cast<double>(silt));
        }
    }
    return classes;
}

// Built on first use, in well under a millisecond each; too many steps for a compiler's
// constant evaluation. Both under one guard: a table asks for every row.
const SquareClasses& squareClasses(ParticleSizeScale scale) {
    struct Both {
        SquareClasses international = buildSquareClasses(InternationalTests);
        SquareClasses usda = buildSquareClasses(UsdaTests);
    };
    static const Both both;
    return scale == ParticleSizeScale::usda ? both.usda : both.international;
}

const Triangle& triangleOf(ParticleSizeScale scale) noexcept {
    return scale == ParticleSizeScale::usda ? Usda : International;
}

// The outline of a class on a triangle, or nullptr for a value that is none of its classes.
const Polygon* outlineOf(TextureClass texture, ParticleSizeScale scale) noexcept {
    const auto index = static_cast<std::size_t>(texture);
    const Triangle& triangle = triangleOf(scale);
    if (index >= triangle.outlines.size() || triangle.outlines[index].vertexCount == 0) {
        return nullptr;
    }
    return &triangle.outlines[index];
}

const ClassName* nameOf(TextureClass texture) noexcept {
    const auto index = static_cast<std::size_t>(texture);
    return index < Names.size() ? &Names[index] : nullptr;
}

// NaN and the infinities fail one of the two comparisons.
bool isPercent(double value) {
    return value >= 0 && value <= 100;
}

// A soil near a boundary, its edges tried. Apart from textureClass(), whose quick answer for
// most soils then saves the registers this loop needs.
[[gnu::noinline]] std::optional<TextureClass> classOnEdges(double clay, double silt,
                                                           ParticleSizeScale scale) noexcept {
    const TriangleTests& tests = scale == ParticleSizeScale::usda ? UsdaTests : InternationalTests;
    for (std::size_t i = 0; i < tests.pieceCount; ++i) {
        const PieceTest& piece = tests.pieces[i];
        if (!piece.bounds.exclude(clay, silt) && holds(piece.region, clay, silt)) {
            return static_cast<TextureClass>(piece.texture);
        }
    }
    return std::nullopt; // unreachable: the pieces tile the triangle
}

} // namespace

std::string_view name(TextureClass texture) {
    const ClassName* known = nameOf(texture);
    return known != nullptr ? known->name : std::string_view();
}

std::string_view code(TextureClass texture) {
    const ClassName* known = nameOf(texture);
    return known != nullptr ? known->code : std::string_view();
}

std::span<const TextureClass> textureClasses(ParticleSizeScale scale) noexcept {
    return triangleOf(scale).classes;
}

std::optional<TextureClass> textureClass(double sand, double silt, double clay,
                                         ParticleSizeScale scale) noexcept {
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
        const std::uint8_t known = squareClasses(scale)[clayIndex * SquaresPerSide + siltIndex];
        if (known != Undecided) {
            return static_cast<TextureClass>(known);
        }
    }
    return classOnEdges(clay, silt, scale);
}

std::span<const TexturePoint> outline(TextureClass texture, ParticleSizeScale scale) noexcept {
    const Polygon* polygon = outlineOf(texture, scale);
    if (polygon == nullptr) {
        return {};
    }
    return {polygon->vertices.data(), polygon->vertexCount};
}

TexturePoint labelPoint(TextureClass texture, ParticleSizeScale scale) noexcept {
    if (outlineOf(texture, scale) == nullptr) {
        return {NoNumber, NoNumber, NoNumber};
    }
    const auto& labels = scale == ParticleSizeScale::usda ? UsdaLabels : InternationalLabels;
    return labels[static_cast<std::size_t>(texture)];
}

} // namespace talvo::estimation
