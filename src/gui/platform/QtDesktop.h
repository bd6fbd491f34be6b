#pragma once

#include "Desktop.h"

namespace vellamor::platform {

// The real desktop shell: QDesktopServices.
class QtDesktop final : public Desktop
{
public:
    bool openUrl(const QString &url) override;
};

} // namespace vellamor::platform
