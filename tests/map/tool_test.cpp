// talvo-map end to end: rasters built here, the real executable run on them, and its cells
// compared with what talvo-batch writes for the same numbers as text.

#include "estimation/estimation.h"
#include "map/map_runs.h"
#include "table/csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gdal_priv.h>
#include <gdal_rat.h>
#include <map>
#include <ogr_spatialref.h>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace talvo::map::test {
namespace {

using estimation::Input;

// The soil grids' scales on the international scale, as talvo-batch reads the table's texts.
constexpr const char* TenthsOfAll = "sand=0.1,silt=0.1,clay=0.1,oc=0.1";

// What a band of `type` holds for a result's two-decimal or 15-digit text: its number (cast to
// Float32 for Float32), or in Int16 the digits of its hundredths, nodata beyond Int16's range.
double expectedCell(const std::string& text, const std::string& type) {
    const double number = std::strtod(text.c_str(), nullptr);
    if (type == "Float32") {
        return static_cast<float>(number);
    }
    if (type == "Int16") {
        std::string digits = text;
        std::erase(digits, '.');
        const long hundredths = std::stol(digits);
        return hundredths > -32768 && hundredths <= 32767 ? static_cast<double>(hundredths)
                                                          : -32768.0;
    }
    return number;
}

bool isNodata(double cell, const std::string& type) {
    return type == "Int16" ? cell == -32768.0 : std::isnan(cell);
}

// Every cell of every model, in both precisions and every type (Int16 in fixed precision, which
// it alone can hold), is what talvo-batch writes for the cell's numbers as text, read back.
TEST(ToolTest, EveryCellIsTheBatchToolsResult) {
    const Soils soils = makeSoils("batch", 300); // two blocks across, the second one short
    const fs::path table = soils.folder / "soils.csv";
    {
        std::ofstream out(table);
        out << "sand,silt,clay,oc\n";
        for (std::size_t i = 0; i < soils.raw[0].size(); ++i) {
            out << cellText(soils.raw[0][i]) << ',' << cellText(soils.raw[1][i]) << ','
                << cellText(soils.raw[2][i]) << ',' << cellText(soils.raw[3][i]) << '\n';
        }
    }
    const fs::path batchOut = soils.folder / "batch.csv";
    const fs::path out = soils.folder / "out.tif";
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        const std::string position = std::to_string(model.position);
        for (const std::string precision : {"fixed", "general"}) {
            // --scale oc= reads g/kg, as --oc-unit g/kg does the table's.
            ASSERT_NE(runProgram(TALVO_BATCH_EXE,
                                 {"--model", position, "--precision", precision, "--oc-unit",
                                  "g/kg", "--output", batchOut.string(), table.string()})
                          .status,
                      2);
            const std::vector<std::array<std::string, 5>> rows = batchResults(batchOut);
            std::vector<std::string> types{"Float32", "Float64"};
            if (precision == "fixed") {
                types.emplace_back("Int16");
            }
            for (const std::string& type : types) {
                SCOPED_TRACE(testing::Message()
                             << model.listText << ' ' << precision << ' ' << type);
                const Outcome outcome =
                    runMap(soils.inputs(),
                           {"--model", position, "--scale", TenthsOfAll, "--precision", precision,
                            "--type", type, "--output", out.string(), "--threads", "2"});
                ASSERT_EQ(outcome.status, 0) << outcome.errorText;
                const auto bands = readBands(out);
                std::map<double, std::string> names = textureNames(out);
                ASSERT_EQ(bands.size(), 5U);
                ASSERT_EQ(rows.size(), bands[0].size());
                for (std::size_t i = 0; i < rows.size(); ++i) {
                    if (rows[i][0].empty()) {
                        for (const std::vector<double>& band : bands) {
                            ASSERT_TRUE(isNodata(band[i], type)) << "cell " << i;
                        }
                        continue;
                    }
                    for (std::size_t r = 0; r < 3; ++r) {
                        ASSERT_EQ(bands[r][i], expectedCell(rows[i][r], type))
                            << "cell " << i << " " << rows[i][r];
                    }
                    ASSERT_EQ(bands[3][i], flagBits(rows[i][4])) << "cell " << i;
                    ASSERT_EQ(names[bands[4][i]], rows[i][3].empty() ? "none" : rows[i][3])
                        << "cell " << i;
                }
            }
        }
    }
}

