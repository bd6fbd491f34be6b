#pragma once

#include <QProxyStyle>

namespace vellamor {

// The few ways the panel's controls differ from the desktop's style: tabs at
// least 100 pixels wide, and password fields that show one "*" per character.
// Set on the controls that need it, it costs what a style sheet would cost
// without the style sheet machinery, which would otherwise parse, polish and
// paint every such control the slow way.
class PanelStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // The one instance, owned by the application.
    static PanelStyle *instance();

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;

    static constexpr int kMinimumTabWidth = 100;

private:
    PanelStyle();
};

} // namespace vellamor
