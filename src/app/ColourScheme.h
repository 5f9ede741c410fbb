// The desktop's light or dark choice, followed while the window is open: Qt's own colour
// scheme where Qt reports one (Qt 6.5 and later), else the desktop portal's
// org.freedesktop.appearance color-scheme setting, asked over the session bus without
// waiting (light until the answer comes) and followed through its SettingChanged signal.
// "Prefer dark" gives the application a dark Fusion palette; anything else the palette it
// started with.
#pragma once

#include <QObject>
#include <QPalette>
#include <QVariant>

class QDBusVariant;

// The dark Fusion palette the window takes when the desktop prefers dark.
QPalette darkFusionPalette();

// The portal's color-scheme value (a uint32, maybe wrapped in variants): 1 means "prefer
// dark"; 0 (no preference), 2 (prefer light) and anything unreadable mean light.
bool portalPrefersDark(const QVariant& value);

class DesktopColourScheme : public QObject {
    Q_OBJECT

public:
    // Starts following the desktop; the application's palette changes with it.
    explicit DesktopColourScheme(QObject* parent = nullptr);

    bool dark() const { return dark_; }

signals:
    // The choice changed and the palette with it.
    void changed(bool dark);

private slots:
    void portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void apply(bool dark);
    bool dark_ = false;
    QPalette light_;  // the palette the application started with
};
