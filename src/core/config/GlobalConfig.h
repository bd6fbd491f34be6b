#pragma once

#include "config/ManagementSettings.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>

namespace vellamor {

namespace platform {
class FileSystem;
}

// The password the management service starts with until gc.xml names another.
inline constexpr QLatin1StringView kBuiltInManagementPassword{"71!*9203&6##"};

// The global configuration as the main window holds it: the texts of its
// configuration fields, the entries of its four address lists and the record
// of the management target. Loading and saving gc.xml work on this copy; the
// window puts it into its controls afterwards, also after a failed load, so
// that the window shows exactly what the load set before it stopped.
struct GlobalConfigFields
{
    QString applicationPort;       // lport
    QString maxConnections;        // MaxCon_txt
    QString logDirectory;          // DefaultLogFolder_txt
    QString certFile;              // CertFile_txt
    QString keyFile;               // KeyFile_txt
    QStringList applicationSystem; // SystemIPS
    QStringList applicationChosen; // SelectedIPs
    QString managementPort;        // mport
    QString password;              // ServerPass_txt
    QString passwordConfirmation;  // ConfirmServerPass_txt
    QStringList managementSystem;  // SystemIPS2
    QStringList managementChosen;  // SelectedIPs2
    ManagementSettingsRecord management;

    friend bool operator==(const GlobalConfigFields &, const GlobalConfigFields &) = default;
};

// gc.xml in the executable directory.
QString globalConfigPath(const platform::FileSystem &fileSystem);

// Fills the fields from gc.xml, or with the first-run defaults when there is
// no gc.xml; never writes. An error is raised as soon as it is met: the fields
// then hold what was read before it.
void loadGlobalConfig(GlobalConfigFields &fields, const platform::FileSystem &fileSystem);
// The same from a copy of gc.xml at `path` (an older version, say), with the
// defaults of the executable directory.
void loadGlobalConfig(GlobalConfigFields &fields, const platform::FileSystem &fileSystem, const QString &path);

// The document Save writes: global / ACC / Management, every value as text.
// Raises when a value holds a character that XML cannot carry.
QByteArray globalConfigDocument(const GlobalConfigFields &fields);

// Writes gc.xml from the fields and then refreshes fields.management. The
// management port is checked first and the file is replaced in one step, so
// a failure of any kind leaves both the old file and the record untouched.
void saveGlobalConfig(GlobalConfigFields &fields, const platform::FileSystem &fileSystem);

} // namespace vellamor
