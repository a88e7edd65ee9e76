#pragma once

#include "base/SecretStore.h"
#include "config/Autostart.h"
#include "config/SyncSettings.h"
#include "lang/MessageTable.h"
#include "memos/ICalendar.h"
#include "update/HttpClient.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QMessageBox;
class QWidget;

namespace kestrivel {

class IDavTransport;
class IEventCodec;

// Everything the windows ask of the desktop and the outside world, built once in main and passed
// to every window. Tests derive a fake that answers boxes and dialogs from a queue and never
// touches the clock, the network or the screens.
class TServices {
public:
    TServices(std::unique_ptr<IHttpClient> http, std::unique_ptr<IAutostart> autostart);
    virtual ~TServices();
    TServices(const TServices&) = delete;
    TServices& operator=(const TServices&) = delete;

    virtual QDateTime Now() const;
    // A modal box without icon; returns the pressed button's code (TMessageResult; OK gives 1).
    virtual int ShowBox(QWidget* parent, const TMessageBox& box);
    // The input box; none when the user cancels.
    virtual std::optional<std::string> InputBox(QWidget* parent, const TMessageBox& box);
    // File dialogs; an empty name when the user cancels. `filter` in Qt's form ("Schemes (*.sch)").
    // `folder`: where the dialog opens (empty: the platform's choice).
    virtual QString OpenFileName(QWidget* parent, const QString& filter, const QString& folder = QString());
    // `filter` may list several filters ("A (*.a);;B (*.b)"): `defaultSuffix` belongs to the first,
    // and a name typed without suffix gets the suffix of the filter chosen (FilterSuffix).
    virtual QString SaveFileName(QWidget* parent, const QString& filter, const QString& defaultSuffix);
    virtual std::optional<QColor> PickColor(QWidget* parent, const QColor& initial);
    // The geometry of every screen.
    virtual QList<QRect> ScreenRects() const;
    // Opens an address in the user's browser: http and https only, anything else is ignored.
    virtual bool OpenUrl(const QString& url);
    // A variable of the program's environment; empty when unset. The sync password's variable is
    // taken out of the environment when the services are made and answered from here.
    virtual QString Environment(const char* name) const;
    // iCalendar files, written and read by the "kestrivel-ical" module as ExportMemosToICalendar and
    // ImportMemosFromICalendar do. Without the module nothing is written or read, and both fail.
    virtual bool ExportICalendar(const TMemoList& memos, int first, int last, const std::string& path,
                                 int64_t stampUtcSeconds);
    virtual bool ImportICalendar(TMemoList& memos, const std::string& path, ICalendarImportCounts& counts);
    // One desktop notification of the program (SendDesktopNotification); nothing happens and nothing
    // is reported without a session bus or a notification service.
    virtual void Notify(const QString& summary, const QString& body);
    // Whether `window` is the one the keyboard works in.
    virtual bool IsActiveWindow(const QWidget& window) const;
    // Whether `window` can show translucent pixels now: a compositing manager runs on its screen
    // and its native window has an alpha channel.
    virtual bool CompositorActive(const QWidget& window) const;

    // The sync password of `settings`' user and server in the desktop's secret store. Nothing waits
    // for the store: `done` runs later on this thread's event loop with its answer (ReadSecretLater),
    // and not at all once `context` is gone. Writing an empty password removes it.
    virtual void ReadSyncPassword(const TSyncSettings& settings, QObject* context, SecretDone done);
    virtual void WriteSyncPassword(const TSyncSettings& settings, const std::string& password,
                                   QObject* context, SecretDone done);
    // What a sync talks through, made by the modules. The makers are called on the sync thread,
    // which then alone uses and deletes what they make; they hold nothing of the services, so a sync
    // that is still finishing when the services go touches nothing of theirs. A maker gives null when
    // its module is missing.
    struct TSyncMakers {
        std::function<std::unique_ptr<IDavTransport>()> Transport;
        std::function<std::unique_ptr<IEventCodec>()> Codec;
    };
    virtual TSyncMakers SyncMakers(int timeoutMs);

    IHttpClient& Http() { return *m_http; }
    IAutostart& Autostart() { return *m_autostart; }

    // The message table every box is built from. The services start with the built-in texts; a
    // translation hands over the table it keeps, which must outlive the services or be replaced.
    const TNameValueList& Messages() const { return *m_messages; }
    void UseMessages(const TNameValueList& table);

private:
    std::unique_ptr<IHttpClient> m_http;
    std::unique_ptr<IAutostart> m_autostart;
    TNameValueList m_builtInMessages;
    const TNameValueList* m_messages;
    QString m_syncPassword;
};

// Widens a message box so that the window manager shows its caption whole beside the title bar's
// buttons, however short its text.
void KeepCaptionWhole(QMessageBox& box);

// Whether `url` may be handed to the browser: an http or https address with a host.
bool IsWebAddress(const QString& url);

// The suffix of one filter that names exactly one plain pattern: "ics" for "iCalendar file
// (*.ics)"; empty for anything else ("*", "*.a *.b", no pattern).
QString FilterSuffix(const QString& filter);

} // namespace kestrivel
