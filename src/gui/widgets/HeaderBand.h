#pragma once

#include "colours/Colours.h"

#include <QLabel>
#include <QWidget>

namespace vellamor {

// The dark blue band at the top of every configuration page.
class HeaderBand : public QWidget
{
    Q_OBJECT

public:
    HeaderBand(const QString &title, const QString &subtitle, QWidget *parent = nullptr);

    QLabel *title() const { return m_title; }
    QLabel *subtitle() const { return m_subtitle; }

    // The band colour of every page header.
    static QColor bandColour() { return {kHeaderBandBlue}; }

private:
    QLabel *m_title;
    QLabel *m_subtitle;
};

} // namespace vellamor
