// The address list readers on any bytes, in every format: whatever they make
// of a file, the rule lines an import adds name exactly the addresses of the
// entries read, each is in the rule grammar, and a plain export of them reads
// back to the same addresses. Input that starts as gzip goes through the file
// reader, so the unpacking is fuzzed too.
#include "FuzzSupport.h"
#include "rules/AddressList.h"

#include <QTemporaryFile>

using namespace vellamor;
using fuzz::require;

namespace {

std::vector<AddressSpan> spansOf(const QByteArrayList &lines)
{
    std::vector<AddressSpan> spans;
    for (const QByteArray &line : lines) {
        const RuleLineParts parts = parseRuleLine(line);
        const std::optional<AddressSpan> span = ruleSpan(parts);
        require(span.has_value(), "an imported rule is in the grammar and names addresses");
        spans.push_back(*span);
    }
    return spans;
}

void check(const AddressListRead &read)
{
    if (!read.ok())
        return;
    const AddressList &list = read.list;
    require(list.unread.size() == qMin<qint64>(list.notUnderstood, kListedUnread),
            "the first lines not understood are listed");
    const ImportPlan merged = planImport(list, {}, {});
    if (list.format == ListFormat::RuleSet) {
        require(merged.lines == list.ruleLines, "rules.txt lines are imported as they stand");
        return;
    }
    require(qint64(list.spans.size()) == list.entries, "one span per entry");
    const std::vector<AddressSpan> named = mergedSpans(spansOf(merged.lines));
    require(named == mergedSpans(list.spans), "the rules name exactly the entries' addresses");
    ImportOptions apart;
    apart.merge = false;
    require(mergedSpans(spansOf(planImport(list, {}, apart).lines)) == named, "unmerged, the same addresses");

    const RuleLineStore store = RuleLineStore::fromList(merged.lines);
    const AddressListRead again =
        readAddressList(exportRules(store.lines(), ListFormat::Plain, ExportTypes::Both).content);
    require(again.ok() && mergedSpans(again.list.spans) == named, "a plain export reads back to the same addresses");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::expandedInput(data, size, qsizetype(1) << 20);
    if (input.startsWith("\x1f\x8b")) {
        QTemporaryFile file;
        if (file.open() && file.write(input) == input.size() && file.flush())
            check(readAddressListFile(file.fileName()));
        return 0;
    }
    check(readAddressList(input));
    for (const ListFormat format : {ListFormat::Plain, ListFormat::P2P, ListFormat::Dat, ListFormat::RuleSet})
        check(readAddressList(input, format));
    return 0;
}
