#pragma once

#include "Dialogs.h"

#include <QList>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QWidget>
#include <functional>

namespace vellamor::test {

// One message box as the panel asked for it.
struct ShownBox
{
    QPointer<QWidget> owner;
    bool hadOwner = false;
    QString text;
    QString caption;
    platform::Buttons buttons = platform::Buttons::Ok;
    platform::Icon icon = platform::Icon::None;
};

// Records every box and answers from a script. Without a scripted answer a
// Yes/No box answers No, a Save/Discard/Cancel box Cancel and an OK box OK. File pickers answer from
// their own queues (empty text = the user cancelled).
//
// Made, they also make any exception other than the panel's own Error that
// ends in the standard error box fail the running test: in the product that
// box is the last catch, and what reaches it unplanned is a fault.
class FakeDialogs final : public platform::Dialogs
{
public:
    FakeDialogs();
    platform::Answer messageBox(QWidget *owner, const QString &text, const QString &caption, platform::Buttons buttons,
                                platform::Icon icon) override;
    QString openFile(QWidget *owner, const QString &startPath) override;
    QString existingDirectory(QWidget *owner, const QString &startPath) override;
    QString saveFile(QWidget *owner, const QString &startPath) override;

    void answerNext(platform::Answer answer) { answers.enqueue(answer); }

    QList<ShownBox> boxes;
    QQueue<platform::Answer> answers;
    QQueue<QString> fileAnswers;
    QQueue<QString> directoryAnswers;
    QQueue<QString> saveFileAnswers;
    QList<QPointer<QWidget>> fileDialogOwners;
    // Runs inside the box, as if the user waited there (timers keep ticking in a real box).
    std::function<void(const ShownBox &)> whileShown;
};

} // namespace vellamor::test
