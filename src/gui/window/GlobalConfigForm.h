#pragma once

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

private:
    TForm3 &m_window;
    LoadedFiles &m_loaded;
};

} // namespace vellamor
