// The yardstick for the calculator's start-up: a bare Qt window with one button, started and
// closed the same way.
#include <QApplication>
#include <QPushButton>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    QPushButton button(QStringLiteral("Button"), &window);
    window.show();
    return QApplication::exec();
}
