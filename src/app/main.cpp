#include "window/application.h"
#include "window/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    talvo::window::describeApplication();

    talvo::window::Form1 form;
    talvo::window::showCentred(form);
    return QApplication::exec();
}
