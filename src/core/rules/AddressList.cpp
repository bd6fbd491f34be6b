#include "AddressList.h"

#include "config/AtomicFile.h"

#include <QDir>
#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <zlib.h>

namespace vellamor {

namespace {

constexpr quint32 kAllAddresses = 0xFFFFFFFFu;
// How often a long run looks at its cancel flag and reports, in lines.
constexpr qint64 kCheckEvery = 4096;
constexpr qint64 kReportEvery = 65536;

enum class Parsed { Blank, Entry, Ipv6, AboveLevel, PolicyLine, Unread };

struct LineResult
{
    Parsed kind = Parsed::Unread;
    AddressSpan span;
    UnreadReason reason = UnreadReason::NotUnderstood;
    std::optional<Policy> policy;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool isComment(QByteArrayView line)
{
    return line.startsWith('#') || line.startsWith(';') || line.startsWith("//");
}

enum class AddressRead { Bad, Ok, OutOfRange };

// Dotted decimal of four groups of one to three digits; list files write
// leading zeros ("001.002.003.004"), so they are allowed.
AddressRead readAddress(QByteArrayView text, quint32 &address)
{
    quint32 value = 0;
    bool above255 = false;
    qsizetype pos = 0;
    for (int group = 0; group < 4; ++group) {
        if (group > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return AddressRead::Bad;
            ++pos;
        }
        int digits = 0;
        quint32 number = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
            number = number * 10 + quint32(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3)
            return AddressRead::Bad;
        above255 = above255 || number > 255;
        value = (value << 8) | (number & 0xFF);
    }
    if (pos != text.size())
        return AddressRead::Bad;
    address = value;
    return above255 ? AddressRead::OutOfRange : AddressRead::Ok;
}

// What the rule grammar cannot hold: hexadecimal groups with colons.
bool looksLikeIpv6(QByteArrayView text)
{
    int colons = 0;
    for (const char c : text) {
        if (c == ':')
            ++colons;
        else if (!isBlank(c) && !std::isxdigit(static_cast<unsigned char>(c)) && c != '.' && c != '/' && c != '-')
            return false;
    }
    return colons >= 2;
}

LineResult unread(UnreadReason reason = UnreadReason::NotUnderstood)
{
    LineResult result;
    result.reason = reason;
    return result;
}

LineResult entry(AddressSpan span)
{
    LineResult result;
    result.kind = Parsed::Entry;
    result.span = span;
    return result;
}

LineResult ipv6()
{
    LineResult result;
    result.kind = Parsed::Ipv6;
    return result;
}

// "a.b.c.d-e.f.g.h", blanks allowed around the dash.
LineResult readRange(QByteArrayView text)
{
    const qsizetype dash = text.indexOf('-');
    if (dash < 0)
        return looksLikeIpv6(text) ? ipv6() : unread();
    quint32 first = 0;
    quint32 last = 0;
    const AddressRead a = readAddress(trimmed(text.first(dash)), first);
    const AddressRead b = readAddress(trimmed(text.sliced(dash + 1)), last);
    if (a == AddressRead::Bad || b == AddressRead::Bad)
        return looksLikeIpv6(text) ? ipv6() : unread();
    if (a == AddressRead::OutOfRange || b == AddressRead::OutOfRange)
        return unread(UnreadReason::OutOfRange);
    if (last < first)
        return unread(UnreadReason::EndBeforeStart);
    return entry({first, last});
}

LineResult readPlain(QByteArrayView line)
{
    // Published lists put a note after the entry: "1.10.16.0/20 ; SBL256894".
    qsizetype cut = line.size();
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '#' || line[i] == ';' || (line[i] == '/' && i + 1 < line.size() && line[i + 1] == '/')) {
            cut = i;
            break;
        }
    }
    const QByteArrayView text = trimmed(line.first(cut));
    if (text.contains('-'))
        return readRange(text);
    const qsizetype slash = text.indexOf('/');
    quint32 address = 0;
    const AddressRead read = readAddress(slash < 0 ? text : trimmed(text.first(slash)), address);
    if (read == AddressRead::Bad)
        return looksLikeIpv6(text) ? ipv6() : unread();
    if (slash < 0)
        return read == AddressRead::Ok ? entry({address, address}) : unread(UnreadReason::OutOfRange);
    const QByteArrayView prefixText = trimmed(text.sliced(slash + 1));
    bool ok = false;
    const int prefix = prefixText.size() <= 3 ? QByteArray(prefixText.data(), prefixText.size()).toInt(&ok) : -1;
    if (!ok || prefix < 0 ||
        !std::all_of(prefixText.begin(), prefixText.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return unread();
    if (read == AddressRead::OutOfRange || prefix > 32)
        return unread(UnreadReason::OutOfRange);
    // Host bits set name the whole block, as a rule line's block does.
    const quint32 mask = prefix == 0 ? 0 : kAllAddresses << (32 - prefix);
    return entry({address & mask, (address & mask) | ~mask});
}

LineResult readP2P(QByteArrayView line)
{
    // The name may hold colons; the range never does.
    const qsizetype colon = line.lastIndexOf(':');
    if (colon < 0)
        return unread();
    LineResult result = readRange(trimmed(line.sliced(colon + 1)));
    if (result.kind == Parsed::Unread && result.reason == UnreadReason::NotUnderstood &&
        looksLikeIpv6(line.sliced(line.indexOf(':') + 1)))
        return ipv6();
    return result;
}

LineResult readDat(QByteArrayView line)
{
    const qsizetype comma = line.indexOf(',');
    if (comma < 0)
        return unread();
    LineResult result = readRange(trimmed(line.first(comma)));
    if (result.kind != Parsed::Entry)
        return result;
    QByteArrayView level = line.sliced(comma + 1);
    if (const qsizetype next = level.indexOf(','); next >= 0)
        level = level.first(next);
    level = trimmed(level);
    bool ok = false;
    const int value = level.size() <= 4 ? QByteArray(level.data(), level.size()).toInt(&ok) : -1;
    if (!ok || value < 0)
        return unread();
    // Levels up to 127 block; above them the format lets the range through.
    if (value > 127)
        result.kind = Parsed::AboveLevel;
    return result;
}

LineResult readRuleSetLine(QByteArrayView line)
{
    LineResult result;
    if (line.startsWith("POLICY")) {
        const QByteArrayView word = line.size() > 7 ? line.sliced(7, qMin<qsizetype>(6, line.size() - 7)) : "";
        result.kind = Parsed::PolicyLine;
        if (word == "ACCEPT")
            result.policy = Policy::Accept;
        else if (word == "REJECT")
            result.policy = Policy::Reject;
        return result;
    }
    const RuleLineParts parts = parseRuleLine(line);
    if (!parts.inGrammar())
        return looksLikeIpv6(line.sliced(qMin<qsizetype>(7, line.size()))) ? ipv6() : unread();
    const std::optional<AddressSpan> span = ruleSpan(parts);
    if (!span)
        return unread(parts.form == RuleForm::Range && parts.end < parts.groups[3] ? UnreadReason::EndBeforeStart
                                                                                   : UnreadReason::OutOfRange);
    return entry(*span);
}

LineResult readLine(QByteArrayView raw, ListFormat format)
{
    // rules.txt lines are taken as the file has them; lists are forgiving
    // about blanks.
    const QByteArrayView line = format == ListFormat::RuleSet ? raw : trimmed(raw);
    LineResult blank;
    blank.kind = Parsed::Blank;
    if (trimmed(line).isEmpty() || isComment(trimmed(line)))
        return blank;
    switch (format) {
    case ListFormat::Plain:
        return readPlain(line);
    case ListFormat::P2P:
        return readP2P(line);
    case ListFormat::Dat:
        return readDat(line);
    case ListFormat::RuleSet:
        return readRuleSetLine(line);
    }
    return unread();
}

// Calls `each` with every line of `text` and its number, the line end left
// out; stops early when it returns false.
template<typename Each> void forEachLine(QByteArrayView text, Each each)
{
    const char *const data = text.data();
    const qsizetype size = text.size();
    qsizetype start = 0;
    // A byte order mark is no part of the first line.
    if (text.startsWith("\xEF\xBB\xBF"))
        start = 3;
    qint64 number = 0;
    while (start < size) {
        const auto *lf = static_cast<const char *>(std::memchr(data + start, '\n', size_t(size - start)));
        qsizetype end = lf ? lf - data : size;
        const qsizetype next = lf ? end + 1 : size;
        if (end > start && data[end - 1] == '\r')
            --end;
        if (!each(++number, QByteArrayView(data + start, end - start), start))
            return;
        start = next;
    }
}

bool isBlock(AddressSpan span)
{
    const quint64 size = quint64(span.last) - span.first + 1;
    return std::has_single_bit(size) && (span.first & (size - 1)) == 0;
}

// One line's text, put together without an allocation: imports make
// millions of them.
class LineText
{
public:
    explicit LineText(QByteArrayView prefix = {}) { append(prefix); }

    void append(QByteArrayView text)
    {
        if (text.isEmpty())
            return; // its data may be null, which memcpy does not take
        std::memcpy(m_data + m_size, text.data(), size_t(text.size()));
        m_size += text.size();
    }
    void append(char c) { m_data[m_size++] = c; }
    void appendNumber(quint32 number)
    {
        char digits[10];
        int count = 0;
        do {
            digits[count++] = char('0' + number % 10);
            number /= 10;
        } while (number);
        while (count)
            m_data[m_size++] = digits[--count];
    }
    void appendAddress(quint32 address)
    {
        for (int shift = 24; shift >= 0; shift -= 8) {
            appendNumber((address >> shift) & 0xFF);
            if (shift > 0)
                append('.');
        }
    }
    void appendBlock(AddressSpan block)
    {
        appendAddress(block.first);
        append('/');
        appendNumber(quint32(32 - std::countr_zero(quint64(block.last) - block.first + 1)));
    }
    // A target within one last group: one of the three forms always does.
    void appendPiece(AddressSpan span)
    {
        if (span.first == span.last && span.first == 0) {
            // A lone 0.0.0.0 would stand for every address.
            append("0.0.0.0/32");
        } else if (span.first == span.last) {
            appendAddress(span.first);
        } else if (isBlock(span)) {
            appendBlock(span);
        } else {
            appendAddress(span.first);
            append('-');
            appendNumber(span.last & 0xFF);
        }
    }
    QByteArrayView view() const { return {m_data, m_size}; }
    QByteArray bytes() const { return view().toByteArray(); }

private:
    char m_data[64];
    qsizetype m_size = 0;
};

void appendAddress(QByteArray &out, quint32 address)
{
    LineText text;
    text.appendAddress(address);
    out += text.view();
}

} // namespace

QString formatName(ListFormat format)
{
    switch (format) {
    case ListFormat::Plain:
        return QStringLiteral("Addresses, blocks and ranges");
    case ListFormat::P2P:
        return QStringLiteral("P2P (name:first-last)");
    case ListFormat::Dat:
        return QStringLiteral("DAT (first - last , level , name)");
    case ListFormat::RuleSet:
        return QStringLiteral("Rule set (rules.txt)");
    }
    return {};
}

QString describeUnread(const UnreadLine &line)
{
    QString why;
    switch (line.reason) {
    case UnreadReason::NotUnderstood:
        why = QStringLiteral("not understood");
        break;
    case UnreadReason::OutOfRange:
        why = QStringLiteral("address or prefix out of range");
        break;
    case UnreadReason::EndBeforeStart:
        why = QStringLiteral("range ends before it starts");
        break;
    }
    return QStringLiteral("Line %1 (%2): %3").arg(line.number).arg(why, QString::fromLatin1(line.text));
}

ListFormat detectFormat(QByteArrayView text)
{
    constexpr ListFormat candidates[] = {ListFormat::RuleSet, ListFormat::Dat, ListFormat::P2P, ListFormat::Plain};
    qint64 scores[4] = {};
    int looked = 0;
    forEachLine(text.first(qMin<qsizetype>(text.size(), kMaxAddressListLine)),
                [&](qint64, QByteArrayView line, qsizetype) {
                    const QByteArrayView bare = trimmed(line);
                    if (bare.isEmpty() || isComment(bare))
                        return true;
                    for (int i = 0; i < 4; ++i) {
                        const Parsed kind = readLine(line, candidates[i]).kind;
                        scores[i] += kind == Parsed::Entry || kind == Parsed::AboveLevel || kind == Parsed::PolicyLine
                                         ? 2
                                         : (kind == Parsed::Ipv6 ? 1 : 0);
                    }
                    return ++looked < 500;
                });
    // On a tie the stricter format wins: a rules.txt line or a DAT line is
    // no plain entry, but the other way round it could be.
    const auto best = std::max_element(std::begin(scores), std::end(scores));
    return *best == 0 ? ListFormat::Plain : candidates[best - std::begin(scores)];
}

AddressListRead readAddressList(QByteArrayView text, std::optional<ListFormat> format, const LongRun &run)
{
    AddressListRead read;
    AddressList &list = read.list;
    list.format = format.value_or(detectFormat(text));
    list.spans.reserve(size_t(std::count(text.begin(), text.end(), '\n') + 1));
    forEachLine(text, [&](qint64 number, QByteArrayView line, qsizetype offset) {
        if (number % kCheckEvery == 0) {
            if (run.cancelled()) {
                read.cancelled = true;
                return false;
            }
            if (run.progress && number % kReportEvery == 0)
                run.progress(offset, text.size());
        }
        if (line.size() > kMaxAddressListLine) {
            read.error = QStringLiteral("line %1 is longer than 1 MiB: this is no address list").arg(number);
            return false;
        }
        const LineResult result = readLine(line, list.format);
        switch (result.kind) {
        case Parsed::Blank:
            break;
        case Parsed::Entry:
            ++list.entries;
            if (list.format == ListFormat::RuleSet)
                list.ruleLines.append(line.toByteArray());
            else
                list.spans.push_back(result.span);
            break;
        case Parsed::Ipv6:
            ++list.ipv6;
            break;
        case Parsed::AboveLevel:
            ++list.aboveLevel;
            break;
        case Parsed::PolicyLine:
            if (result.policy)
                list.policy = result.policy;
            break;
        case Parsed::Unread:
            ++list.notUnderstood;
            if (list.unread.size() < kListedUnread)
                list.unread.append(
                    {number, line.first(qMin(line.size(), kUnreadTextLength)).toByteArray(), result.reason});
            break;
        }
        return true;
    });
    if (!read.ok())
        read.list = AddressList();
    list.spans.shrink_to_fit();
    return read;
}

namespace {

// Unpacks gzip (members one after another, as `cat a.gz b.gz` makes them)
// into at most kMaxAddressListSize bytes.
QByteArray gunzip(const QByteArray &packed, QString *error, const LongRun &run)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
        *error = QStringLiteral("the decompressor could not start");
        return {};
    }
    QByteArray out;
    out.resize(qMin<qint64>(qMax<qint64>(qint64(packed.size()) * 4, 1 << 16), kMaxAddressListSize + 1));
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.constData()));
    stream.avail_in = uInt(packed.size()); // at most 1 GiB, within uInt
    qint64 done = 0;
    int status = Z_OK;
    for (;;) {
        if (run.cancelled()) {
            inflateEnd(&stream);
            return {};
        }
        if (done == out.size()) {
            if (done > kMaxAddressListSize) {
                inflateEnd(&stream);
                *error = QStringLiteral("unpacked, it is larger than 1 GiB");
                return {};
            }
            out.resize(qMin<qint64>(qint64(out.size()) * 2, kMaxAddressListSize + 1));
        }
        const qint64 room = qMin<qint64>(out.size() - done, qint64(1) << 20);
        stream.next_out = reinterpret_cast<Bytef *>(out.data() + done);
        stream.avail_out = uInt(room);
        status = inflate(&stream, Z_NO_FLUSH);
        done += room - stream.avail_out;
        if (run.progress)
            run.progress(packed.size() - stream.avail_in, packed.size());
        if (status == Z_STREAM_END) {
            // Another member may follow; anything else after the end is not ours to read.
            if (stream.avail_in >= 2 && stream.next_in[0] == 0x1f && stream.next_in[1] == 0x8b) {
                inflateReset(&stream);
                continue;
            }
            break;
        }
        if (status == Z_BUF_ERROR && stream.avail_in == 0) {
            inflateEnd(&stream);
            *error = QStringLiteral("the compressed file is truncated");
            return {};
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            inflateEnd(&stream);
            *error = QStringLiteral("the compressed file is damaged (%1)")
                         .arg(QString::fromLatin1(stream.msg ? stream.msg : "?"));
            return {};
        }
    }
    inflateEnd(&stream);
    out.truncate(done);
    out.squeeze();
    return out;
}

} // namespace

