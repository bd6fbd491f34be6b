#include "XmlTree.h"

#include "AtomicFile.h"
#include "common/Error.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QXmlStreamReader>

namespace vellamor {

namespace {

// The document as text, with every line ending as one LF. The encoding is the
// declared one, else what the first bytes show (UTF-16 and UTF-32 with or
// without a byte order mark), else UTF-8.
QString decodedDocument(const QByteArray &document, const QString &encoding)
{
    QStringDecoder decoder(encoding.toLatin1().constData());
    if (encoding.isEmpty() || !decoder.isValid())
        decoder = QStringDecoder(QStringConverter::encodingForData(document, u'<').value_or(QStringConverter::Utf8));
    QString text = decoder.decode(document);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1StringView("\r\n"), QLatin1StringView("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

// The text of line `line` (counted from 1) of the document, for the parse error.
QString lineOfDocument(const QString &text, qint64 line)
{
    if (line < 1)
        return {};
    qsizetype start = 0;
    for (qint64 i = 1; i < line; ++i) {
        start = text.indexOf(u'\n', start);
        if (start < 0)
            return {};
        ++start;
    }
    const qsizetype end = text.indexOf(u'\n', start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

[[noreturn]] void raiseParseError(const QString &reason, qint64 line, const QString &lineText)
{
    // The layout administrators know from earlier versions of the panel:
    // reason, line number and the start of the offending line, one per row.
    throw Error(QStringLiteral("%1\r\nLine: %2\r\n%3").arg(reason).arg(line).arg(lineText.left(40)));
}

// Qt's reader bounds what one entity reference expands to, but not the sum:
// a few hundred KiB of references to a 4 KiB entity cost it seconds and
// gigabytes before it returns a token (it hands a run of text over whole,
// however the data reach it). So the expansion is added up before the reader
// builds anything, and only where the reader itself expands:
// - the prolog is read here, up to the end of the document type declaration:
//   the entity declarations, and the references in attribute defaults, which
//   the reader expands once, as it reads the declaration;
// - the rest is read by Qt's reader with the declaration blanked out, so that
//   it asks an entity resolver for each reference it would expand (in text and
//   attribute values; never in comments, CDATA sections or processing
//   instructions). The resolver adds up what the entity expands to and hands
//   back nothing, so this reading costs no more than the document.
// Parameter entities, which could declare entities by expansion, are refused:
// a configuration has no use for them.
class EntityExpansionCheck : private QXmlStreamEntityResolver
{
public:
    explicit EntityExpansionCheck(QString text) : m_text(std::move(text)) {}

    void run()
    {
        const qsizetype prologEnd = readProlog();
        if (m_values.isEmpty())
            return; // nothing can expand
        for (const auto &literal : std::as_const(m_attributeDefaults)) {
            const qsizetype start = literal.first;
            forEachReference(QStringView(m_text).mid(start, literal.second - start), [&](qsizetype from, qsizetype to) {
                add(m_text.mid(start + from + 1, to - from - 1));
                if (m_over)
                    fail(kReason, start + from);
            });
        }
        readBody(prologEnd);
    }

private:
    static inline const QString kReason = QStringLiteral("Entity references expand to more than 4 MiB of text.");

    [[noreturn]] void fail(const QString &reason, qsizetype at) const { failOnLine(reason, lineAt(at)); }
    [[noreturn]] void failOnLine(const QString &reason, qint64 line) const
    {
        raiseParseError(reason, line, lineOfDocument(m_text, line));
    }
    qint64 lineAt(qsizetype at) const { return QStringView(m_text).left(at).count(u'\n') + 1; }

    bool startsWith(qsizetype at, QLatin1StringView token) const
    {
        return QStringView(m_text).mid(at).startsWith(token);
    }
    // The position just after the next `token` from `at`, or the end.
    qsizetype after(qsizetype at, QLatin1StringView token) const
    {
        const qsizetype found = m_text.indexOf(token, at);
        return found < 0 ? m_text.size() : found + token.size();
    }
    qsizetype skipSpace(qsizetype i) const
    {
        while (i < m_text.size() && m_text.at(i).isSpace())
            ++i;
        return i;
    }
    // The end of the quoted literal that starts at `at`, closing quote included.
    qsizetype quoteEnd(qsizetype at) const
    {
        const qsizetype found = m_text.indexOf(m_text.at(at), at + 1);
        return found < 0 ? m_text.size() : found + 1;
    }

    // The prolog as the reader sees it: comments, processing instructions
    // (the XML declaration among them) and document type declarations, up to
    // the first other markup. Returns where it ends.
    qsizetype readProlog()
    {
        qsizetype i = 0;
        qsizetype end = 0;
        for (;;) {
            i = skipSpace(i);
            if (startsWith(i, QLatin1StringView("<?")))
                i = after(i + 2, QLatin1StringView("?>"));
            else if (startsWith(i, QLatin1StringView("<!--")))
                i = after(i + 4, QLatin1StringView("-->"));
            else if (startsWith(i, QLatin1StringView("<!DOCTYPE")))
                end = i = readDoctype(i + 9);
            else
                return end;
        }
    }

    // From the name on: the external identifier, the internal subset between
    // brackets, and the closing '>'.
    qsizetype readDoctype(qsizetype i)
    {
        while (i < m_text.size()) {
            const QChar c = m_text.at(i);
            if (c == u'>')
                return i + 1;
            if (c == u'"' || c == u'\'')
                i = quoteEnd(i);
            else if (c == u'[')
                i = readInternalSubset(i + 1);
            else
                ++i;
        }
        return i;
    }

    // Up to and including the ']' that closes the internal subset.
    qsizetype readInternalSubset(qsizetype i)
    {
        while (i < m_text.size()) {
            if (m_text.at(i) == u']')
                return i + 1;
            if (startsWith(i, QLatin1StringView("<!--")))
                i = after(i + 4, QLatin1StringView("-->"));
            else if (startsWith(i, QLatin1StringView("<?")))
                i = after(i + 2, QLatin1StringView("?>"));
            else if (startsWith(i, QLatin1StringView("<!ENTITY")))
                i = readEntityDeclaration(i);
            else if (startsWith(i, QLatin1StringView("<!")))
                i = readDeclaration(i + 2, startsWith(i, QLatin1StringView("<!ATTLIST")));
            else
                ++i;
        }
        return i;
    }

    // Any other declaration, up to its '>'. The literals of an attribute list
    // are default values, in which references expand.
    qsizetype readDeclaration(qsizetype i, bool attributeList)
    {
        while (i < m_text.size()) {
            const QChar c = m_text.at(i);
            if (c == u'>')
                return i + 1;
            if (c == u'"' || c == u'\'') {
                const qsizetype end = quoteEnd(i);
                if (attributeList)
                    m_attributeDefaults.append({i + 1, end});
                i = end;
            } else {
                ++i;
            }
        }
        return i;
    }

    qsizetype readEntityDeclaration(qsizetype at)
    {
        static constexpr qsizetype keyword = 8; // <!ENTITY
        qsizetype i = skipSpace(at + keyword);
        if (i < m_text.size() && m_text.at(i) == u'%')
            fail(QStringLiteral("Parameter entities are not supported."), at);
        const qsizetype nameStart = i;
        while (i < m_text.size() && !m_text.at(i).isSpace() && m_text.at(i) != u'>')
            ++i;
        const QString name = m_text.mid(nameStart, i - nameStart);
        i = skipSpace(i);
        if (i >= m_text.size() || (m_text.at(i) != u'"' && m_text.at(i) != u'\''))
            return readDeclaration(i, false); // external: the reader refuses it
        const qsizetype end = quoteEnd(i);
        // The first declaration of a name binds, and the five predefined
        // entities keep their meaning: the reader does the same.
        static const QSet<QString> predefined{QStringLiteral("lt"), QStringLiteral("gt"), QStringLiteral("amp"),
                                              QStringLiteral("apos"), QStringLiteral("quot")};
        if (!m_values.contains(name) && !predefined.contains(name))
            m_values.insert(name, withCharacterReferences(QStringView(m_text).mid(i + 1, end - i - 2)));
        return readDeclaration(end, false);
    }

    // The body, read by Qt's reader. The prolog is blanked, line ends kept,
    // so that the reader knows no entity and asks for each one, on the line
    // where it stands.
    void readBody(qsizetype prologEnd)
    {
        const QString prolog = m_text.left(prologEnd);
        for (qsizetype i = 0; i < prologEnd; ++i) {
            if (m_text.at(i) != u'\n')
                m_text[i] = u' ';
        }
        {
            QXmlStreamReader reader(m_text);
            reader.setEntityResolver(this);
            m_reader = &reader;
            // The reader's memory grows with the open elements: it stops at
            // the nesting bound, where the parser stops too.
            int depth = 0;
            while (!reader.atEnd() && !m_over && depth <= kMaxXmlDepth) {
                const QXmlStreamReader::TokenType token = reader.readNext();
                depth += token == QXmlStreamReader::StartElement ? 1 : token == QXmlStreamReader::EndElement ? -1 : 0;
            }
            m_reader = nullptr;
        }
        m_text.replace(0, prologEnd, prolog); // for the error's line
        // A reading that fails here fails in the parser as well, at the same
        // place or earlier: it says why.
        if (m_over)
            failOnLine(kReason, m_overLine);
    }

    QString resolveUndeclaredEntity(const QString &name) override
    {
        add(name);
        if (m_over && m_overLine == 0)
            m_overLine = m_reader->lineNumber();
        return QStringLiteral(""); // found, and empty: nothing expands here
    }

    void add(const QString &name)
    {
        if (m_over || !m_values.contains(name))
            return;
        m_total += expandedLength(name);
        m_over = m_total > kMaxXmlEntityExpansion;
    }

    // Calls found(start, end) for every "&name;" in the text, start at the
    // '&' and end at the ';'. One pass, whatever the text holds.
    template<typename Found> static void forEachReference(QStringView text, Found found)
    {
        qsizetype start = -1;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c == u'&') {
                start = i;
            } else if (c == u';' && start >= 0) {
                found(start, i);
                start = -1;
            } else if (c.isSpace() || c == u'<') {
                start = -1; // no name holds them
            }
        }
    }

    // A character reference in an entity's value is replaced when the entity
    // is declared, so "&#38;a;" in it is a reference to a.
    static QString withCharacterReferences(QStringView value)
    {
        QString result;
        qsizetype copied = 0;
        forEachReference(value, [&](qsizetype start, qsizetype end) {
            const QStringView digits = value.mid(start + 1, end - start - 1);
            if (!digits.startsWith(u'#'))
                return;
            bool ok = false;
            const char32_t code =
                digits.startsWith(u"#x") ? digits.mid(2).toUInt(&ok, 16) : digits.mid(1).toUInt(&ok, 10);
            if (!ok || code > 0x10FFFF)
                return;
            result += value.mid(copied, start - copied);
            result += QString::fromUcs4(&code, 1);
            copied = end + 1;
        });
        result += value.mid(copied);
        return result;
    }

    // Characters an entity expands to, capped just above the bound. Worked
    // out depth first without recursion: a chain of entities may be as long
    // as the file allows. An entity that refers to itself counts nothing
    // here; the reader refuses it. A reference that the reader would not
    // expand inside the value (in a comment there) counts all the same.
    qint64 expandedLength(const QString &entity)
    {
        QStringList pending{entity};
        QSet<QString> started;
        while (!pending.isEmpty()) {
            const QString name = pending.last();
            if (m_lengths.contains(name)) {
                pending.removeLast();
            } else if (!started.contains(name)) {
                // First its references, then the entity itself.
                started.insert(name);
                forEachDeclaredReference(m_values.value(name), [&](const QString &reference, qsizetype) {
                    if (!m_lengths.contains(reference) && !started.contains(reference))
                        pending.append(reference);
                });
            } else {
                const QString value = m_values.value(name);
                qint64 length = value.size();
                forEachDeclaredReference(value, [&](const QString &reference, qsizetype size) {
                    length += m_lengths.value(reference) - size;
                });
                m_lengths.insert(name, qMin(length, kMaxXmlEntityExpansion + 1));
                pending.removeLast();
            }
        }
        return m_lengths.value(entity);
    }

    // Calls found(name, size of the reference) for every reference to a
    // declared entity in an entity's value.
    template<typename Found> void forEachDeclaredReference(const QString &value, Found found) const
    {
        forEachReference(value, [&](qsizetype start, qsizetype end) {
            const QString reference = value.mid(start + 1, end - start - 1);
            if (m_values.contains(reference))
                found(reference, end - start + 1);
        });
    }

    QString m_text;
    QHash<QString, QString> m_values; // the binding declaration of each internal entity
    QHash<QString, qint64> m_lengths;
    QList<std::pair<qsizetype, qsizetype>> m_attributeDefaults; // the literals of attribute lists
    const QXmlStreamReader *m_reader = nullptr;
    qint64 m_total = 0;
    bool m_over = false;
    qint64 m_overLine = 0;
};

void checkEntityExpansion(const QByteArray &document)
{
    QXmlStreamReader prologue(document);
    prologue.readNext(); // the XML declaration, which names the encoding
    const QString text = decodedDocument(document, prologue.documentEncoding().toString());
    // Without a declaration nothing expands: every real configuration.
    if (text.contains(QLatin1StringView("<!ENTITY")))
        EntityExpansionCheck(text).run();
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

    int depth() const { return m_depth; }

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
    checkEntityExpansion(document);
    QXmlStreamReader reader(document);
    const auto fail = [&](const QString &reason) {
        const QString text = decodedDocument(document, reader.documentEncoding().toString());
        raiseParseError(reason, reader.lineNumber(), lineOfDocument(text, reader.lineNumber()));
    };

    qint64 nodes = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        const bool node = token == QXmlStreamReader::StartElement || token == QXmlStreamReader::Characters ||
                          token == QXmlStreamReader::Comment || token == QXmlStreamReader::ProcessingInstruction ||
                          token == QXmlStreamReader::EntityReference;
        if (node && ++nodes > kMaxXmlNodes)
            fail(QStringLiteral("The document holds more than %1 elements, texts and comments.").arg(kMaxXmlNodes));
        switch (token) {
        case QXmlStreamReader::StartElement:
            if (builder.depth() >= kMaxXmlDepth)
                fail(QStringLiteral("Elements nest more than %1 levels deep.").arg(kMaxXmlDepth));
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
    const BoundedRead read = readFileBounded(path, kMaxXmlDocumentSize);
    if (!read.failure)
        return parseXmlTree(read.content, storedDepth);
    const QString file = QDir::toNativeSeparators(path);
    switch (*read.failure) {
    case BoundedRead::Failure::NotAFile:
        raiseParseError(QStringLiteral("\"%1\" is not a regular file").arg(file), 0, QString());
    case BoundedRead::Failure::TooLarge:
        raiseParseError(QStringLiteral("\"%1\" is larger than 16 MiB").arg(file), 0, QString());
    case BoundedRead::Failure::CannotOpen:
    case BoundedRead::Failure::ReadError:
        break;
    }
    raiseParseError(read.reason, 0, QString());
}

} // namespace vellamor
