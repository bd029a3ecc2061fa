#include "base/options.h"

#include "base/printable.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace talvo::base {

namespace {

// One model of a list: a position, or a name or its unique beginning in any case.
const estimation::PtfModel* findModel(std::string_view text) {
    const std::vector<const estimation::PtfModel*> named = modelsNamed(text);
    if (named.size() > 1) {
        std::string message;
        modelNamed(text, message);
        throw Error("--model " + message);
    }
    return named.empty() ? nullptr : named.front();
}

// The longest list text that `rest` starts with, whole up to a comma or the end; List texts
// hold commas themselves ("Rawls et al., 1982"), so a whole one is tried before a part.
const estimation::PtfModel* longestListText(std::string_view rest, std::size_t& length) {
    const estimation::PtfModel* found = nullptr;
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        const std::size_t size = model.listText.size();
        if (rest.size() >= size && sameName(rest.substr(0, size), model.listText) &&
            (rest.size() == size || rest[size] == ',') && size > length) {
            found = &model;
            length = size;
        }
    }
    return found;
}

// The value whose name `text` is, in any case; else the refusal of option `name`.
template <typename Value, std::size_t Count>
Value chosen(std::string_view name, Spelling spelling, std::string_view text,
             const std::array<std::pair<std::string_view, Value>, Count>& values,
             std::string_view want) {
    for (const auto& [word, value] : values) {
        if (sameName(text, word)) {
            return value;
        }
    }
    throw refusal(name, spelling, text, want);
}

// A number within [low, high] (`above`: low itself excluded), NaN never.
bool within(double number, double low, double high, bool above) {
    return (above ? number > low : number >= low) && number <= high;
}

// A number that came as one, as a message echoes it; the engine's texts are of finite ones.
std::string numberText(double number) {
    if (std::isnan(number)) {
        return "nan";
    }
    if (std::isinf(number)) {
        return number > 0 ? "inf" : "-inf";
    }
    return estimation::generalText(number);
}

const std::string& rootDepthWant() {
    static const std::string want =
        "a depth in cm above 0 and at most " + estimation::generalText(estimation::DeepestHorizon);
    return want;
}
constexpr std::string_view DepletionWant = "a share of 0 to 1, such as 0.5";

} // namespace

std::string optionName(std::string_view name, Spelling spelling) {
    if (spelling == Spelling::option) {
        return "--" + std::string(name);
    }
    std::string keyword(name);
    std::replace(keyword.begin(), keyword.end(), '-', '_');
    return keyword;
}

bool sameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string quoted(std::string_view text) {
    return "'" + printable(text) + "'";
}

Error refusal(std::string_view name, Spelling spelling, std::string_view text,
              std::string_view want) {
    return Error(optionName(name, spelling) + " " + quoted(text) + ": give " + std::string(want));
}

std::vector<const estimation::PtfModel*> modelsNamed(std::string_view text) {
    std::vector<const estimation::PtfModel*> named;
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        if (text == std::to_string(model.position) || sameName(text, model.listText)) {
            return {&model};
        }
        if (!text.empty() && text.size() < model.listText.size() &&
            sameName(text, model.listText.substr(0, text.size()))) {
            named.push_back(&model);
        }
    }
    return named;
}

const estimation::PtfModel* modelNamed(std::string_view text, std::string& message) {
    const std::vector<const estimation::PtfModel*> named = modelsNamed(text);
    if (named.size() == 1) {
        return named.front();
    }
    if (named.empty()) {
        message = "unknown model " + quoted(text) + ": give a position 0 to " +
                  std::to_string(estimation::ModelCount - 1) +
                  " or a name, or its beginning, as --list-models shows it";
    } else {
        message = quoted(text) + " names the beginning of";
        for (const estimation::PtfModel* model : named) {
            message += (model == named.front() ? " " : ", ") + std::string(model->listText);
        }
        message += ": give more of the name, or the position";
    }
    return nullptr;
}

const estimation::PtfModel& parseModel(std::string_view text) {
    std::string message;
    const estimation::PtfModel* const model = modelNamed(text, message);
    if (model == nullptr) {
        // "unknown model 'x'" says what it is about; "'t' names the beginning of" does not.
        throw Error(modelsNamed(text).empty() ? message : "--model " + message);
    }
    return *model;
}

std::vector<const estimation::PtfModel*> parseModels(std::string_view text, bool& all) {
    all = text == "all";
    std::vector<const estimation::PtfModel*> models;
    const auto add = [&models](const estimation::PtfModel* model) {
        if (std::find(models.begin(), models.end(), model) == models.end()) {
            models.push_back(model);
        }
    };
    if (all) {
        for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
            add(&model);
        }
        return models;
    }
    std::string_view rest = text;
    // An empty list would run no model at all; it is refused as an unknown model, as "," is.
    do {
        std::size_t length = 0;
        const estimation::PtfModel* found = longestListText(rest, length);
        if (found == nullptr) {
            length = std::min(rest.find(','), rest.size());
            found = findModel(rest.substr(0, length));
        }
        if (found == nullptr) {
            throw Error("unknown model " + quoted(rest.substr(0, length)) +
                        ": give positions 0 to " + std::to_string(estimation::ModelCount - 1) +
                        " or names (or their beginnings) as --list-models shows them, separated "
                        "by commas, or all");
        }
        add(found);
        rest.remove_prefix(std::min(length + 1, rest.size()));
    } while (!rest.empty());
    return models;
}

