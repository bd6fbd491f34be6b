#include "IntegerConversion.h"

#include "common/Error.h"

namespace vellamor {

namespace {

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (base == 16 && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (base == 16 && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool isX(QChar c)
{
    return c == u'x' || c == u'X';
}

} // namespace

std::optional<qint32> parseInteger(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;

    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }

    int base = 10;
    if (i < n && (text[i] == u'$' || isX(text[i]))) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && isX(text[i + 1])) {
        base = 16;
        i += 2;
    }

    if (i == n)
        return std::nullopt;

    // The magnitude of the most negative value is one more than the largest positive one.
    const qint64 limit = negative ? qint64(1) << 31 : (qint64(1) << 31) - 1;
    qint64 value = 0;
    for (; i < n; ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return qint32(negative ? -value : value);
}

qint32 toInteger(const QString &text)
{
    if (const std::optional<qint32> value = parseInteger(text))
        return *value;
    throw Error(QStringLiteral("''%1'' is not a valid integer value").arg(text));
}

} // namespace vellamor
