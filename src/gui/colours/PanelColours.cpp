#include "PanelColours.h"

#include "Colours.h"

#include <QPalette>
#include <cmath>

namespace vellamor {

namespace {

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.red()) + 0.7152 * linear(rgb.green()) + 0.0722 * linear(rgb.blue());
}

// Moves every channel the same share of the way to the end value: the hue
// stays, only the shade changes.
QColor towards(const QColor &colour, int end, int step)
{
    const auto channel = [end, step](int c) { return c + (end - c) * step / 255; };
    return {channel(colour.red()), channel(colour.green()), channel(colour.blue())};
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor &wanted, const QColor &background, double minimum)
{
    const QColor rgb = wanted.toRgb();
    if (contrastRatio(rgb, background) >= minimum)
        return rgb;
    // Black on a light background and white on a dark one always get there.
    const int end = luminance(background) > 0.18 ? 0 : 255;
    for (int step = 1; step <= 255; ++step) {
        const QColor shade = towards(rgb, end, step);
        if (contrastRatio(shade, background) >= minimum)
            return shade;
    }
    return {end, end, end};
}

bool isDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

PanelColours PanelColours::forPalette(const QPalette &palette)
{
    PanelColours colours;
    if (!isDarkPalette(palette)) {
        colours.panel = Qt::white;
        colours.panelText = Qt::black;
        colours.link = readableOn(QColor(kNavy), colours.panel);
        colours.disabledLink = QColor(kDisabledLinkGrey);
        colours.rulesGroup = QColor(kRulesGroupSkyBlue);
        colours.rulesList = QColor(kRulesListCream);
        return colours;
    }
    colours.panel = palette.color(QPalette::Base);
    colours.panelText = palette.color(QPalette::Text);
    colours.link = readableOn(QColor(kNavy), colours.panel);
    colours.disabledLink = palette.color(QPalette::Disabled, QPalette::Text);
    // The sky blue, dimmed to the palette's depth.
    const QColor sky(kRulesGroupSkyBlue);
    const QColor base = colours.panel;
    colours.rulesGroup = QColor((sky.red() + 3 * base.red()) / 4, (sky.green() + 3 * base.green()) / 4,
                                (sky.blue() + 3 * base.blue()) / 4);
    colours.rulesList = base;
    return colours;
}

QColor PanelColours::caption(const QColor &wanted) const
{
    return wanted == QColor(Qt::black) ? panelText : readableOn(wanted, panel);
}

} // namespace vellamor
