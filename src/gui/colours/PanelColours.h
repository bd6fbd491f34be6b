#pragma once

#include <QColor>

class QPalette;

namespace vellamor {

// Text needs at least this contrast against its background to stay legible
// (WCAG 2 level AA for normal text).
inline constexpr double kMinimumContrast = 4.5;

// The WCAG 2 contrast ratio of two colours, from 1 (the same) to 21 (black on
// white).
double contrastRatio(const QColor &a, const QColor &b);

// The colour as wanted when it reads well on the background; otherwise the
// nearest shade of it that does: darkened on a light background, lightened on
// a dark one, no further than needed.
QColor readableOn(const QColor &wanted, const QColor &background, double minimum = kMinimumContrast);

// The colours the panel paints with itself, for the palette in use. In a
// light palette they are the panel's classic ones (white status groups, navy
// links, the sky-blue rules group on a cream list); in a dark palette the
// backgrounds follow the palette and the text colours are lightened until
// they read well on them.
struct PanelColours
{
    QColor panel;        // the Service page's groups
    QColor panelText;    // ordinary text on them
    QColor link;         // enabled links and the users count
    QColor disabledLink; // links that do not act now
    QColor rulesGroup;   // the group around the rules list
    QColor rulesList;    // the rules list itself

    static PanelColours forPalette(const QPalette &palette);

    // A caption colour of the Service page as shown on its group: black is the
    // ordinary text colour, any other colour the nearest readable shade.
    QColor caption(const QColor &wanted) const;
};

bool isDarkPalette(const QPalette &palette);

} // namespace vellamor