QByteArray readListText(const QString &path, QString *error, const LongRun &run)
{
    const QString name = QDir::toNativeSeparators(path);
    const auto fail = [&](const QString &reason) {
        *error = QStringLiteral("Could not import \"%1\": %2").arg(name, reason);
        return QByteArray();
    };
    BoundedRead read = readFileBounded(path, kMaxAddressListSize);
    if (read.failure) {
        switch (*read.failure) {
        case BoundedRead::Failure::NotAFile:
            return fail(QStringLiteral("it is not a regular file"));
        case BoundedRead::Failure::TooLarge:
            return fail(QStringLiteral("it is larger than 1 GiB"));
        case BoundedRead::Failure::CannotOpen:
        case BoundedRead::Failure::ReadError:
            return fail(read.reason);
        }
    }
    QByteArray text = std::move(read.content);
    if (text.startsWith("\x1f\x8b")) {
        QString reason;
        text = gunzip(text, &reason, run);
        if (!reason.isEmpty())
            return fail(reason);
        if (run.cancelled())
            return {};
    }
    // No list holds a NUL; a binary file almost always does, early.
    if (std::memchr(text.constData(), 0, size_t(text.size())))
        return fail(QStringLiteral("it is a binary file, not a list of addresses"));
    error->clear();
    return text;
}

