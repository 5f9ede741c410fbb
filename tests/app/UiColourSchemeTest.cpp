// Dark themes: the portal's answer read as the window takes it, and every glyph standing
// out at least 3:1 from each background it is drawn on, on the light palette the window
// starts with and on the dark one, the light look left as it was.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusVariant>

#include "app/ColourScheme.h"
#include "qtshared/Glyphs.h"
#include "qtshared/Looks.h"

namespace {

TEST(UiColourScheme, PortalValues) {
    const struct {
        QVariant value;
        bool dark;
    } cases[] = {
        {QVariant::fromValue(1u), true},
        {QVariant::fromValue(0u), false},
        {QVariant::fromValue(2u), false},
        // Settings.Read wraps the value in one more variant.
        {QVariant::fromValue(QDBusVariant(QVariant::fromValue(1u))), true},
        {QVariant::fromValue(QDBusVariant(QVariant::fromValue(2u))), false},
        {QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant::fromValue(1u))))), true},
        {QVariant(QStringLiteral("dark")), false},
        {QVariant(), false},
    };
    for (const auto& c : cases) EXPECT_EQ(portalPrefersDark(c.value), c.dark) << c.value.typeName();
}

TEST(UiColourScheme, GlyphsKeepTheirContrastOnBothPalettes) {
    const QPalette light = QApplication::palette();
    ASSERT_FALSE(glyphs::isDarkPalette(light));
    const QPalette dark = darkFusionPalette();
    ASSERT_TRUE(glyphs::isDarkPalette(dark));
    // The toolbar's (the disabled filter glyph excepted: a control that cannot be used need
    // not stand out), the folders' and the drives'.
    const struct {
        const char* name;
        bool magentaKey;  // else the bottom-left pixel's colour
    } glyphNames[] = {{"BTNFILTER", false}, {"BTNLARGE", false}, {"BTNSMALL", false}, {"BTNLIST", false}, {"BTNREPORT", false},
                      {"MSCLOSE", true},    {"MSOPEN", true},    {"FLOPPY", false},  {"HARD", false},    {"NETWORK", false},
                      {"CDROM", false},     {"RAM", false}};
    for (const auto& g : glyphNames) {
        const QImage glyph = (g.magentaKey ? glyphs::withKeyColour(g.name, QColor(255, 0, 255)) : glyphs::bottomLeftTransparent(g.name))
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(glyph.isNull()) << g.name;
        EXPECT_EQ(glyphs::forPalette(glyph, light), glyph) << g.name << ": the light look changed";
        for (const QPalette* palette : {&light, &dark}) {
            const QImage shown = glyphs::forPalette(glyph, *palette);
            for (QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::Base}) {
                const QColor background = palette->color(QPalette::Active, role);
                EXPECT_GE(glyphs::outlineContrast(shown, background), glyphs::kGlyphContrast)
                    << g.name << " on " << background.name().toStdString();
            }
        }
        // As drawn unchanged on the dark palette, the glyph would nearly vanish: the measure
        // sees that.
        if (g.magentaKey) {
            EXPECT_LT(glyphs::outlineContrast(glyph, dark.color(QPalette::Window)), glyphs::kGlyphContrast) << g.name;
        }
    }
}

// The icons the window sets draw for the application's palette of the moment.
TEST(UiColourScheme, PaletteIconsFollowTheApplicationPalette) {
    const QPalette light = QApplication::palette();
    const QPixmap glyph = buttonGlyph(QStringLiteral("BTNLARGE"));
    const QIcon icon = glyphs::paletteIcon(glyph);
    const QImage onLight = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    QApplication::setPalette(darkFusionPalette());
    const QImage onDark = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    QApplication::setPalette(light);
    EXPECT_EQ(onLight, glyph.toImage().convertToFormat(QImage::Format_ARGB32));
    EXPECT_NE(onDark, onLight);
    EXPECT_GE(glyphs::outlineContrast(onDark, darkFusionPalette().color(QPalette::Button)), glyphs::kGlyphContrast);
}

}  // namespace
