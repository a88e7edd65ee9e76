// The yardstick for the calendar's start-up and idle memory: the least a Qt 6 program needs to do
// the same visible work — one frameless shaped tool window and a tray icon, nothing read. With
// "--text" the window is sized to one line of text and draws it, as the calendar sizes itself to its
// texts before it shows: the font stack (fontconfig, FreeType, HarfBuzz) is loaded before the window
// maps.
#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QSystemTrayIcon>
#include <QWidget>

#include <cstring>

namespace {

class BareWindow : public QWidget {
public:
    explicit BareWindow(bool text) : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), m_text(text) {}
    static QString Text() { return QStringLiteral("December 2026"); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (m_text) {
            painter.drawText(rect(), Qt::AlignCenter, Text());
        }
    }

private:
    bool m_text;
};

} // namespace

int main(int argc, char* argv[]) {
    const bool text = argc > 1 && std::strcmp(argv[1], "--text") == 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bare"));
    BareWindow window(text);
    window.setWindowRole(QStringLiteral("calendar"));
    const QSize size =
        text ? window.fontMetrics().size(0, BareWindow::Text()) + QSize(40, 40) : QSize(142, 120);
    window.resize(size);
    window.setMask(QRegion(QRect(QPoint(0, 0), size), QRegion::Ellipse));
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.show();
    window.show();
    return app.exec();
}
