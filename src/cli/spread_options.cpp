#include "cli/spread_options.h"

namespace talvo::cli {

CLI::Option* addSpreadOptions(CLI::App& app, base::SpreadSources& spreads,
                              estimation::DrawSettings& draws, const std::string& sdHelp,
                              std::string_view each) {
    CLI::Option* const sd =
        app.add_option_function<std::string>(
               "--sd", [&spreads](const std::string& text) { spreads = base::parseSpreads(text); },
               sdHelp)
            ->type_name("NAME=SD,...");
    const std::string one(each);
    app.add_option_function<std::string>(
           "--draws", [&draws](const std::string& text) { draws.draws = base::parseDraws(text); },
           "with --sd: soils drawn around each " + one + " (default " +
               std::to_string(estimation::DefaultDraws) + ", at least " +
               std::to_string(estimation::FewestDraws) + ")")
        ->type_name("N")
        ->needs(sd);
    app.add_option_function<std::string>(
           "--seed", [&draws](const std::string& text) { draws.seed = base::parseSeed(text); },
           "with --sd: the draws' seed (default " + std::to_string(estimation::DefaultSeed) +
               "); each " + one + "'s draws start from it, so that a " + one +
               " gives the same percentiles on every machine, whatever the " + one + "s around it")
        ->type_name("N")
        ->needs(sd);
    return sd;
}

} // namespace talvo::cli
