// Redrawing the soil view while the user types: the texture triangle painted into an image
// of 400 x 400 at pixel ratios 1 and 2, and the whole update of one keystroke (seven
// estimates, the table, the labels). Runs offscreen: build/bench/bin/triangle_bench

#include "form/triangle_geometry.h"
#include "window/soil_view.h"
#include "window/texture_triangle.h"

#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>

namespace {

using talvo::estimation::InputTexts;

// Sand typed digit by digit, as the view sees it: no number, off sum, a point.
const std::array<InputTexts, 4> Typing{{
    {"", "40", "20", "5"},
    {"4", "40", "20", "5"},
    {"40", "40", "20", "5"},
    {"40.5", "40", "20", "5"},
}};

void paintTriangle(benchmark::State& state) {
    const double ratio = static_cast<double>(state.range(0)) / 10;
    talvo::window::TextureTriangle triangle;
    triangle.resize(400, 400);
    QImage image(QSize(400, 400) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    std::size_t key = 0;
    for (auto _ : state) {
        triangle.setMark(talvo::form::soilMark(Typing.at(key++ % Typing.size()), {}));
        triangle.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(paintTriangle)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

void keystroke(benchmark::State& state) {
    talvo::window::SoilView view;
    std::size_t key = 0;
    for (auto _ : state) {
        view.showInputs(Typing.at(key++ % Typing.size()), {});
    }
}
BENCHMARK(keystroke)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
