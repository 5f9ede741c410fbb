#include "app/ColourScheme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QStyleHints>

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");
constexpr uint kPreferDark = 1;

}  // namespace

QPalette darkFusionPalette() {
    const QColor window(53, 53, 53), base(42, 42, 42), text(Qt::white), disabled(127, 127, 127), highlight(42, 130, 218);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(66, 66, 66));
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Light, QColor(75, 75, 75));
    p.setColor(QPalette::Midlight, QColor(64, 64, 64));
    p.setColor(QPalette::Mid, QColor(44, 44, 44));
    p.setColor(QPalette::Dark, QColor(35, 35, 35));
    p.setColor(QPalette::Shadow, QColor(20, 20, 20));
    p.setColor(QPalette::Link, highlight);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 80));
    return p;
}

bool portalPrefersDark(const QVariant& value) {
    QVariant v = value;
    // Read answers with the value inside a variant inside the reply's variant.
    for (int depth = 0; depth < 4 && v.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth) v = v.value<QDBusVariant>().variant();
    bool ok = false;
    const uint scheme = v.toUInt(&ok);
    return ok && scheme == kPreferDark;
}

DesktopColourScheme::DesktopColourScheme(QObject* parent) : QObject(parent), light_(QGuiApplication::palette()) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    QStyleHints* hints = QGuiApplication::styleHints();
    if (hints->colorScheme() != Qt::ColorScheme::Unknown) {
        apply(hints->colorScheme() == Qt::ColorScheme::Dark);
        connect(hints, &QStyleHints::colorSchemeChanged, this, [this](Qt::ColorScheme scheme) { apply(scheme == Qt::ColorScheme::Dark); });
        return;
    }
#endif
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    qRegisterMetaType<QDBusVariant>();  // the slot's argument, looked up by its name
    bus.connect(kPortalService, kPortalPath, kSettings, QStringLiteral("SettingChanged"), this,
                SLOT(portalSettingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettings, QStringLiteral("Read"));
    read << kAppearance << kColorScheme;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (!reply.isError()) apply(portalPrefersDark(QVariant::fromValue(reply.value())));
        call->deleteLater();
    });
}

void DesktopColourScheme::portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    if (group == kAppearance && key == kColorScheme) apply(portalPrefersDark(QVariant::fromValue(value)));
}

void DesktopColourScheme::apply(bool dark) {
    if (dark == dark_) return;
    dark_ = dark;
    QApplication::setPalette(dark ? darkFusionPalette() : light_);
    emit changed(dark);
}