AddressListRead readAddressListFile(const QString &path, std::optional<ListFormat> format, const LongRun &run)
{
    AddressListRead read;
    const QByteArray text = readListText(path, &read.error, run);
    if (!read.error.isEmpty())
        return read;
    if (run.cancelled()) {
        read.cancelled = true;
        return read;
    }
    read = readAddressList(text, format, run);
    if (!read.error.isEmpty())
        read.error = QStringLiteral("Could not import \"%1\": %2").arg(QDir::toNativeSeparators(path), read.error);
    return read;
}

std::vector<AddressSpan> mergedSpans(std::vector<AddressSpan> spans)
{
    std::sort(spans.begin(), spans.end(), [](AddressSpan a, AddressSpan b) {
        return a.first < b.first || (a.first == b.first && a.last > b.last);
    });
    std::vector<AddressSpan> merged;
    for (const AddressSpan span : spans) {
        if (!merged.empty() && quint64(span.first) <= quint64(merged.back().last) + 1)
            merged.back().last = qMax(merged.back().last, span.last);
        else
            merged.push_back(span);
    }
    return merged;
}

std::vector<AddressSpan> exactBlocks(AddressSpan span)
{
    std::vector<AddressSpan> blocks;
    quint64 at = span.first;
    while (at <= span.last) {
        quint64 size = at == 0 ? quint64(1) << 32 : quint64(1) << std::countr_zero(quint32(at));
        while (at + size - 1 > span.last)
            size >>= 1;
        blocks.push_back({quint32(at), quint32(at + size - 1)});
        at += size;
    }
    return blocks;
}

