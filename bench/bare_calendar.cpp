// The yardstick for the calendar's start-up and idle memory: the least a Qt 6 program needs to do
// the same visible work — one frameless shaped tool window and a tray icon, nothing read or drawn.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QSystemTrayIcon>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bare"));
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window.setWindowRole(QStringLiteral("calendar"));
    window.resize(142, 120);
    window.setMask(QRegion(0, 0, 142, 120, QRegion::Ellipse));
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.show();
    window.show();
    return app.exec();
}