// The hydraulic bands as talvo-batch --hydraulics writes them for a table: each row's band
// texts by the map's band order (flags as codes), empty for every band where the row failed.
std::vector<std::array<std::string, 9>> hydraulicRows(const fs::path& path) {
    std::ifstream file(path);
    table::CsvReader reader(file, ',');
    table::Records records;
    while (reader.next(records)) {
    }
    const table::RecordView header = records[0];
    const auto column = [&header](std::string_view name) {
        for (std::size_t i = 0; i < header.size(); ++i) {
            if (header[i].starts_with(name)) {
                return i;
            }
        }
        throw std::runtime_error("no column " + std::string(name));
    };
    const std::array<std::size_t, 9> columns{column("theta_r"), column("theta_s"), column("alpha"),
                                             column("n"),       column("ks"),      column("fc"),
                                             column("pwp"),     column("awc"),     column("flags")};
    const std::size_t error = column("error");
    std::vector<std::array<std::string, 9>> rows;
    for (std::size_t i = 1; i < records.size(); ++i) {
        std::array<std::string, 9> row{};
        for (std::size_t band = 0; band < columns.size() && records[i][error].empty(); ++band) {
            row[band] = std::string(records[i][columns[band]]);
        }
        rows.push_back(row);
    }
    return rows;
}

// Every cell of both hydraulic models, through a bulk density raster, in each type and the
// precisions it holds, is talvo-batch --hydraulics's row for the same numbers as text. Soils whose
// sand cannot give the USDA scale's silt, densities beyond reason and cells without a density fail
// in both.
TEST(ToolTest, EveryHydraulicCellIsTheBatchToolsResult) {
    const Soils soils = makeSoils("hydraulic");
    std::vector<double> density(soils.raw[0].size());
    for (std::size_t i = 0; i < density.size(); ++i) {
        density[i] = i % 97 == 5 ? Nodata : static_cast<double>(90 + i % 110); // 0.9-1.99, 2.x
    }
    density[7] = 300; // 3 g/cm3: no soil
    RasterLayout hundredths = soils.layout;
    hundredths.scale = 0.01;
    const fs::path bd = soils.folder / "bd.tif";
    writeRaster(bd, hundredths, density);
    const fs::path table = soils.folder / "soils.csv";
    {
        std::ofstream out(table);
        out << "sand,silt,clay,oc,bd\n";
        for (std::size_t i = 0; i < density.size(); ++i) {
            const auto raw = static_cast<int>(density[i]);
            out << cellText(soils.raw[0][i]) << ',' << cellText(soils.raw[1][i]) << ','
                << cellText(soils.raw[2][i]) << ',' << cellText(soils.raw[3][i]) << ','
                << (density[i] == Nodata
                        ? std::string()
                        : std::to_string(raw / 100) + "." + std::to_string(raw % 100 / 10) +
                              std::to_string(raw % 10))
                << '\n';
        }
    }
    const fs::path batchOut = soils.folder / "batch.csv";
    const fs::path out = soils.folder / "out.tif";
    constexpr std::array<double, 9> StepsPerUnit{100, 100, 1e5, 1e4, 10, 100, 100, 100, 1};
    for (const std::string model : {"saxton-rawls", "hypres"}) {
        for (const std::string precision : {"fixed", "general"}) {
            ASSERT_NE(runProgram(TALVO_BATCH_EXE, {"--hydraulics", model, "--topsoil", "no",
                                                   "--oc-unit", "g/kg", "--precision", precision,
                                                   "--output", batchOut.string(), table.string()})
                          .status,
                      2);
            const std::vector<std::array<std::string, 9>> rows = hydraulicRows(batchOut);
            // Float32 and Int16 hold the two-decimal values; Float64 the 15-digit ones.
            const std::vector<std::string> types =
                precision == "fixed" ? std::vector<std::string>{"Float32", "Int16"}
                                     : std::vector<std::string>{"Float64"};
            for (const std::string& type : types) {
                SCOPED_TRACE(testing::Message() << model << ' ' << precision << ' ' << type);
                const Outcome outcome = runMap(
                    soils.inputs(), {"--hydraulics", model, "--topsoil", "no", "--bd", bd.string(),
                                     "--scale", TenthsOfAll, "--precision", precision, "--type",
                                     type, "--output", out.string(), "--threads", "2"});
                ASSERT_EQ(outcome.status, 0) << outcome.errorText;
                const auto bands = readBands(out);
                ASSERT_EQ(bands.size(), 9U);
                ASSERT_EQ(rows.size(), bands[0].size());
                for (std::size_t i = 0; i < rows.size(); ++i) {
                    for (std::size_t band = 0; band < 8; ++band) {
                        const std::string& text = rows[i][band];
                        if (text.empty()) {
                            ASSERT_TRUE(isNodata(bands[band][i], type)) << "cell " << i;
                            continue;
                        }
                        const double number = std::strtod(text.c_str(), nullptr);
                        const double steps = std::round(number * StepsPerUnit[band]);
                        const double expected = type == "Float32"   ? static_cast<float>(number)
                                                : type == "Float64" ? number
                                                : steps <= 32767    ? steps
                                                                    : -32768.0;
                        ASSERT_EQ(bands[band][i], expected) << "cell " << i << " band " << band;
                    }
                    if (rows[i][1].empty()) {
                        ASSERT_TRUE(isNodata(bands[8][i], type)) << "cell " << i;
                    } else {
                        ASSERT_EQ(bands[8][i], flagBits(rows[i][8])) << "cell " << i;
                    }
                }
            }
        }
    }
}