namespace {

// Calls each(prefix + target) for the fewest targets naming exactly `span`.
template<typename Each> void forEachTarget(AddressSpan span, QByteArrayView prefix, Each each)
{
    const auto piece = [&](AddressSpan part) {
        LineText text(prefix);
        text.appendPiece(part);
        each(text.view());
    };
    if ((span.first >> 8) == (span.last >> 8))
        return piece(span);
    // A range cannot leave its last group, and a block within the span that
    // holds a partial last group at either end is no larger than that group:
    // so one target for each partial end, and the fewest blocks between.
    quint64 from = span.first;
    quint64 to = span.last;
    if ((span.first & 0xFF) != 0) {
        piece({span.first, span.first | 0xFF});
        from = quint64(span.first | 0xFF) + 1;
    }
    const bool tail = (span.last & 0xFF) != 0xFF;
    if (tail)
        to = quint64(span.last & ~0xFFu) - 1;
    while (from <= to) {
        quint64 size = from == 0 ? quint64(1) << 32 : quint64(1) << std::countr_zero(quint32(from));
        while (from + size - 1 > to)
            size >>= 1;
        LineText text(prefix);
        text.appendBlock({quint32(from), quint32(from + size - 1)});
        each(text.view());
        from += size;
    }
    if (tail)
        piece({span.last & ~0xFFu, span.last});
}

} // namespace

