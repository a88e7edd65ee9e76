#include "calendar/DateBox.h"

#include "base/QtPlatform.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace kestrivel {

namespace {

// The application's colours with every role set, so that none falls back to the calendar window's
// key colour.
QPalette SystemColours() {
    const QPalette system = QApplication::palette();
    QPalette colours = system;
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto g = static_cast<QPalette::ColorGroup>(group);
            const auto r = static_cast<QPalette::ColorRole>(role);
            if (r != QPalette::NoRole) {
                colours.setColor(g, r, system.color(g, r));
            }
        }
    }
    return colours;
}

} // namespace

TDateBox::TDateBox(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("pnlDate"));
    setFrameShape(QFrame::NoFrame);
    setPalette(SystemColours());
    setAutoFillBackground(true);
    // Presses and moves over the box are the box's own: no drag, no hint.
    setAttribute(Qt::WA_NoMousePropagation);
    hide();

    m_updDate = new QWidget(this);
    m_updDate->setObjectName(QStringLiteral("updDate"));
    auto* arrows = new QHBoxLayout(m_updDate);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->setSpacing(0);
    const auto arrow = [this, arrows](Qt::ArrowType type, bool next) {
        auto* button = new QToolButton(m_updDate);
        button->setArrowType(type);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        arrows->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, next] { emit stepRequested(next); });
        return button;
    };
    m_updDatePrevious = arrow(Qt::LeftArrow, false);
    m_updDateNext = arrow(Qt::RightArrow, true);

    m_edtDate = new QLineEdit(this);
    m_edtDate->setObjectName(QStringLiteral("edtDate"));
    m_edtDate->setFrame(false);
    m_edtDate->setFont(ArialFont(13, false)); // regular set explicitly: the window's font is bold
    m_edtDate->installEventFilter(this);

    m_btnDate = new QPushButton(QStringLiteral("..."), this);
    m_btnDate->setObjectName(QStringLiteral("btnDate"));
    m_btnDate->setFont(ArialFont(11, true));
    m_btnDate->setFixedSize(16, 16);
    m_btnDate->installEventFilter(this);
    connect(m_btnDate, &QPushButton::clicked, this, &TDateBox::todayRequested);
}

void TDateBox::Place(const QRect& box) {
    setGeometry(box);
    m_updDate->setGeometry(0, 0, 28, box.height());
    const int fieldHeight = m_edtDate->sizeHint().height();
    const int fieldTop = (box.height() - fieldHeight) / 2;
    m_edtDate->setGeometry(32, fieldTop, std::max(0, box.width() - 32 - m_btnDate->width()), fieldHeight);
    m_btnDate->move(box.width() - m_btnDate->width(), fieldTop);
}

bool TDateBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edtDate || watched == m_btnDate) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (event->type() == QEvent::KeyPress && !key->isAutoRepeat()) {
            m_keyPressed = key->key();
        } else if (event->type() == QEvent::KeyRelease && !key->isAutoRepeat() &&
                   key->key() == m_keyPressed) {
            m_keyPressed = 0;
            emit keyUp(key->key());
        }
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace kestrivel
