#include "VellamorApplication.h"

#include "common/AppInfo.h"
#include "common/Error.h"
#include "common/StandardError.h"

#include <QMessageBox>

namespace vellamor {

namespace {
void showError(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, kApplicationTitle, standardErrorText(message), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
} // namespace

VellamorApplication::VellamorApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool VellamorApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Error &e) {
        showError(e.message());
    } catch (const std::exception &e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

} // namespace vellamor
