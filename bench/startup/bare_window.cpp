// The baseline of the start-up benchmark: the least a Qt program does to show a
// window like the client's (frameless, always on top, no taskbar entry, the same
// size), so that the client's start-up is read as a ratio to it.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint);
    window.setGeometry(1650, 30, 240, 570);
    window.show();
    return QApplication::exec();
}
