#pragma once

#include "dialogs/ErrorReporter.h"

#include <QApplication>

namespace vellamor {

// The application object. An error that escapes an event handler ends in the
// standard error box, and the program carries on with the next event.
class VellamorApplication : public QApplication
{
    Q_OBJECT

public:
    VellamorApplication(int &argc, char **argv);

    // Where those errors are shown: the platform's message boxes.
    void setErrorReporter(ErrorReporter reporter);

    bool notify(QObject *receiver, QEvent *event) override;

private:
    ErrorReporter m_errors;
};

} // namespace vellamor
