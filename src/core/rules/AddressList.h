#pragma once

#include "RuleAnalysis.h"
#include "RuleLines.h"
#include "RuleSetFile.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace vellamor {

// The address lists administrators publish and trade, and our own rules.txt.
enum class ListFormat {
    Plain,   // one address, block or range a line: "a.b.c.d", "a.b.c.d/n", "a.b.c.d-e.f.g.h"
    P2P,     // "name:first-last"
    Dat,     // "first - last , level , name"
    RuleSet, // rules.txt: a policy line and rule lines
};

QString formatName(ListFormat format);

// Why a line gave no entry.
enum class UnreadReason { NotUnderstood, OutOfRange, EndBeforeStart };

// A line that was not understood, by its number (from 1) and its text, cut to
// a length a dialog can show.
struct UnreadLine
{
    qint64 number = 0;
    QByteArray text;
    UnreadReason reason = UnreadReason::NotUnderstood;
};
QString describeUnread(const UnreadLine &line);

// What a file held, before anything is changed.
struct AddressList
{
    ListFormat format = ListFormat::Plain;
    std::vector<AddressSpan> spans; // list formats: one per entry, in file order
    // rules.txt: its rule lines in the dialog's grammar, as written, and their
    // own types; imported as they stand, since their order between types is
    // what the author meant.
    QByteArrayList ruleLines;
    std::optional<Policy> policy; // rules.txt: offered, never applied by the reader

    qint64 entries = 0;       // entries read (rules.txt: rule lines)
    qint64 ipv6 = 0;          // skipped: the rule grammar is IPv4
    qint64 aboveLevel = 0;    // DAT entries above level 127, which the format lets through
    qint64 notUnderstood = 0; // every line not understood, listed or not
    QList<UnreadLine> unread; // the first kListedUnread of them
};

inline constexpr qsizetype kListedUnread = 1000;
inline constexpr qsizetype kUnreadTextLength = 200;
// The limits past which a file is refused whole rather than read.
inline constexpr qint64 kMaxAddressListSize = qint64(1) << 30;
inline constexpr qsizetype kMaxAddressListLine = qsizetype(1) << 20;

// How a long run reports and is stopped: `progress` gets the share done so far
// now and then, and `cancel` is looked at as often (a few thousand lines).
struct LongRun
{
    std::function<void(qint64 done, qint64 total)> progress;
    const std::atomic<bool> *cancel = nullptr;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
};

// The outcome of a read: the list, or the reason there is none.
struct AddressListRead
{
    AddressList list;
    QString error;          // empty on success and on a cancel
    bool cancelled = false; // `list` is then empty

    bool ok() const { return error.isEmpty() && !cancelled; }
};

// The format of a file's text, judged by its first lines.
ListFormat detectFormat(QByteArrayView text);

// Reads text (never compressed) in `format`, or in the detected one.
AddressListRead readAddressList(QByteArrayView text, std::optional<ListFormat> format = {}, const LongRun &run = {});

// Reads a file: gzip is unpacked as it is read, and a binary file, one over
// kMaxAddressListSize (packed or not), a line over kMaxAddressListLine or a
// truncated gzip is refused with a message naming the file.
AddressListRead readAddressListFile(const QString &path, std::optional<ListFormat> format = {},
                                    const LongRun &run = {});
// The file's text, unpacked when it is gzip; `error` says why there is none.
QByteArray readListText(const QString &path, QString *error, const LongRun &run = {});

struct ImportOptions
{
    bool accept = false; // the type of entries that carry none: REJECT unless told
    bool merge = true;   // join overlapping and adjacent entries
    bool skipCovered = true;

    friend bool operator==(const ImportOptions &, const ImportOptions &) = default;
};

struct ImportPlan
{
    QByteArrayList lines;
    qint64 covered = 0; // entries left out: a rule of the same type already names them all
    bool cancelled = false;
};

// The rule lines an import adds to `existing`: every entry in the dialog's
// grammar, an address, a block or a range within its last group.
ImportPlan planImport(const AddressList &list, RuleLines existing, const ImportOptions &options,
                      const LongRun &run = {});

// The fewest rule targets ("a.b.c.d", "a.b.c.d/n", "a.b.c.d-e") naming
// exactly the addresses of `span`.
QByteArrayList ruleTargets(AddressSpan span);
// The fewest blocks covering exactly `span`.
std::vector<AddressSpan> exactBlocks(AddressSpan span);
// Sorted, with overlapping and adjacent spans joined.
std::vector<AddressSpan> mergedSpans(std::vector<AddressSpan> spans);

enum class ExportTypes { Reject, Accept, Both };

struct ExportResult
{
    QByteArray content;
    qint64 rules = 0;   // rules written
    qint64 skipped = 0; // lines left out: of the other type, or naming no addresses a list can hold
};

// A list of `lines` in `format` (not Dat). Plain writes every range as its
// exact blocks; P2P names each entry after its rule; RuleSet writes the
// policy line and, for both types, every line as it stands.
ExportResult exportRules(RuleLines lines, ListFormat format, ExportTypes types, Policy policy = Policy::Reject);
// Writes it with the Save's checked atomic writer; raises an error naming the
// file and the reason.
void writeExport(const QString &path, const ExportResult &result);

} // namespace vellamor
