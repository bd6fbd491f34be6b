#include "dialogs/about.h"

#include "colours/Colours.h"
#include "widgets/SvgPicture.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace vellamor {

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(tr("About"));
    setModal(true);
    setFixedSize(486, 309);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(kAboutBoxGrey));
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 471, 299 - 6);

    auto *layout = new QHBoxLayout(Panel1);
    layout->setContentsMargins(4, 2, 10, 2);
    layout->setSpacing(12);
    ProgramIcon = new SvgPicture(QStringLiteral(":/pictures/product.svg"), QSize(201, 285), Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setAccessibleName(QStringLiteral("Vellamor Cloud Server"));
    layout->addWidget(ProgramIcon, 0, Qt::AlignVCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    layout->addLayout(texts, 1);
    texts->addSpacing(36);
    ProductName = new QLabel(QStringLiteral("Vellamor"), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont nameFont(QStringLiteral("Impact"));
    nameFont.setFamilies({QStringLiteral("Impact"), QStringLiteral("Anton"), QStringLiteral("DejaVu Sans Condensed")});
    nameFont.setPixelSize(32);
    nameFont.setBold(true);
    ProductName->setFont(nameFont);
    texts->addWidget(ProductName);
    Version = new QLabel(QStringLiteral("Cloud Server Version 0.1 (beta)"), Panel1);
    Version->setObjectName(QStringLiteral("Version"));
    texts->addWidget(Version);
    texts->addStretch(1);
    Label1 = new QLabel(tr("\u00A9 2026 Vellamor. All rights reserved."), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    QFont small = Label1->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    Label1->setFont(small);
    texts->addWidget(Label1);
    texts->addSpacing(6);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kSplashDuration);
    Timer1->setSingleShot(false);
    connect(Timer1, &QTimer::timeout, this, &TAboutBox::Timer1Timer);
}

void TAboutBox::Timer1Timer()
{
    Timer1->stop();
    close();
}

} // namespace vellamor
