#pragma once

#include "ServiceLog.h"

#include <QWidget>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vellamor {

// The server's log, following new lines while it is open. A window of its
// own beside the main window, never modal; closing it stops the reading.
// A log that cannot be read is explained in the window itself, not in a box.
class ServiceLogWindow : public QWidget
{
    Q_OBJECT

public:
    // Lines kept on screen; the oldest go first.
    static constexpr int kKeptLines = 10000;

    ServiceLogWindow(std::unique_ptr<platform::ServiceLog> log, QWidget *parent = nullptr);
    ~ServiceLogWindow() override;

    QLabel *LogSource = nullptr;
    QLabel *LogProblem = nullptr;
    QPlainTextEdit *LogText = nullptr;
    QPushButton *CloseLog = nullptr;

private:
    void append(const QStringList &lines);
    void showProblem(const QString &explanation);
    void showWhetherEmpty();

    std::unique_ptr<platform::ServiceLog> m_log;
};

} // namespace vellamor
