#include "base/Services.h"

#include "base/Modules.h"
#include "base/Notifier.h"
#include "base/QtPlatform.h"
#include "base/SecretStore.h"
#include "base/SyncModules.h"
#include "config/Autostart.h"
#include "config/SyncSettings.h"
#include "memos/ICalendarModule.h"
#include "sync/DavTransport.h"
#include "sync/EventCodec.h"
#include "update/HttpClient.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpacerItem>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include <cstring>

namespace kestrivel {

namespace {

// The title bar's icon and buttons, which the window manager puts beside the caption.
static constexpr int kTitleBarButtonsWidth = 160;

} // namespace

void KeepCaptionWhole(QMessageBox& box) {
    // A box with a short text is narrow, and the window manager cuts its caption ("K..."): the box
    // is made wide enough for the caption beside the title bar's buttons.
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) {
        return;
    }
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + kTitleBarButtonsWidth;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

TServices::TServices(std::unique_ptr<IHttpClient> http, std::unique_ptr<IAutostart> autostart)
    : m_http(std::move(http)), m_autostart(std::move(autostart)), m_builtInMessages(BuiltInMessages()),
      m_messages(&m_builtInMessages), m_syncPassword(qEnvironmentVariable(kSyncPasswordVariable)) {
    // Every program the calendar opens (a browser, a file manager) would inherit the password.
    qunsetenv(kSyncPasswordVariable);
}

TServices::~TServices() = default;

void TServices::UseMessages(const TNameValueList& table) {
    m_messages = &table;
}

QDateTime TServices::Now() const {
    return QDateTime::currentDateTime();
}

int TServices::ShowBox(QWidget* parent, const TMessageBox& box) {
    QMessageBox dialog(QMessageBox::NoIcon, TextToQString(box.Caption), TextToQString(box.Text),
                       QMessageBox::NoButton, parent);
    switch (box.Buttons) {
    case TMessageButtons::YesNo:
        dialog.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case TMessageButtons::YesNoCancel:
        dialog.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    default:
        dialog.setStandardButtons(QMessageBox::Ok);
        break;
    }
    KeepCaptionWhole(dialog);
    switch (dialog.exec()) {
    case QMessageBox::Yes:
        return TMessageResult::Yes;
    case QMessageBox::No:
        return TMessageResult::No;
    case QMessageBox::Cancel:
        return TMessageResult::Cancel;
    default:
        return 1;
    }
}

std::optional<std::string> TServices::InputBox(QWidget* parent, const TMessageBox& box) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, TextToQString(box.Caption), TextToQString(box.Text),
                                               QLineEdit::Normal, TextToQString(box.DefaultText), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return text.toStdString();
}

QString TServices::OpenFileName(QWidget* parent, const QString& filter, const QString& folder) {
    return QFileDialog::getOpenFileName(parent, QString(), folder, filter);
}

QString TServices::SaveFileName(QWidget* parent, const QString& filter, const QString& defaultSuffix) {
    QFileDialog dialog(parent, QString(), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, defaultSuffix](const QString& chosen) {
                         const QString suffix = FilterSuffix(chosen);
                         dialog.setDefaultSuffix(suffix.isEmpty() ? defaultSuffix : suffix);
                     });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().first();
}

std::optional<QColor> TServices::PickColor(QWidget* parent, const QColor& initial) {
    const QColor color = QColorDialog::getColor(initial, parent);
    if (!color.isValid()) {
        return std::nullopt;
    }
    return color;
}

QList<QRect> TServices::ScreenRects() const {
    QList<QRect> rects;
    for (const QScreen* screen : QGuiApplication::screens()) {
        rects.append(screen->geometry());
    }
    return rects;
}

bool TServices::OpenUrl(const QString& url) {
    if (!IsWebAddress(url)) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl(url));
}

QString TServices::Environment(const char* name) const {
    if (std::strcmp(name, kSyncPasswordVariable) == 0) {
        return m_syncPassword;
    }
    return qEnvironmentVariable(name);
}

bool TServices::ExportICalendar(const TMemoList& memos, int first, int last, const std::string& path,
                                int64_t stampUtcSeconds) {
    const auto write =
        ResolveModuleFunction<KestrivelExportICalendarFn>(kICalendarModuleName, kExportICalendarSymbol);
    return write != nullptr && write(memos, first, last, path, stampUtcSeconds);
}

bool TServices::ImportICalendar(TMemoList& memos, const std::string& path, ICalendarImportCounts& counts) {
    const auto read =
        ResolveModuleFunction<KestrivelImportICalendarFn>(kICalendarModuleName, kImportICalendarSymbol);
    return read != nullptr && read(memos, path, counts);
}

void TServices::ReadSyncPassword(const TSyncSettings& settings, QObject* context, SecretDone done) {
    ReadSecretLater(SyncPasswordKey(settings.User, settings.Server), context, std::move(done));
}

void TServices::WriteSyncPassword(const TSyncSettings& settings, const std::string& password,
                                  QObject* context, SecretDone done) {
    const std::string key = SyncPasswordKey(settings.User, settings.Server);
    if (password.empty()) {
        DeleteSecretLater(key, context, std::move(done));
    } else {
        WriteSecretLater(key, password, context, std::move(done));
    }
}

TServices::TSyncMakers TServices::SyncMakers(int timeoutMs) {
    return {[timeoutMs] { return CreateModuleDavTransport(timeoutMs); },
            [] { return CreateModuleEventCodec(); }};
}

void TServices::Notify(const QString& summary, const QString& body) {
    SendDesktopNotification(summary, body);
}

bool TServices::IsActiveWindow(const QWidget& window) const {
    return window.isActiveWindow();
}

bool TServices::CompositorActive(const QWidget& window) const {
    return kestrivel::CompositorActive(window.screen()) && window.windowHandle() != nullptr &&
           window.windowHandle()->format().hasAlpha();
}

bool IsWebAddress(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !parsed.host().isEmpty();
}

QString FilterSuffix(const QString& filter) {
    static const QRegularExpression kSinglePattern(QStringLiteral("\\(\\s*\\*\\.(\\w+)\\s*\\)\\s*$"));
    const QRegularExpressionMatch match = kSinglePattern.match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace kestrivel
