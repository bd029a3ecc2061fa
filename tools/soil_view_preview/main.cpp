// Shows the soil view alone for a soil given on the command line, for screenshots and for
// looking at it: soil_view_preview SAND SILT CLAY OC
#include "window/application.h"
#include "window/soil_view.h"

#include <QApplication>

#include <array>
#include <cstddef>
#include <string>

int main(int argc, char** argv) {
    const QApplication application(argc, argv);
    talvo::window::describeApplication();
    const QStringList arguments = QApplication::arguments();
    std::array<std::string, 4> texts;
    for (std::size_t i = 0; i < texts.size() && static_cast<qsizetype>(i) + 1 < arguments.size();
         ++i) {
        texts.at(i) = arguments.at(static_cast<qsizetype>(i) + 1).toStdString();
    }
    talvo::window::SoilView view;
    view.showInputs({texts[0], texts[1], texts[2], texts[3]}, {});
    talvo::window::showCentred(view);
    return QApplication::exec();
}
