#include "Desktop.h"

#include <windows.h>

#include <shellapi.h>

namespace vellamor::platform {

namespace {

// The shell's "open", as Explorer would: the default browser takes the page.
class WindowsDesktop final : public Desktop
{
public:
    bool openUrl(const QString &url) override
    {
        const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
            nullptr, L"open", reinterpret_cast<const wchar_t *>(url.utf16()), nullptr, nullptr, SW_SHOWNORMAL));
        // Values above 32 mean success.
        return result > 32;
    }
};

} // namespace

std::shared_ptr<Desktop> makeSystemDesktop()
{
    return std::make_shared<WindowsDesktop>();
}

} // namespace vellamor::platform
