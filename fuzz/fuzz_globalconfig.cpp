// gc.xml loaded as start-up loads it, from a file: any bytes end in the
// fields or in an error that says why, and the load's heap never grows by more than
// four times the file's size plus 64 MiB. The heap is followed through the
// sanitizer's allocation hooks.
#include "FileSystem.h"
#include "FuzzSupport.h"
#include "common/Error.h"
#include "config/GlobalConfig.h"
#include "config/XmlTree.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <sanitizer/allocator_interface.h>

using namespace vellamor;
using fuzz::require;

namespace {

std::atomic<qint64> g_heap{0};
std::atomic<qint64> g_peak{0};

void onAllocation(const volatile void *, size_t size)
{
    const qint64 heap = g_heap += qint64(size);
    qint64 peak = g_peak.load();
    while (heap > peak && !g_peak.compare_exchange_weak(peak, heap)) {
    }
}

void onRelease(const volatile void *pointer)
{
    g_heap -= qint64(__sanitizer_get_allocated_size(pointer));
}

QTemporaryDir *g_directory = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    __sanitizer_install_malloc_and_free_hooks(onAllocation, onRelease);
    g_directory = new QTemporaryDir;
    require(g_directory->isValid(), "a directory for gc.xml");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Up to just past the size limit, so that the refusal is tried too.
    const QByteArray document = fuzz::expandedInput(data, size, kMaxXmlDocumentSize + 1);
    platform::LocalFileSystem fileSystem(g_directory->path());
    {
        QFile file(globalConfigPath(fileSystem));
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(document) == document.size(),
                "gc.xml written");
    }

    GlobalConfigFields fields;
    const qint64 before = g_heap.load();
    g_peak = before;
    try {
        loadGlobalConfig(fields, fileSystem);
    } catch (const Error &error) {
        require(!error.message().isEmpty(), "a load error says why");
    }
    const qint64 growth = g_peak.load() - before;
    if (growth > 4 * qint64(document.size()) + (qint64(64) << 20)) {
        std::fprintf(stderr, "The load of %lld bytes took %lld bytes of heap\n", qlonglong(document.size()),
                     qlonglong(growth));
        require(false, "the load's heap stays under 4x the file's size plus 64 MiB");
    }
    return 0;
}
