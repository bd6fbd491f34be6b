#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace vellamor {

// The largest document read from a file: far above any real configuration.
inline constexpr qint64 kMaxXmlDocumentSize = qint64(16) << 20;
// The most text that entity references may add to a document, all together.
inline constexpr qint64 kMaxXmlEntityExpansion = qint64(4) << 20;
// The deepest nesting of elements, and the most nodes (elements, pieces of
// text, comments, processing instructions) a document may hold: far beyond
// any real configuration. The reader's memory grows by some hundred bytes per
// open element and per node kept, far faster than the file, so these bound it
// to a few tens of MiB.
inline constexpr int kMaxXmlDepth = 10000;
inline constexpr qint64 kMaxXmlNodes = 100000;

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
// Internal entities are expanded as long as all references together add at
// most kMaxXmlEntityExpansion characters (a "billion laughs" file fails before
// the reader expands anything); a document that declares an external or a
// parameter entity is refused, so no other file is ever read. A document
// nested deeper than kMaxXmlDepth or holding more than kMaxXmlNodes nodes is
// refused where it passes the bound.
XmlNode parseXmlTree(const QByteArray &document, int storedDepth);

// Reads and parses a file. A file that cannot be read raises the parse error
// with the system's reason and line 0, as does one that is not a regular file
// (a FIFO or a device: reading never blocks) or is larger than
// kMaxXmlDocumentSize.
XmlNode readXmlTree(const QString &path, int storedDepth);

} // namespace vellamor
