// The Windows message boxes: the system's own MessageBoxW, and a task dialog
// for the one question whose buttons (Save, Discard, Cancel) MessageBoxW
// lacks. Both run a modal loop of the system's that dispatches every message
// of the thread, so Qt's timers (Timer3's reload after a Save) and queued
// calls (the poller's status lines) go on while a box is open.

#include "Dialogs.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QWidget>

#include <windows.h>

#include <commctrl.h>

namespace vellamor::platform {

namespace {

// The window a box belongs to, when the panel has a real one: the offscreen
// platform's windows are no system windows.
HWND ownerWindow(QWidget *owner)
{
    if (!owner || QGuiApplication::platformName() != QLatin1StringView("windows"))
        return nullptr;
    return reinterpret_cast<HWND>(owner->window()->winId());
}

const wchar_t *wide(const QString &text)
{
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

UINT boxIcon(Icon icon)
{
    switch (icon) {
    case Icon::Error:
        return MB_ICONERROR;
    case Icon::Question:
        return MB_ICONQUESTION;
    case Icon::Information:
        return MB_ICONINFORMATION;
    case Icon::Warning:
        return MB_ICONWARNING;
    case Icon::None:
        break;
    }
    return 0;
}

PCWSTR taskIcon(Icon icon)
{
    switch (icon) {
    case Icon::Error:
        return TD_ERROR_ICON;
    case Icon::Warning:
        return TD_WARNING_ICON;
    case Icon::Information:
    case Icon::Question:
        // A task dialog has no question mark: the system's guidelines give
        // a question the information sign, or none.
        return TD_INFORMATION_ICON;
    case Icon::None:
        break;
    }
    return nullptr;
}

enum : int { kSaveButton = 100, kDiscardButton = 101 };

Answer saveDiscardCancel(HWND owner, const QString &text, const QString &caption, Icon icon)
{
    const QString save = QStringLiteral("&Save");
    const QString discard = QStringLiteral("&Discard");
    const TASKDIALOG_BUTTON buttons[] = {{kSaveButton, wide(save)}, {kDiscardButton, wide(discard)}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | (owner ? TDF_POSITION_RELATIVE_TO_WINDOW : 0);
    config.dwCommonButtons = TDCBF_CANCEL_BUTTON;
    config.pszWindowTitle = wide(caption);
    config.pszMainIcon = taskIcon(icon);
    config.pszContent = wide(text);
    config.cButtons = UINT(std::size(buttons));
    config.pButtons = buttons;
    config.nDefaultButton = kSaveButton;
    int pressed = IDCANCEL;
    if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr)))
        return Answer::Cancel;
    switch (pressed) {
    case kSaveButton:
        return Answer::Save;
    case kDiscardButton:
        return Answer::Discard;
    default:
        return Answer::Cancel;
    }
}

class WindowsDialogs final : public Dialogs
{
public:
    Answer messageBox(QWidget *owner, const QString &text, const QString &caption, Buttons buttons, Icon icon) override
    {
        const HWND window = ownerWindow(owner);
        if (buttons == Buttons::SaveDiscardCancel)
            return saveDiscardCancel(window, text, caption, icon);
        UINT style = boxIcon(icon) | (buttons == Buttons::YesNo ? MB_YESNO : MB_OK);
        // A box without an owner still has to come up where the user looks,
        // and keep the panel's windows from input while it is open.
        if (!window)
            style |= MB_TASKMODAL | MB_SETFOREGROUND;
        switch (MessageBoxW(window, wide(text), wide(caption), style)) {
        case IDYES:
            return Answer::Yes;
        case IDNO:
            return Answer::No;
        case IDOK:
            return Answer::Ok;
        default:
            // The box could not be shown: the answer that changes nothing.
            return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
        }
    }

    // The Windows platform of Qt gives these the system's own pickers.
    QString openFile(QWidget *owner, const QString &startPath) override
    {
        return QFileDialog::getOpenFileName(owner, QString(), startPath);
    }

    QString existingDirectory(QWidget *owner, const QString &startPath) override
    {
        return QFileDialog::getExistingDirectory(owner, QString(), startPath);
    }

    QString saveFile(QWidget *owner, const QString &startPath) override
    {
        return QFileDialog::getSaveFileName(owner, QString(), startPath, QString(), nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    }
};

} // namespace

std::shared_ptr<Dialogs> makeSystemDialogs()
{
    return std::make_shared<WindowsDialogs>();
}

} // namespace vellamor::platform
