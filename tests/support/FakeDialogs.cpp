#include "FakeDialogs.h"

#include "dialogs/ErrorReporter.h"

#include <QTest>

namespace vellamor::test {

namespace {

void failOnFault(const std::exception &fault)
{
    const QByteArray message = QByteArray("An exception reached the error box: ") + fault.what();
    QTest::qFail(message.constData(), __FILE__, __LINE__);
}

} // namespace

FakeDialogs::FakeDialogs()
{
    ErrorReporter::setFaultHook(failOnFault);
}

platform::Answer FakeDialogs::messageBox(QWidget *owner, const QString &text, const QString &caption,
                                         platform::Buttons buttons, platform::Icon icon)
{
    ShownBox box{owner, owner != nullptr, text, caption, buttons, icon};
    boxes.append(box);
    if (whileShown)
        whileShown(box);
    if (!answers.isEmpty())
        return answers.dequeue();
    switch (buttons) {
    case platform::Buttons::YesNo:
        return platform::Answer::No;
    case platform::Buttons::SaveDiscardCancel:
        return platform::Answer::Cancel;
    case platform::Buttons::Ok:
        break;
    }
    return platform::Answer::Ok;
}

QString FakeDialogs::openFile(QWidget *owner, const QString &)
{
    fileDialogOwners.append(owner);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

QString FakeDialogs::existingDirectory(QWidget *owner, const QString &)
{
    fileDialogOwners.append(owner);
    return directoryAnswers.isEmpty() ? QString() : directoryAnswers.dequeue();
}

QString FakeDialogs::saveFile(QWidget *owner, const QString &)
{
    fileDialogOwners.append(owner);
    return saveFileAnswers.isEmpty() ? QString() : saveFileAnswers.dequeue();
}

} // namespace vellamor::test
