#include "ErrorReporter.h"

#include "QtDialogs.h"
#include "common/AppInfo.h"
#include "common/StandardError.h"

#include <QWidget>

namespace vellamor {

ErrorReporter::ErrorReporter(std::shared_ptr<platform::Dialogs> dialogs)
    : m_dialogs(dialogs ? std::move(dialogs) : platform::makeSystemDialogs())
{
}

void ErrorReporter::show(const QString &message, QWidget *owner) const
{
    m_dialogs->messageBox(owner && owner->isVisible() ? owner : nullptr, standardErrorText(message), kApplicationTitle,
                          platform::Buttons::Ok, platform::Icon::Error);
}

} // namespace vellamor