std::optional<estimation::DecimalSeparator> decimalNamed(std::string_view text,
                                                         std::string& message) {
    if (text != "." && text != ",") {
        message = quoted(text) + ": give . or ,";
        return std::nullopt;
    }
    return estimation::DecimalSeparator(text.front());
}

estimation::DecimalSeparator parseDecimal(std::string_view text) {
    std::string message;
    const std::optional<estimation::DecimalSeparator> separator = decimalNamed(text, message);
    if (!separator) {
        throw Error("--decimal " + message);
    }
    return *separator;
}

estimation::Precision parsePrecision(std::string_view text, Spelling spelling) {
    using estimation::Precision;
    return chosen("precision", spelling, text,
                  std::array{std::pair{std::string_view("fixed"), Precision::fixed},
                             std::pair{std::string_view("general"), Precision::general}},
                  "fixed or general");
}

estimation::ParticleSizeScale parseParticleSizeScale(std::string_view text, Spelling spelling) {
    using estimation::ParticleSizeScale;
    return chosen(
        "psd", spelling, text,
        // isss: the International Society of Soil Science's scale, as R users name it.
        std::array{std::pair{estimation::name(ParticleSizeScale::usda), ParticleSizeScale::usda},
                   std::pair{estimation::name(ParticleSizeScale::international),
                             ParticleSizeScale::international},
                   std::pair{std::string_view("isss"), ParticleSizeScale::international}},
        "usda (silt 2-50 um) or international (silt 2-20 um)");
}

estimation::CarbonUnit parseCarbonUnit(std::string_view text, Spelling spelling) {
    using estimation::CarbonUnit;
    return chosen("oc-unit", spelling, text,
                  std::array{std::pair{estimation::name(CarbonUnit::gramsPerKilogram),
                                       CarbonUnit::gramsPerKilogram},
                             std::pair{estimation::name(CarbonUnit::percent), CarbonUnit::percent}},
                  "g/kg or % (g/100 g)");
}

estimation::CoarseFragmentBasis parseCoarseFragmentBasis(std::string_view text, Spelling spelling) {
    using estimation::CoarseFragmentBasis;
    return chosen("cf-by", spelling, text,
                  std::array{std::pair{std::string_view("volume"), CoarseFragmentBasis::volume},
                             std::pair{std::string_view("weight"), CoarseFragmentBasis::weight}},
                  "volume or weight");
}

double parseRootDepth(std::string_view text) {
    const estimation::ParsedNumber parsed = estimation::readNumber(text);
    if (parsed.failure || !within(parsed.value, 0.0, estimation::DeepestHorizon, true)) {
        throw refusal("root-depth", Spelling::option, text, rootDepthWant());
    }
    return parsed.value;
}

double checkRootDepth(double depth, Spelling spelling) {
    if (!within(depth, 0.0, estimation::DeepestHorizon, true)) {
        throw refusal("root-depth", spelling, numberText(depth), rootDepthWant());
    }
    return depth;
}

double parseDepletion(std::string_view text) {
    const estimation::ParsedNumber parsed = estimation::readNumber(text);
    if (parsed.failure || !within(parsed.value, 0.0, 1.0, false)) {
        throw refusal("depletion", Spelling::option, text, DepletionWant);
    }
    return parsed.value;
}

double checkDepletion(double share, Spelling spelling) {
    if (!within(share, 0.0, 1.0, false)) {
        throw refusal("depletion", spelling, numberText(share), DepletionWant);
    }
    return share;
}

// ---- Hydraulic models

std::vector<estimation::HydraulicModel> parseHydraulicModels(std::string_view text,
                                                             Spelling spelling) {
    using estimation::HydraulicModel;
    if (sameName(text, "all")) {
        return {estimation::allHydraulicModels.begin(), estimation::allHydraulicModels.end()};
    }
    const HydraulicModel model = chosen(
        "hydraulics", spelling, text,
        std::array{
            std::pair{estimation::name(HydraulicModel::saxtonRawls), HydraulicModel::saxtonRawls},
            std::pair{estimation::name(HydraulicModel::hypres), HydraulicModel::hypres}},
        "saxton-rawls, hypres or all");
    return {model};
}

bool parseTopsoil(std::string_view text, Spelling spelling) {
    return chosen("topsoil", spelling, text,
                  std::array{std::pair{std::string_view("yes"), true},
                             std::pair{std::string_view("no"), false}},
                  "yes or no");
}

std::optional<bool> topsoilNamed(std::string_view text) {
    for (const std::string_view word : {"1", "yes", "true", "top"}) {
        if (sameName(text, word)) {
            return true;
        }
    }
    for (const std::string_view word : {"0", "no", "false", "sub"}) {
        if (sameName(text, word)) {
            return false;
        }
    }
    return std::nullopt;
}

double parseFieldCapacityHead(std::string_view text, Spelling spelling) {
    return chosen("fc-head", spelling, text,
                  std::array{std::pair{std::string_view("330"), estimation::FieldCapacityHead},
                             std::pair{std::string_view("100"), estimation::WetFieldCapacityHead}},
                  "330 or 100 (cm)");
}

} // namespace talvo::base
