#pragma once

#include <QString>
#include <memory>

class QWidget;

namespace vellamor::platform {

// SaveDiscardCancel is the question before unsaved changes would be lost.
enum class Buttons { Ok, YesNo, SaveDiscardCancel };
enum class Icon { None, Error, Question, Information, Warning };

// The answers keep the numbers the classic message box API uses, so the
// code that asks reads like the code that answers (IDYES is 6). That API has
// no Save and Discard: theirs lie past its range.
enum class Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7, Save = 100, Discard = 101 };

// Modal message boxes and file pickers. The panel asks through this interface
// only, so tests can answer every box in advance and see what was shown.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // owner may be null: the box then belongs to no window.
    virtual Answer messageBox(QWidget *owner, const QString &text, const QString &caption, Buttons buttons,
                              Icon icon) = 0;

    // A file to open: the full path, or empty text when the user cancelled.
    virtual QString openFile(QWidget *owner, const QString &startPath) = 0;

    // An existing directory: the full path, or empty text when the user cancelled.
    virtual QString existingDirectory(QWidget *owner, const QString &startPath) = 0;

    // A file to write: the full path, or empty text when the user cancelled.
    // The picker does not ask about a file that exists: the caller asks once,
    // when it is about to replace it.
    virtual QString saveFile(QWidget *owner, const QString &startPath) = 0;
};

// The system's own boxes and pickers: Qt's on Linux, the Windows message box
// and task dialog on Windows (chosen in CMake).
std::shared_ptr<Dialogs> makeSystemDialogs();

} // namespace vellamor::platform
