#pragma once

#include <QString>
#include <memory>

namespace vellamor::platform {

// The desktop shell: opens a web page in the user's default browser.
class Desktop
{
public:
    virtual ~Desktop() = default;
    virtual bool openUrl(const QString &url) = 0;
};

// The system's shell: QDesktopServices, or ShellExecute on Windows.
std::shared_ptr<Desktop> makeSystemDesktop();

} // namespace vellamor::platform
