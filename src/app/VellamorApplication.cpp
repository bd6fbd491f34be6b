#include "VellamorApplication.h"

namespace vellamor {

VellamorApplication::VellamorApplication(int &argc, char **argv) : QApplication(argc, argv) {}

void VellamorApplication::setErrorReporter(ErrorReporter reporter)
{
    m_errors = std::move(reporter);
}

bool VellamorApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    m_errors.run([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace vellamor