// The same soils as a striped band that declares its own scale, through a VRT, and as Float32
// percentages give the map of the int16 tenths: a Float32 cell holding 52.3 is the soil "52.3"
// of a table, not 52.2999992370605.
TEST(ToolTest, TheSameSoilsInOtherFormsGiveTheSameMap) {
    const Soils soils = makeSoils("forms");
    RasterLayout declared = soils.layout;
    declared.scale = 0.1;
    declared.striped = true;
    const fs::path sand = soils.folder / "sand_scaled.tif";
    writeRaster(sand, declared, soils.raw[0]);
    const fs::path clay = soils.folder / "clay.vrt";
    const GDALDatasetUniquePtr source(
        GDALDataset::Open(soils.raster(Input::clay).c_str(), GDAL_OF_RASTER));
    // Closed at once: a VRT is written when closed.
    GDALClose(GetGDALDriverManager()->GetDriverByName("VRT")->CreateCopy(
        clay.c_str(), source.get(), FALSE, nullptr, nullptr, nullptr));
    const std::vector<std::string> scaled{"--sand",  sand.string(),
                                          "--clay",  clay.string(),
                                          "--oc",    soils.raster(Input::oc).string(),
                                          "--silt",  soils.raster(Input::silt).string(),
                                          "--scale", "clay=0.1,oc=0.1,silt=0.1"};
    RasterLayout single = soils.layout;
    single.type = GDT_Float32;
    for (const Input input : estimation::allInputs) {
        std::vector<double> values = soils.raw[static_cast<std::size_t>(input)];
        for (double& value : values) {
            value = value == Nodata ? Nodata : value / 10;
        }
        writeRaster(soils.raster(input, "32"), single, values);
    }
    std::vector<std::string> percent = soils.inputs("32");
    percent.insert(percent.end(), {"--oc-unit", "g/kg"}); // as --scale oc= gives it
    const fs::path reference = soils.folder / "reference.tif";
    const fs::path out = soils.folder / "out.tif";
    std::vector<std::string> tenths = soils.inputs();
    tenths.insert(tenths.end(), {"--scale", TenthsOfAll});
    for (const std::string precision : {"general", "fixed"}) {
        for (const std::string model : {"2", "5"}) {
            const auto status = [&](const std::vector<std::string>& inputs,
                                    const fs::path& output) {
                return runMap(inputs, {"--model", model, "--precision", precision, "--type",
                                       "Float64", "--output", output.string()})
                    .status;
            };
            ASSERT_EQ(status(tenths, reference), 0);
            for (const std::vector<std::string>& inputs : {scaled, percent}) {
                SCOPED_TRACE(testing::Message()
                             << "model " << model << ", " << precision << ", " << inputs[1]);
                ASSERT_EQ(status(inputs, out), 0);
                expectSameBands(out, reference);
            }
        }
    }
}

