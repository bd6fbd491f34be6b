#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace vellamor {

// A parsed XML document, reduced to what the configuration reader looks at:
// elements by name, pieces of text, and "something else" (comments,
// processing instructions). Attributes are not kept.
struct XmlNode
{
    enum class Kind { Element, Text, Other };

    Kind kind = Kind::Other;
    QString name; // elements
    QString text; // one piece of text: a run of character data, or one CDATA section
    std::vector<XmlNode> children;

    bool isElement(QStringView elementName) const { return kind == Kind::Element && name == elementName; }
};

// Parses a document and returns its root element. Elements deeper than
// storedDepth levels below the root are recorded without their content, so a
// deeply nested file costs neither stack nor memory.
//
// A document that is not well-formed raises the parse error: the parser's
// reason, CR LF, "Line: N", CR LF, and the first 40 characters of that line.
// Internal entities are expanded up to Qt's expansion limit (a "billion laughs"
// file fails); a document that declares an external entity is refused, so no
// other file is ever read.
XmlNode parseXmlTree(const QByteArray &document, int storedDepth);

// Reads and parses a file; a file that cannot be read raises the parse error
// with the system's reason and line 0.
XmlNode readXmlTree(const QString &path, int storedDepth);

} // namespace vellamor
