#include "GlobalConfig.h"

#include "AtomicFile.h"
#include "FileSystem.h"
#include "IntegerConversion.h"
#include "XmlTree.h"
#include "common/Error.h"
#include "common/Paths.h"

#include <QSet>
#include <QXmlStreamWriter>
#include <optional>

namespace vellamor {

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");

// Root, ACC or Management, their value elements, and what a value element
// holds: nothing below that matters to the reader.
constexpr int kStoredDepth = 3;

struct Defaults
{
    QString logDirectory;
    QString certFile;
    QString keyFile;
};

Defaults defaultsFor(const QString &executableDir)
{
    return {besideExecutable(executableDir, QStringLiteral("logs")),
            besideExecutable(executableDir, QStringLiteral("default.cer")),
            besideExecutable(executableDir, QStringLiteral("default.key"))};
}

// Administrators know this text from earlier versions of the panel; keep it
// word for word.
[[noreturn]] void raiseNoValue()
{
    throw Error(QStringLiteral("Could not convert variant of type (Null) into type (OleStr)"));
}

// The text of a value element, or nothing when the element is empty. Anything
// but one piece of text (child elements, a comment, text broken by a CDATA
// section) is an error.
std::optional<QString> valueOf(const XmlNode &element)
{
    if (element.children.empty())
        return std::nullopt;
    if (element.children.size() == 1 && element.children.front().kind == XmlNode::Kind::Text) {
        const QString &text = element.children.front().text;
        return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
    }
    throw Error(QStringLiteral("Element \"%1\" does not contain a single text node").arg(element.name));
}

// The value of the first child element of that name; nothing when it is
// missing or empty. Only the first one counts, even when it is empty.
std::optional<QString> childValue(const XmlNode &parent, QStringView name)
{
    for (const XmlNode &child : parent.children) {
        if (child.isElement(name))
            return valueOf(child);
    }
    return std::nullopt;
}

QString requiredChildValue(const XmlNode &parent, QStringView name)
{
    std::optional<QString> value = childValue(parent, name);
    if (!value)
        raiseNoValue();
    return *value;
}

// Puts chosen addresses into their list and takes every copy of each out of
// the list of the machine's addresses. The machine's list is swept once, when
// the reading of a service ends, also when it stops at a faulty element: one
// sweep per address would cost the product of the two lists' lengths.
class AddressChoice
{
public:
    AddressChoice(QStringList &chosen, QStringList &system) : m_chosen(chosen), m_system(system) {}
    AddressChoice(const AddressChoice &) = delete;
    AddressChoice &operator=(const AddressChoice &) = delete;
    ~AddressChoice()
    {
        if (!m_taken.isEmpty())
            m_system.removeIf([this](const QString &address) { return m_taken.contains(address); });
    }

    void choose(const QString &address)
    {
        m_chosen.append(address);
        m_taken.insert(address);
    }

private:
    QStringList &m_chosen;
    QStringList &m_system;
    QSet<QString> m_taken;
};

// The service's IP elements in file order; one without a value stops the load.
template<typename Visit> void forEachAddress(const XmlNode &service, Visit visit)
{
    for (const XmlNode &child : service.children) {
        if (!child.isElement(u"IP"))
            continue;
        const std::optional<QString> address = valueOf(child);
        if (!address)
            raiseNoValue();
        visit(*address);
    }
}

void readApplicationService(GlobalConfigFields &fields, const XmlNode &acc, const Defaults &defaults)
{
    fields.applicationPort = requiredChildValue(acc, u"port");
    if (std::optional<QString> maxcon = childValue(acc, u"maxcon"))
        fields.maxConnections = *maxcon;
    fields.logDirectory = childValue(acc, u"logdir").value_or(defaults.logDirectory);
    fields.certFile = childValue(acc, u"cert").value_or(defaults.certFile);
    fields.keyFile = childValue(acc, u"key").value_or(defaults.keyFile);
    AddressChoice choice(fields.applicationChosen, fields.applicationSystem);
    forEachAddress(acc, [&](const QString &address) { choice.choose(address); });
}

void readManagementService(GlobalConfigFields &fields, const XmlNode &management)
{
    fields.managementPort = requiredChildValue(management, u"port");
    if (std::optional<QString> password = childValue(management, u"password")) {
        fields.password = *password;
        fields.passwordConfirmation = *password;
    }
    fields.management.Port = toInteger(fields.managementPort);
    fields.management.Password = fields.password;
    AddressChoice choice(fields.managementChosen, fields.managementSystem);
    forEachAddress(management, [&](const QString &address) {
        choice.choose(address);
        // The panel reaches the management service at the last address listed.
        fields.management.Host = address;
    });
}

// Text content as XML 1.0 can carry it: a carriage return would come back as a
// line feed, so it goes as a character reference; characters XML cannot carry
// at all stop the save before anything is written.
void writeValue(QXmlStreamWriter &writer, const QString &name, const QString &value)
{
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char32_t c = value.at(i).unicode();
        bool storable = c >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r';
        if (QChar::isHighSurrogate(c)) {
            storable = i + 1 < value.size() && value.at(i + 1).isLowSurrogate();
            ++i;
        } else if (QChar::isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
            storable = false;
        }
        if (!storable)
            throw Error(QStringLiteral("The value of \"%1\" contains a character that gc.xml cannot store; "
                                       "nothing was saved")
                            .arg(name));
    }