// Any number of tiles stitched with gdalbuildvrt is the single run, cell for cell, whatever the
// threads and the type. Tiles beyond the map's rows of blocks write nothing, say so, and end
// with 0, so that a fixed array of cluster tasks runs on a small map too; where an earlier run
// left a map of the tile's name (every odd tile here), it goes with its side file, or the
// stitched map would take it up.
TEST(ToolTest, AnyNumberOfTilesMakesTheWholeMap) {
    const Soils soils = makeSoils("tiles", 300, 1100); // five rows of output blocks, one short
    const fs::path folder = soils.folder;
    for (const auto& [count, type] : {std::pair{4, "Float32"}, std::pair{7, "Int16"}}) {
        SCOPED_TRACE(testing::Message() << count << " tiles, " << type);
        std::vector<std::string> common = soils.inputs();
        common.insert(common.end(), {"--model", "0", "--soilgrids", "--type", type});
        const fs::path whole = folder / "whole.tif";
        ASSERT_EQ(runMap(common, {"--threads", "1", "--output", whole.string()}).status, 0);

        const fs::path stitched = folder / ("union" + std::to_string(count) + ".vrt");
        std::vector<std::string> stitch{"-q", stitched.string()};
        int empty = 0;
        for (int tile = 1; tile <= count; ++tile) {
            const std::string name = std::to_string(tile) + "/" + std::to_string(count);
            const fs::path part =
                folder / ("part" + std::to_string(count) + "-" + std::to_string(tile) + ".tif");
            fs::path sideFile = part;
            sideFile += ".aux.xml";
            const bool earlier = tile % 2 == 1;
            if (earlier) {
                ASSERT_EQ(runMap(common, {"--output", part.string()}).status, 0);
                ASSERT_TRUE(fs::exists(sideFile));
            }
            const Outcome outcome =
                runMap(common, {"--tile", name, "--threads", std::to_string(tile % 3 + 1),
                                "--output", part.string()});
            ASSERT_EQ(outcome.status, 0) << outcome.errorText;
            if (fs::exists(part)) {
                stitch.push_back(part.string());
                continue;
            }
            ++empty;
            EXPECT_EQ(outcome.errorText,
                      "talvo-map: tile " + name +
                          " has no rows of this map of 1100 rows: " + part.string() +
                          " not written" + (earlier ? ", and the old one removed" : ""));
            EXPECT_FALSE(fs::exists(sideFile));
        }
        EXPECT_EQ(empty, std::max(0, count - 5));
        ASSERT_EQ(runProgram("gdalbuildvrt", stitch).status, 0);
        EXPECT_EQ(transformOf(stitched), transformOf(whole));
        expectSameBands(stitched, whole);
    }
}

// Contents in g/kg given as percent make every cell nonsense: the run still writes the map,
// but says so once, naming the options that scale them. Percent, or g/kg with their scale,
// pass in silence.
TEST(ToolTest, SaysOnceWhenContentsLookLikeGramsPerKilogram) {
    const Soils soils = makeSoils("grams", 300, 40);
    const fs::path out = soils.folder / "out.tif";
    struct Case {
        std::vector<std::string> options;
        bool warned;
    };
    const std::vector<Case> cases{
        {{}, true},
        {{"--soilgrids"}, false},
        {{"--scale", "sand=0.1,silt=0.1,clay=0.1"}, false},
        {{"--scale", "sand=0.1"}, true}, // silt and clay still in g/kg
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = soils.inputs();
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const Outcome outcome = runMap(arguments, {"--model", "0", "--output", out.string()});
        SCOPED_TRACE(outcome.errorText);
        ASSERT_EQ(outcome.status, 0);
        const std::size_t warning = outcome.errorText.find("talvo-map: warning: ");
        EXPECT_EQ(warning != std::string::npos, c.warned);
        if (c.warned) {
            EXPECT_EQ(outcome.errorText.find("talvo-map: warning: ", warning + 1),
                      std::string::npos);
            for (const char* named : {"look like g/kg", "--soilgrids", "--scale"}) {
                EXPECT_NE(outcome.errorText.find(named), std::string::npos) << named;
            }
        }
    }
}

