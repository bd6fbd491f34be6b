#pragma once

#include <QString>

namespace vellamor::platform {

// The desktop shell: opens a web page in the user's default browser.
class Desktop
{
public:
    virtual ~Desktop() = default;
    virtual bool openUrl(const QString &url) = 0;
};

} // namespace vellamor::platform
