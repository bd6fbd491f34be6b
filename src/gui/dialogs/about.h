#pragma once

#include <QDialog>
#include <chrono>

class QFrame;
class QLabel;
class QTimer;

namespace vellamor {

class SvgPicture;

// The about box, which also serves as the start-up splash: the product
// picture, the name and the version line. The splash starts Timer1, which
// closes the box after three seconds; the about box leaves it stopped.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    // How long the splash stays up unless the user closes it.
    static constexpr std::chrono::milliseconds kSplashDuration{3000};

    explicit TAboutBox(QWidget *parent = nullptr);

    void Timer1Timer();

    QFrame *Panel1 = nullptr;
    SvgPicture *ProgramIcon = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Version = nullptr;
    QLabel *Label1 = nullptr;
    QTimer *Timer1 = nullptr;
};

} // namespace vellamor

using vellamor::TAboutBox;
