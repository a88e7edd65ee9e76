#include "base/ClockWatch.h"

#include <QSocketNotifier>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#endif

namespace kestrivel {

TClockWatch::TClockWatch(QObject* parent) : QObject(parent) {
#ifdef __linux__
    m_fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    arm();
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TClockWatch::onActivated);
#endif
}

TClockWatch::~TClockWatch() {
#ifdef __linux__
    if (m_fd >= 0) {
        ::close(m_fd);
    }
#endif
}

void TClockWatch::arm() {
#ifdef __linux__
    // An absolute expiry that never comes; only a clock change wakes the descriptor.
    itimerspec expiry{};
    expiry.it_value.tv_sec = static_cast<time_t>(INT32_MAX);
    timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr);
#endif
}

void TClockWatch::onActivated() {
#ifdef __linux__
    uint64_t expirations = 0;
    const ssize_t got = ::read(m_fd, &expirations, sizeof expirations);
    if (got < 0 && errno == ECANCELED) {
        arm();
        emit clockChanged();
    }
#endif
}

} // namespace kestrivel