// What a GIS shows: georeferencing of the input, named bands, nodata, units and the model.
TEST(ToolTest, TheMapDescribesItself) {
    const Soils soils = makeSoils("describe");
    const fs::path out = soils.folder / "out.tif";
    ASSERT_EQ(runMap(soils.inputs(),
                     {"--model", "Rawls et al., 1982", "--soilgrids", "--output", out.string()})
                  .status,
              0);
    EXPECT_EQ(transformOf(out), soils.layout.transform);
    const GDALDatasetUniquePtr map(GDALDataset::Open(out.c_str(), GDAL_OF_RASTER));
    EXPECT_STREQ(map->GetSpatialRef()->GetAuthorityCode(nullptr), "32632");
    EXPECT_STREQ(map->GetMetadataItem("TALVO_MODEL"), "Rawls et al., 1982");
    EXPECT_STREQ(map->GetMetadataItem("TALVO_UNIT"), "% v/v");
    EXPECT_STREQ(map->GetMetadataItem("TALVO_VERSION"), "1.00");
    EXPECT_STREQ(map->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
    const std::array names{"fc", "pwp", "awc", "flags", "texture"};
    for (int b = 1; b <= 5; ++b) {
        GDALRasterBand* const band = map->GetRasterBand(b);
        EXPECT_STREQ(band->GetDescription(), names[static_cast<std::size_t>(b - 1)]);
        int hasNodata = 0;
        EXPECT_TRUE(std::isnan(band->GetNoDataValue(&hasNodata)));
        EXPECT_EQ(hasNodata, 1);
        EXPECT_EQ(band->GetRasterDataType(), GDT_Float32);
        int blockWidth = 0;
        int blockHeight = 0;
        band->GetBlockSize(&blockWidth, &blockHeight);
        EXPECT_EQ(blockWidth, 256);
    }
    EXPECT_STREQ(map->GetRasterBand(1)->GetUnitType(), "% v/v");
    EXPECT_STREQ(map->GetRasterBand(3)->GetUnitType(), "mm");
    EXPECT_STREQ(map->GetRasterBand(4)->GetMetadataItem("BIT_3"), "fc<=pwp");
}

// A hydraulic map names its bands and units, and in Int16 reads through each band's step; a
// loose sand's ks, beyond what hundredths of cm/day could hold, stays in its tenths.
TEST(ToolTest, TheHydraulicMapDescribesItsBands) {
    const fs::path folder = testFolder("hydraulic-bands");
    const RasterLayout layout;
    const auto cells = static_cast<std::size_t>(layout.width * layout.height);
    std::vector<std::string> inputs;
    // Tenths: sand 92, silt 4, clay 4 %, OC 5 g/kg; bd 0.90 g/cm3 in hundredths, by its scale.
    for (const auto& [name, value] :
         {std::pair{"sand", 920.0}, std::pair{"silt", 40.0}, std::pair{"clay", 40.0},
          std::pair{"oc", 50.0}, std::pair{"bd", 90.0}}) {
        const fs::path path = folder / (std::string(name) + ".tif");
        RasterLayout own = layout;
        own.scale = std::string_view(name) == "bd" ? std::optional(0.01) : std::nullopt;
        writeRaster(path, own, std::vector<double>(cells, value));
        inputs.insert(inputs.end(), {"--" + std::string(name), path.string()});
    }
    const fs::path out = folder / "out.tif";
    ASSERT_EQ(runMap(inputs, {"--hydraulics", "saxton-rawls", "--scale", TenthsOfAll, "--type",
                              "Int16", "--output", out.string()})
                  .status,
              0);
    const GDALDatasetUniquePtr map(GDALDataset::Open(out.c_str(), GDAL_OF_RASTER));
    EXPECT_STREQ(map->GetMetadataItem("TALVO_MODEL"), "saxton-rawls");
    EXPECT_STREQ(map->GetMetadataItem("TALVO_ORGANIC_MATTER"), "OC x 1.724");
    struct Band {
        const char* name;
        const char* unit;
        double scale;
        double cell; // the value's steps; -32768 nodata
    };
    // theta_s 66.04, fc 11.49, pwp 2.54 % v/v; ks 955.1 cm/day; flags psd and domain.
    const std::array<Band, 9> bands{{
        {"theta_r", "% v/v", 0.01, -32768},
        {"theta_s", "% v/v", 0.01, 6604},
        {"alpha", "1/cm", 1e-5, -32768},
        {"n", "", 1e-4, -32768},
        {"ks", "cm/day", 0.1, 9551},
        {"fc", "% v/v", 0.01, 1149},
        {"pwp", "% v/v", 0.01, 254},
        {"awc", "% v/v", 0.01, 895},
        {"flags", "", 1, 32 + 256},
    }};
    const auto values = readBands(out);
    ASSERT_EQ(values.size(), bands.size());
    for (std::size_t i = 0; i < bands.size(); ++i) {
        GDALRasterBand* const band = map->GetRasterBand(static_cast<int>(i) + 1);
        EXPECT_STREQ(band->GetDescription(), bands[i].name);
        EXPECT_STREQ(band->GetUnitType(), bands[i].unit);
        EXPECT_EQ(band->GetScale(), bands[i].scale) << bands[i].name;
        EXPECT_EQ(values[i][0], bands[i].cell) << bands[i].name;
    }
}

// Usage and input errors: one line, status 2, and no map left behind; an input or a read-only
// map (meant to stay, even for root) named as the output is untouched.
TEST(ToolTest, RefusesWhatItCannotMapExactly) {
    const fs::path folder = testFolder("failures");
    RasterLayout layout;
    writeRaster(folder / "a.tif", layout, std::vector<double>(std::size_t{40} * 30, 300.0));
    layout.height = 29;
    writeRaster(folder / "short.tif", layout, std::vector<double>(std::size_t{40} * 29, 300.0));
    const std::string a = (folder / "a.tif").string();
    const std::string shorter = (folder / "short.tif").string();
    const std::string none = (folder / "none.tif").string();
    const std::string kept = (folder / "kept.tif").string();
    std::ofstream(kept) << "old map";
    // Opens, but its cells cannot be read.
    const std::string lost = (folder / "lost.vrt").string();
    std::ofstream(lost) << R"(<VRTDataset rasterXSize="40" rasterYSize="30"><VRTRasterBand )"
                           R"(dataType="Int16" band="1"><SimpleSource><SourceFilename )"
                           R"(relativeToVRT="1">gone.tif</SourceFilename></SimpleSource>)"
                           R"(</VRTRasterBand></VRTDataset>)";
    fs::permissions(kept, fs::perms::owner_read);
    const auto withModel0 = [&](std::vector<std::string> more) {
        more.insert(more.begin(), {"--model", "0", "--sand", a, "--clay", a});
        return more;
    };
    const auto withHydraulics = [&](const std::string& model, std::vector<std::string> more) {
        more.insert(more.begin(),
                    {"--hydraulics", model, "--sand", a, "--silt", a, "--clay", a, "--oc", a});
        return more;
    };
    const std::string density = (folder / "bd.tif").string();
    fs::copy_file(a, density);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {withHydraulics("all", {}),
         "--hydraulics: one model a map: give saxton-rawls or hypres (see --help)"},
        {withHydraulics("hypres", {"--bd", density}),
         "--hydraulics hypres reads topsoil or subsoil: give --topsoil yes|no"},
        {withHydraulics("hypres", {"--topsoil", "no"}),
         "--hydraulics hypres reads bulk density: give --bd"},
        {{"--hydraulics", "saxton-rawls", "--sand", a, "--clay", a, "--oc", a},
         "--hydraulics saxton-rawls reads silt: give --silt"},
        {withHydraulics("saxton-rawls", {"--depths", "0-5"}),
         "--depths excludes --hydraulics (see --help)"},
        {withHydraulics("saxton-rawls", {"--bd", shorter}),
         "--sand " + a + " and --bd " + shorter + " differ in size: 40x30 against 40x29"},
        {withHydraulics("saxton-rawls", {"--bd", density, "--output", density}),
         "--output " + density + " is an input: write the map to another file"},
        {withModel0({"--bd", density}), "--bd requires --depths or --hydraulics"},
        {{"--model", "0", "--sand", a, "--clay", shorter},
         "--sand " + a + " and --clay " + shorter + " differ in size: 40x30 against 40x29"},
        {{"--model", "2", "--sand", a, "--oc", a},
         "model Rawls et al., 1982 reads clay: give --clay"},
        {{"--model", "0", "--sand", a, "--clay", none},
         "cannot read --clay " + none + ": " + none + ": No such file or directory"},
        {{"--model", "0", "--sand", lost, "--clay", lost},
         "cannot read --sand " + lost + ": " + (folder / "gone.tif").string() +
             ": No such file or directory"},
        {{"--model", "7", "--sand", a, "--clay", a},
         "unknown model '7': give a position 0 to 6 or a name, or its beginning, as "
         "--list-models shows it"},
        {{"--model", "t", "--sand", a, "--clay", a},
         "--model 't' names the beginning of TALVO PTF model (PSD), TALVO PTF model (PSD + OC), "
         "Tomasella and Hodnett, 1998: give more of the name, or the position"},
        {withModel0({"--output", (folder / "map.PNG").string()}),
         "--output: '" + (folder / "map.PNG").string() +
             "': talvo-map writes GeoTIFF; give a name ending in .tif (see --help)"},
        {{"--sand", a, "--clay", a},
         "--model is required (see --help, --list-models and --hydraulics)"},
        {{"--long"}, "--long goes with --list-models (see --help)"},
        {withModel0({"--psd", "usda"}), "--psd usda moves the coarse silt into sand: give --silt"},
        {withModel0({"--soilgrids", "--psd", "international"}),
         "--soilgrids: the soil grids are on the USDA scale: leave out --psd (see --help)"},
        {withModel0({"--type", "Int16", "--precision", "general"}),
         "--type Int16 stores hundredths, which hold the two-decimal values only: give --type "
         "Float32 or Float64 with --precision general"},
        {withModel0({"--tile", "5/4"}),
         "--tile '5/4': give I/N, the I-th of N tiles, with 1 <= I <= N"},
        {withModel0({"--scale", "sand=0"}), "scale '0': a scale must be above zero"},
        {withModel0({"--soilgrids", "--scale", "sand=1"}),
         "--scale excludes --soilgrids (see --help)"},
        {withModel0({"--output", a}),
         "--output " + a + " is an input: write the map to another file"},
        {withModel0({"--output", kept}), "cannot write " + kept + ": Permission denied"},
        {withModel0({"--output", ""}), "the output has an empty name: name a file"},
    };
    const std::string out = (folder / "out.tif").string();
    for (auto [arguments, message] : cases) {
        if (std::find(arguments.begin(), arguments.end(), "--output") == arguments.end()) {
            arguments.insert(arguments.end(), {"--output", out});
        }
        const Outcome outcome = runMap(arguments);
        EXPECT_EQ(outcome.status, 2) << message;
        EXPECT_EQ(outcome.errorText, "talvo-map: " + message);
        EXPECT_FALSE(fs::exists(out)) << message;
    }
    EXPECT_EQ(readBands(a)[0][0], 300.0);
    EXPECT_EQ(fs::file_size(kept), 7U);
}

