#include "ServiceLogWindow.h"

#include "widgets/AccessibleInterfaces.h"
#include "widgets/SvgIconEngine.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextDocument>
#include <QVBoxLayout>

namespace vellamor {

ServiceLogWindow::ServiceLogWindow(std::unique_ptr<platform::ServiceLog> log, QWidget *parent)
    : QWidget(parent, Qt::Window), m_log(std::move(log))
{
    installAccessibleInterfaces();
    setObjectName(QStringLiteral("ServiceLogWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Vellamor Service Log"));
    setWindowIcon(SvgIconEngine::icon(QStringLiteral(":/icons/log.svg")));

    auto *layout = new QVBoxLayout(this);
    LogSource = new QLabel(tr("Following %1").arg(m_log->source()), this);
    LogSource->setObjectName(QStringLiteral("LogSource"));
    LogSource->setTextFormat(Qt::PlainText);
    layout->addWidget(LogSource);

    LogProblem = new QLabel(this);
    LogProblem->setObjectName(QStringLiteral("LogProblem"));
    LogProblem->setTextFormat(Qt::PlainText);
    LogProblem->setWordWrap(true);
    LogProblem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LogProblem->setFrameShape(QFrame::StyledPanel);
    LogProblem->setMargin(6);
    LogProblem->setStyleSheet(QStringLiteral("QLabel { background: #FFF6D5; color: #5A4500; }"));
    LogProblem->hide();
    layout->addWidget(LogProblem);

    LogText = new QPlainTextEdit(this);
    LogText->setObjectName(QStringLiteral("LogText"));
    LogText->setReadOnly(true);
    LogText->setLineWrapMode(QPlainTextEdit::NoWrap);
    LogText->setMaximumBlockCount(kKeptLines);
    LogText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    LogText->setAccessibleName(tr("Service log"));
    layout->addWidget(LogText, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    CloseLog = new QPushButton(tr("Close"), this);
    CloseLog->setObjectName(QStringLiteral("CloseLog"));
    buttons->addWidget(CloseLog);
    layout->addLayout(buttons);
    connect(CloseLog, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);

    connect(m_log.get(), &platform::ServiceLog::linesRead, this, &ServiceLogWindow::append);
    connect(m_log.get(), &platform::ServiceLog::problem, this, &ServiceLogWindow::showProblem);
    resize(900, 460);
    showWhetherEmpty();
    m_log->start();
}

ServiceLogWindow::~ServiceLogWindow() = default;

void ServiceLogWindow::append(const QStringList &lines)
{
    // Follow the end only while the reader is there; one who scrolled back
    // to read stays where they are.
    QScrollBar *bar = LogText->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    LogText->appendPlainText(lines.join(QLatin1Char('\n')));
    if (atEnd)
        bar->setValue(bar->maximum());
    LogSource->setText(tr("Following %1").arg(m_log->source()));
    showWhetherEmpty();
}

void ServiceLogWindow::showProblem(const QString &explanation)
{
    LogProblem->setText(explanation);
    LogProblem->setVisible(!explanation.isEmpty());
    LogSource->setText(tr("Following %1").arg(m_log->source()));
    showWhetherEmpty();
}

void ServiceLogWindow::showWhetherEmpty()
{
    // A log with nothing in it yet says so, on screen and to a screen reader
    // (which does not read a placeholder); a problem explains itself instead.
    const bool empty = LogText->document()->isEmpty() && LogProblem->isHidden();
    const QString note = empty ? tr("No entries") : QString();
    LogText->setPlaceholderText(note);
    LogText->setAccessibleDescription(note);
}

} // namespace vellamor