    writer.writeStartElement(name);
    const QStringList pieces = value.split(u'\r');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            writer.writeEntityReference(QStringLiteral("#13"));
        if (!pieces.at(i).isEmpty())
            writer.writeCharacters(pieces.at(i));
    }
    writer.writeEndElement();
}

} // namespace

QString globalConfigPath(const platform::FileSystem &fileSystem)
{
    return besideExecutable(fileSystem.executableDir(), QStringLiteral("gc.xml"));
}

void loadGlobalConfig(GlobalConfigFields &fields, const platform::FileSystem &fileSystem)
{
    loadGlobalConfig(fields, fileSystem, globalConfigPath(fileSystem));
}

void loadGlobalConfig(GlobalConfigFields &fields, const platform::FileSystem &fileSystem, const QString &path)
{
    const Defaults defaults = defaultsFor(fileSystem.executableDir());
    fields.password = kBuiltInManagementPassword;
    fields.passwordConfirmation = kBuiltInManagementPassword;
    fields.management.Password = kBuiltInManagementPassword;
    fields.logDirectory = defaults.logDirectory;
    fields.certFile = defaults.certFile;
    fields.keyFile = defaults.keyFile;

    if (!fileSystem.fileExists(path)) {
        // First run: both services listen on the loopback address only. The
        // file itself comes into being at the first Save.
        AddressChoice(fields.applicationChosen, fields.applicationSystem).choose(kLoopback);
        AddressChoice(fields.managementChosen, fields.managementSystem).choose(kLoopback);
        fields.management.Host = kLoopback;
        return;
    }

    const XmlNode root = readXmlTree(path, kStoredDepth);
    // The root's name does not matter, and the groups count in the order the
    // file has them: a later group overwrites the fields and adds addresses.
    for (const XmlNode &child : root.children) {
        if (child.isElement(u"ACC"))
            readApplicationService(fields, child, defaults);
        else if (child.isElement(u"Management"))
            readManagementService(fields, child);
    }
}

QByteArray globalConfigDocument(const GlobalConfigFields &fields)
{
    QByteArray document;
    QXmlStreamWriter writer(&document);
    writer.setAutoFormatting(false);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("global"));

    writer.writeStartElement(QStringLiteral("ACC"));
    writeValue(writer, QStringLiteral("port"), fields.applicationPort);
    writeValue(writer, QStringLiteral("maxcon"), fields.maxConnections);
    writeValue(writer, QStringLiteral("logdir"), fields.logDirectory);
    writeValue(writer, QStringLiteral("cert"), fields.certFile);
    writeValue(writer, QStringLiteral("key"), fields.keyFile);
    for (const QString &address : fields.applicationChosen)
        writeValue(writer, QStringLiteral("IP"), address);
    writer.writeEndElement();

    writer.writeStartElement(QStringLiteral("Management"));
    writeValue(writer, QStringLiteral("port"), fields.managementPort);
    writeValue(writer, QStringLiteral("password"), fields.password);
    for (const QString &address : fields.managementChosen)
        writeValue(writer, QStringLiteral("IP"), address);
    writer.writeEndElement();

    writer.writeEndElement();
    writer.writeEndDocument();
    return document;
}

void saveGlobalConfig(GlobalConfigFields &fields, const platform::FileSystem &fileSystem)
{
    // Everything that can refuse the save runs before the file is touched.
    const qint32 port = toInteger(fields.managementPort);
    writeFileAtomically(globalConfigPath(fileSystem), globalConfigDocument(fields));

    // The management service will listen where the file now says: the record
    // follows the last chosen address, and keeps its host and password when
    // none is chosen.
    if (!fields.managementChosen.isEmpty()) {
        fields.management.Host = fields.managementChosen.last();
        fields.management.Password = fields.password;
    }
    fields.management.Port = port;
}

} // namespace vellamor
