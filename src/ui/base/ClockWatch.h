#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrivel {

// Tells at once when the system clock is set. On Linux a real-time timer armed far in the future
// with cancel-on-set is cancelled by every clock change; elsewhere nothing is reported and the
// calendar's one-second timer still finds the new day.
class TClockWatch : public QObject {
    Q_OBJECT
public:
    explicit TClockWatch(QObject* parent = nullptr);
    ~TClockWatch() override;
    bool IsWatching() const { return m_fd >= 0; }

signals:
    void clockChanged();

private:
    void arm();
    void onActivated();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace kestrivel
