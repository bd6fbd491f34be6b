#pragma once

#include "Dialogs.h"

namespace vellamor::platform {

// The real boxes and pickers: QMessageBox and QFileDialog.
class QtDialogs final : public Dialogs
{
public:
    Answer messageBox(QWidget *owner, const QString &text, const QString &caption, Buttons buttons, Icon icon) override;
    QString openFile(QWidget *owner, const QString &startPath) override;
    QString existingDirectory(QWidget *owner, const QString &startPath) override;
    QString saveFile(QWidget *owner, const QString &startPath) override;
};

} // namespace vellamor::platform
