#include "HeaderBand.h"

#include <QVBoxLayout>

namespace vellamor {

HeaderBand::HeaderBand(const QString &title, const QString &subtitle, QWidget *parent)
    : QWidget(parent), m_title(new QLabel(title, this)), m_subtitle(new QLabel(subtitle, this))
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, bandColour());
    p.setColor(QPalette::WindowText, Qt::white);
    setPalette(p);
    for (QLabel *label : {m_title, m_subtitle}) {
        label->setPalette(p);
        label->setForegroundRole(QPalette::WindowText);
    }

    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() + 1);
    m_title->setFont(titleFont);
    m_title->setTextFormat(Qt::PlainText);
    m_subtitle->setTextFormat(Qt::PlainText);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 7);
    layout->setSpacing(1);
    layout->addWidget(m_title);
    layout->addWidget(m_subtitle);
}

} // namespace vellamor
