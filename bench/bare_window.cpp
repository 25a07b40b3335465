// The floor for the start-up figure: a bare Qt window of the accounts window's size, started
// the same way as the program.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Usuario"));
    window.setFixedSize(504, 232);
    window.show();
    return QApplication::exec();
}