QByteArrayList ruleTargets(AddressSpan span)
{
    QByteArrayList targets;
    forEachTarget(span, {}, [&](QByteArrayView target) { targets.append(target.toByteArray()); });
    return targets;
}

ImportPlan planImport(const AddressList &list, RuleLines existing, const ImportOptions &options, const LongRun &run)
{
    ImportPlan plan;
    // What the rules already listed name, per type, as sorted disjoint runs.
    std::vector<AddressSpan> named[2];
    if (options.skipCovered) {
        for (qsizetype row = 0; row < existing.size(); ++row) {
            const RuleLineParts parts = parseRuleLine(existing[row]);
            if (const std::optional<AddressSpan> span = ruleSpan(parts))
                named[parts.accept].push_back(*span);
        }
        named[0] = mergedSpans(std::move(named[0]));
        named[1] = mergedSpans(std::move(named[1]));
    }
    const auto covered = [&](AddressSpan span, bool accept) {
        const std::vector<AddressSpan> &runs = named[accept];
        auto after = std::upper_bound(runs.begin(), runs.end(), span.first,
                                      [](quint32 address, AddressSpan held) { return address < held.first; });
        return after != runs.begin() && std::prev(after)->contains(span);
    };

    if (list.format == ListFormat::RuleSet) {
        for (const QByteArray &line : list.ruleLines) {
            const RuleLineParts parts = parseRuleLine(line);
            const std::optional<AddressSpan> span = ruleSpan(parts);
            if (options.skipCovered && span && covered(*span, parts.accept))
                ++plan.covered;
            else
                plan.lines.append(line);
        }
        return plan;
    }

    std::vector<AddressSpan> spans;
    spans.reserve(list.spans.size());
    for (const AddressSpan span : list.spans) {
        if (options.skipCovered && covered(span, options.accept))
            ++plan.covered;
        else
            spans.push_back(span);
    }
    if (run.cancelled()) {
        plan = {};
        plan.cancelled = true;
        return plan;
    }
    if (options.merge)
        spans = mergedSpans(std::move(spans));
    const QByteArray type = options.accept ? QByteArrayLiteral("ACCEPT ") : QByteArrayLiteral("REJECT ");
    plan.lines.reserve(qsizetype(spans.size()));
    qint64 done = 0;
    for (const AddressSpan span : spans) {
        if (++done % kCheckEvery == 0) {
            if (run.cancelled()) {
                plan = {};
                plan.cancelled = true;
                return plan;
            }
            if (run.progress && done % kReportEvery == 0)
                run.progress(done, qint64(spans.size()));
        }
        forEachTarget(span, type, [&](QByteArrayView line) { plan.lines.append(line.toByteArray()); });
    }
    return plan;
}

