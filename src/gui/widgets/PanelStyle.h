#pragma once

#include <QProxyStyle>

class QAbstractScrollArea;

namespace vellamor {

// The few ways the panel's controls differ from the desktop's style: tabs at
// least 100 pixels wide, password fields that show one "*" per character, and
// the group box frame and the tool bar's overflow arrows drawn by our own code
// and artwork (the built-in ones are bitmaps, and loading the first bitmap
// brings up every image format plugin during the first paint). A proxy of the desktop's style does this without style
// sheets, which would parse, polish and paint every such control the slow way.
class PanelStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // Makes it the application's style, once; the panel is the application's
    // only main window, and its look is the application's.
    static void install();

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;

    // A scroll bar changes with every entry added to or taken from its list.
    // Where the style paints every pixel of it, nothing behind it needs
    // painting again: not the list's frame, its group, the pages and tabs
    // around it, up to the window. Any other style keeps the usual way.
    static void paintScrollBarsAlone(QAbstractScrollArea *area);

    static constexpr int kMinimumTabWidth = 100;

private:
    PanelStyle();
};

} // namespace vellamor
