#pragma once

#include "common/Error.h"

#include <QString>
#include <exception>
#include <memory>
#include <utility>

class QWidget;

namespace vellamor {

namespace platform {
class Dialogs;
}

// The one way an error that nothing handled reaches the user: the standard
// error box (error icon, one OK button, the application title as caption, the
// error's text with the full-stop rule of StandardError.h), asked for through
// the platform's message boxes. The program carries on afterwards. The event
// guard of the main window, the application object and start-up all report
// through here, so the box looks the same wherever the error came from.
class ErrorReporter
{
public:
    // Without dialogs the reporter uses the system's own message boxes.
    explicit ErrorReporter(std::shared_ptr<platform::Dialogs> dialogs = {});

    // Runs work. An error it raises and does not handle ends in the box, and
    // run returns false; it returns true when work ran to its end. (A template:
    // the application object runs every event through here.)
    template<typename Work> bool run(Work &&work, QWidget *owner = nullptr) const
    {
        try {
            std::forward<Work>(work)();
            return true;
        } catch (const Error &e) {
            show(e.message(), owner);
        } catch (const std::exception &e) {
            if (s_faultHook)
                s_faultHook(e);
            show(QString::fromLocal8Bit(e.what()), owner);
        }
        return false;
    }

    // Shows the box. It belongs to owner while owner is on screen; before that
    // (start-up runs before the window is shown) it stands on its own in the
    // middle of the screen instead of at a hidden window's corner.
    void show(const QString &message, QWidget *owner = nullptr) const;

    // An exception other than the panel's own Error that gets this far is a
    // fault of the panel, not a failure it reports: the user still sees the
    // box, but a test build sets this hook to fail the test that caused it.
    using FaultHook = void (*)(const std::exception &fault);
    static void setFaultHook(FaultHook hook) { s_faultHook = hook; }
    static FaultHook faultHook() { return s_faultHook; }

private:
    static inline FaultHook s_faultHook = nullptr;

    std::shared_ptr<platform::Dialogs> m_dialogs;
};

} // namespace vellamor