ExportResult exportRules(RuleLines lines, ListFormat format, ExportTypes types, Policy policy)
{
    ExportResult result;
    const auto wanted = [types](bool accept) {
        return types == ExportTypes::Both || (types == ExportTypes::Accept) == accept;
    };
    if (format == ListFormat::RuleSet) {
        if (types == ExportTypes::Both) {
            result.content = composeRuleSet(policy, lines);
            result.rules = lines.size();
            return result;
        }
        QByteArrayList kept;
        for (qsizetype row = 0; row < lines.size(); ++row) {
            const RuleLineParts parts = parseRuleLine(lines[row]);
            if (parts.inGrammar() && wanted(parts.accept))
                kept.append(lines[row].toByteArray());
            else
                ++result.skipped;
        }
        const RuleLineStore store = RuleLineStore::fromList(kept);
        result.content = composeRuleSet(policy, store.lines());
        result.rules = kept.size();
        return result;
    }
    for (qsizetype row = 0; row < lines.size(); ++row) {
        const RuleLineParts parts = parseRuleLine(lines[row]);
        const std::optional<AddressSpan> span = ruleSpan(parts);
        if (!span || !wanted(parts.accept)) {
            ++result.skipped;
            continue;
        }
        ++result.rules;
        if (format == ListFormat::P2P) {
            // The rule itself names the entry; it holds no colon.
            result.content += lines[row];
            result.content += ':';
            appendAddress(result.content, span->first);
            result.content += '-';
            appendAddress(result.content, span->last);
            result.content += "\r\n";
        } else {
            for (const AddressSpan block : exactBlocks(*span)) {
                LineText text;
                text.appendBlock(block);
                text.append("\r\n");
                result.content += text.view();
            }
        }
    }
    return result;
}

void writeExport(const QString &path, const ExportResult &result)
{
    writeFileAtomically(path, result.content, NewFileAccess::Default);
}

} // namespace vellamor
