#include "base/CoreLog.h"

#include "common/Log.h"

#include <QString>

namespace kestrivel {

// Warnings and worse would show by default; the core writes only informational lines.
Q_LOGGING_CATEGORY(lcSync, "kestrivel.sync", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFiles, "kestrivel.files", QtWarningMsg)

namespace {

class TQtLogSink : public ILogSink {
public:
    bool Enabled(TLogArea area) const override { return category(area).isInfoEnabled(); }
    void Write(TLogArea area, const std::string& line) override {
        if (area == TLogArea::Sync) {
            qCInfo(lcSync).noquote() << QString::fromStdString(line);
        } else {
            qCInfo(lcFiles).noquote() << QString::fromStdString(line);
        }
    }

private:
    static const QLoggingCategory& category(TLogArea area) {
        return area == TLogArea::Sync ? lcSync() : lcFiles();
    }
};

} // namespace

void InstallCoreLog() {
    static TQtLogSink sink;
    SetLogSink(&sink);
}

} // namespace kestrivel