// A terminating signal (Ctrl-C, a scheduler's SIGTERM, a CPU time limit) ends the run as it
// would have, leaves no half-written map nor its side file, and keeps the old one.
TEST(ToolTest, ASignalLeavesNoHalfMap) {
    const fs::path folder = testFolder("signal");
    GDALAllRegister();
    // Large but empty: no block is stored, so the run lasts while reading costs nothing.
    GDALDriver* const driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    const std::array options{"TILED=YES", "SPARSE_OK=TRUE", static_cast<const char*>(nullptr)};
    for (const char* name : {"sand.tif", "clay.tif"}) {
        const GDALDatasetUniquePtr raster(
            driver->Create((folder / name).c_str(), 20000, 20000, 1, GDT_Int16, options.data()));
        ASSERT_TRUE(raster);
        raster->GetRasterBand(1)->SetNoDataValue(Nodata);
    }
    const fs::path map = folder / "map.tif";
    std::ofstream(map) << "old map";
    // Another run's file of the same map: its name differs, and it is not this run's to remove.
    const fs::path other = folder / ".talvo-map.map.tif.0000000000000001.tmp";
    std::ofstream(other) << "another run";
    const auto files = [&] {
        return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    };
    // Every signal whose default ends the process: a user's, a scheduler's, a time limit's.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
                             SIGPROF, SIGXCPU, SIGTRAP, SIGRTMIN}) {
        SCOPED_TRACE(signal);
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            // A test run from a background job inherits SIGINT ignored, and so would the tool.
            std::signal(signal, SIG_DFL);
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore); // SIGQUIT and others would dump one
            ::execl(TALVO_MAP_EXE, "talvo-map", "--model", "0", "--sand",
                    (folder / "sand.tif").c_str(), "--clay", (folder / "clay.tif").c_str(),
                    "--output", map.c_str(), nullptr);
            ::_exit(127);
        }
        // Signalled once its own partial map appears; killed outright if it never does. The
        // limit is in clock time, as a loaded machine (sanitizers, parallel tests) starts the
        // tool slowly.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (files() == 4 && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const bool writing = files() == 5;
        ::kill(child, writing ? signal : SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(writing);
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(files(), 4);
        EXPECT_TRUE(fs::exists(other));
        std::ifstream old(map);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old map");
    }
}

} // namespace
} // namespace talvo::map::test
