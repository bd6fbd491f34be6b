#include "QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace vellamor::platform {

Answer QtDialogs::messageBox(QWidget *owner, const QString &text, const QString &caption, Buttons buttons, Icon icon)
{
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    }
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else if (buttons == Buttons::SaveDiscardCancel) {
        box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Save);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    if (!owner) {
        // A box without an owner still has to come up where the user looks.
        box.setWindowModality(Qt::ApplicationModal);
    }
    const int pressed = box.exec();
    switch (pressed) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Save:
        return Answer::Save;
    case QMessageBox::Discard:
        return Answer::Discard;
    default:
        // A box closed without a button: the answer that changes nothing.
        switch (buttons) {
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::SaveDiscardCancel:
            return Answer::Cancel;
        case Buttons::Ok:
            break;
        }
        return Answer::Ok;
    }
}

QString QtDialogs::openFile(QWidget *owner, const QString &startPath)
{
    return QFileDialog::getOpenFileName(owner, QString(), startPath);
}

QString QtDialogs::existingDirectory(QWidget *owner, const QString &startPath)
{
    return QFileDialog::getExistingDirectory(owner, QString(), startPath);
}

QString QtDialogs::saveFile(QWidget *owner, const QString &startPath)
{
    return QFileDialog::getSaveFileName(owner, QString(), startPath, QString(), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

#ifndef Q_OS_WIN
std::shared_ptr<Dialogs> makeSystemDialogs()
{
    return std::make_shared<QtDialogs>();
}
#endif

} // namespace vellamor::platform
