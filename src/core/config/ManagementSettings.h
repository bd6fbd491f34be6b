#pragma once

#include <QString>
#include <QtGlobal>

namespace vellamor {

// How the panel reaches the server's management service. Written only when
// gc.xml is loaded or saved; the poller and the reload commands read it.
// Host and password travel as US-ASCII on the wire; the port is used by its
// low 16 bits.
struct ManagementSettingsRecord
{
    QString Host;
    qint32 Port = 0;
    QString Password;

    friend bool operator==(const ManagementSettingsRecord &, const ManagementSettingsRecord &) = default;
};

} // namespace vellamor
