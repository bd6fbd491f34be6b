#pragma once

class QCheckBox;
class QLabel;
class QListWidget;
class QString;
class QGroupBox;
class QToolButton;
class QWidget;

namespace vellamor {

class TForm3;

// The two address lists of a service (the machine's addresses and those the
// service listens on), the buttons that move an address between them, and
// the box that chooses every address at once.
class BindingLists
{
public:
    explicit BindingLists(TForm3 &window) : m_window(window) {}

    // The machine's IPv4 addresses, as the address table has them now.
    void fill(QListWidget *list) const;
    void move(QListWidget *source, QListWidget *target) const;
    // Ticked: the service listens on all addresses; cleared: on none yet.
    void switchAll(QCheckBox *box, QListWidget *system, QListWidget *chosen) const;

    // The controls of one service's pair of lists, built under `name`.
    struct Controls
    {
        QLabel *&systemLabel;
        QListWidget *&system;
        QToolButton *&add;
        QToolButton *&remove;
        QLabel *&chosenLabel;
        QListWidget *&chosen;
        QCheckBox *&all;
    };
    static QGroupBox *buildGroup(const char *name, const QString &title, const char *const names[7],
                                 const Controls &out, QWidget *parent);

private:
    TForm3 &m_window;
};

} // namespace vellamor
