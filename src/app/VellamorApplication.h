#pragma once

#include <QApplication>

namespace vellamor {

// The application object. An error that escapes an event handler ends in the
// standard error box, and the program carries on with the next event.
class VellamorApplication : public QApplication
{
    Q_OBJECT

public:
    VellamorApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace vellamor
