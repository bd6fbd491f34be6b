#pragma once

#include <QByteArray>
#include <QString>

namespace vellamor {

class LoadedFiles;
class TForm3;

// gc.xml as the window shows it: the fields of the General, Application
// Service, Management Service and SSL pages and the management target.
class GlobalConfigForm
{
public:
    GlobalConfigForm(TForm3 &window, LoadedFiles &loaded) : m_window(window), m_loaded(loaded) {}

    // Fills the fields from gc.xml. A load that stops at a faulty element
    // raises, and keeps what it set before it.
    void load();
    // Writes the fields to gc.xml, and takes the management target from them.
    void save();
    // Takes gc.xml anew (`path` empty) or a copy of it at `path` (an older
    // version), all or nothing: a file that does not load leaves every field
    // as it is, and the reason is returned.
    QString reload(const QString &path = QString());
    // gc.xml as a Save would write it now.
    QByteArray document() const;

private:
    TForm3 &m_window;
    LoadedFiles &m_loaded;
};

} // namespace vellamor
