#include "XmlTree.h"

#include "common/Error.h"

#include <QFile>
#include <QStringDecoder>
#include <QXmlStreamReader>

namespace vellamor {

namespace {

// The text of line `line` (counted from 1) of the document, for the parse error.
QString lineOfDocument(const QByteArray &document, const QString &encoding, qint64 line)
{
    if (line < 1)
        return {};
    const QByteArray name = encoding.isEmpty() ? QByteArrayLiteral("UTF-8") : encoding.toLatin1();
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    QString text = decoder.decode(document);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1StringView("\r\n"), QLatin1StringView("\n"));
    text.replace(u'\r', u'\n');
    const QStringList lines = text.split(u'\n');
    return line <= lines.size() ? lines.at(line - 1) : QString();
}

[[noreturn]] void raiseParseError(const QString &reason, qint64 line, const QString &lineText)
{
    // The layout administrators know from earlier versions of the panel:
    // reason, line number and the start of the offending line, one per row.
    throw Error(QStringLiteral("%1\r\nLine: %2\r\n%3").arg(reason).arg(line).arg(lineText.left(40)));
}

class TreeBuilder
{
public:
    TreeBuilder(XmlNode &root, int storedDepth) : m_root(root), m_storedDepth(storedDepth) {}

    void startElement(const QString &name)
    {
        if (m_depth == 0) {
            m_root.kind = XmlNode::Kind::Element;
            m_root.name = name;
            m_open.push_back(&m_root);
        } else if (XmlNode *parent = storingParent()) {
            parent->children.push_back({XmlNode::Kind::Element, name, {}, {}});
            m_open.push_back(&parent->children.back());
        }
        ++m_depth;
        m_textOpen = false;
    }

    void endElement()
    {
        if (m_depth == int(m_open.size()))
            m_open.pop_back();
        --m_depth;
        m_textOpen = false;
    }

    void characters(QStringView text, bool cdata)
    {
        XmlNode *parent = storingParent();
        if (!parent)
            return;
        // A run of character data is one piece however the reader splits it;
        // a CDATA section is always a piece of its own.
        if (m_textOpen && !cdata) {
            parent->children.back().text += text;
            return;
        }
        parent->children.push_back({XmlNode::Kind::Text, {}, text.toString(), {}});
        m_textOpen = !cdata;
    }

    void other()
    {
        if (XmlNode *parent = storingParent())
            parent->children.push_back({});
        m_textOpen = false;
    }

private:
    // The element that takes a new child: the innermost open element, when it
    // is stored and the child lies within the stored depth below the root.
    // Nodes outside the root are not stored.
    XmlNode *storingParent() const
    {
        if (m_depth == 0 || m_depth != int(m_open.size()) || m_depth > m_storedDepth)
            return nullptr;
        return m_open.back();
    }

    XmlNode &m_root;
    int m_storedDepth;
    int m_depth = 0;
    bool m_textOpen = false;
    // Pointers into the tree: only the innermost open element ever gains
    // children, so the vectors that hold the open elements never reallocate.
    std::vector<XmlNode *> m_open;
};

} // namespace

XmlNode parseXmlTree(const QByteArray &document, int storedDepth)
{
    XmlNode root;
    TreeBuilder builder(root, storedDepth);
    QXmlStreamReader reader(document);
    const auto fail = [&](const QString &reason) {
        raiseParseError(reason, reader.lineNumber(),
                        lineOfDocument(document, reader.documentEncoding().toString(), reader.lineNumber()));
    };

    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            builder.startElement(reader.qualifiedName().toString());
            break;
        case QXmlStreamReader::EndElement:
            builder.endElement();
            break;
        case QXmlStreamReader::Characters:
            builder.characters(reader.text(), reader.isCDATA());
            break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
        case QXmlStreamReader::EntityReference:
            builder.other();
            break;
        case QXmlStreamReader::DTD:
            // The reader never fetches an external entity; it would drop its
            // references silently instead. Say so rather than load a file
            // that lost part of its text.
            for (const QXmlStreamEntityDeclaration &entity : reader.entityDeclarations()) {
                if (!entity.systemId().isEmpty() || !entity.publicId().isEmpty())
                    fail(QStringLiteral("External entity '%1' is not supported.").arg(entity.name()));
            }
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        fail(reader.errorString());
    return root;
}

XmlNode readXmlTree(const QString &path, int storedDepth)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        raiseParseError(file.errorString(), 0, QString());
    const QByteArray document = file.readAll();
    if (file.error() != QFileDevice::NoError)
        raiseParseError(file.errorString(), 0, QString());
    return parseXmlTree(document, storedDepth);
}

} // namespace vellamor
