// The yardstick for the calendar's start-up and idle memory: the least a Qt 6 program needs to do
// the same visible work — one frameless shaped tool window and a tray icon, nothing read. With
// "--text" the window also draws one line of text, which loads the font stack (fontconfig, FreeType,
// HarfBuzz) that any program showing text pays for.
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

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (m_text) {
            painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("December 2026"));
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
    window.resize(142, 120);
    window.setMask(QRegion(0, 0, 142, 120, QRegion::Ellipse));
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.show();
    window.show();
    return app.exec();
}
