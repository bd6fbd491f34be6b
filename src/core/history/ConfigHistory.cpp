#include "ConfigHistory.h"

#include "GitPack.h"
#include "common/Error.h"
#include "config/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutexLocker>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTimeZone>
#include <git2.h>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vellamor {

namespace {

using gitpack::ObjectType;

constexpr QLatin1StringView kGlobalConfigName("gc.xml");
constexpr QLatin1StringView kRulesName("rules.txt");
// A pack is rewritten, with the new version's objects added, while it is
// small; past this many entries (some fifty Saves, and as many deltas in a
// chain to undo when an old version is read) the next Save starts a new one.
constexpr qsizetype kSegmentEntries = 150;
constexpr qint64 kSegmentBytes = qint64(32) << 20;
// Another panel recording at the same moment holds the lock for a fraction
// of a second; a lock held longer than this was left by a crash.
constexpr int kLockWaitMs = 2000;
constexpr int kStaleLockMs = 30000;

QString gitFailure()
{
    const git_error *error = git_error_last();
    return error && error->message ? QString::fromUtf8(error->message) : QStringLiteral("unknown error");
}

QString damaged(const QString &reason)
{
    return QStringLiteral("history.git is damaged (%1); it is left as it is").arg(reason);
}

QString loginName()
{
#ifdef Q_OS_UNIX
    if (const passwd *pw = ::getpwuid(::geteuid()); pw && pw->pw_name && *pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER", QStringLiteral("unknown"));
#else
    return qEnvironmentVariable("USERNAME", QStringLiteral("unknown"));
#endif
}

// Names in a commit's author line may not hold the characters that frame it.
QByteArray signatureText(const QString &name)
{
    QString clean = name;
    clean.remove(QLatin1Char('<')).remove(QLatin1Char('>')).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    clean = clean.trimmed();
    if (clean.isEmpty())
        clean = QStringLiteral("unknown");
    QString host = QSysInfo::machineHostName();
    host.remove(QLatin1Char('<')).remove(QLatin1Char('>')).remove(QLatin1Char(' '));
    const QDateTime now = QDateTime::currentDateTime();
    const int minutes = now.offsetFromUtc() / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(minutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(qAbs(minutes) / 60, 2, 10, QLatin1Char('0'))
                             .arg(qAbs(minutes) % 60, 2, 10, QLatin1Char('0'));
    QString login = clean;
    login.replace(QLatin1Char(' '), QLatin1Char('.'));
    return QStringLiteral("%1 <%2@%3> %4 %5")
        .arg(clean, login, host.isEmpty() ? QStringLiteral("localhost") : host)
        .arg(now.toSecsSinceEpoch())
        .arg(zone)
        .toUtf8();
}

bool sharedByGroup(const QString &dir)
{
#ifdef Q_OS_UNIX
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(dir).constData(), &info) == 0 && (info.st_mode & S_ISGID);
#else
    Q_UNUSED(dir);
    return false;
#endif
}

// The history holds every password the server ever had: no access for
// others, as gc.xml; the group keeps its access where the server's directory
// is shared by one.
void protect(const QString &repository, bool group, bool created)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(repository);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0)
        return;
    const mode_t wanted = created ? (group ? 02770 : 0700) : (info.st_mode & 07770);
    if ((info.st_mode & 07777) != wanted) [[maybe_unused]]
        const int changed = ::chmod(name.constData(), wanted);
#else
    Q_UNUSED(repository);
    Q_UNUSED(group);
    Q_UNUSED(created);
#endif
}

git_oid toOid(const QByteArray &raw)
{
    git_oid oid;
    git_oid_fromraw(&oid, reinterpret_cast<const unsigned char *>(raw.constData()));
    return oid;
}

QByteArray fromOid(const git_oid *oid)
{
    return {reinterpret_cast<const char *>(oid->id), GIT_OID_RAWSZ};
}

template<typename T, void (*Free)(T *)> struct Owned
{
    T *p = nullptr;
    ~Owned() { Free(p); }
    T **out() { return &p; }
};
using OwnedCommit = Owned<git_commit, git_commit_free>;
using OwnedTree = Owned<git_tree, git_tree_free>;
using OwnedBlob = Owned<git_blob, git_blob_free>;
using OwnedReference = Owned<git_reference, git_reference_free>;

} // namespace

struct ConfigHistory::Repository
{
    git_repository *repo = nullptr;
    QByteArray headId;   // the newest commit, empty before the first
    ConfigSnapshot head; // its files
    QByteArray headRulesId;
    bool headRead = false;

    ~Repository() { git_repository_free(repo); }

    std::optional<QByteArray> blob(git_tree *tree, QLatin1StringView name)
    {
        const git_tree_entry *entry = git_tree_entry_byname(tree, name.data());
        if (!entry)
            return std::nullopt;
        OwnedBlob b;
        if (git_blob_lookup(b.out(), repo, git_tree_entry_id(entry)) < 0)
            throw Error(gitFailure());
        return QByteArray(static_cast<const char *>(git_blob_rawcontent(b.p)), qsizetype(git_blob_rawsize(b.p)));
    }

    ConfigSnapshot filesOf(const git_oid &commitId)
    {
        OwnedCommit commit;
        OwnedTree tree;
        if (git_commit_lookup(commit.out(), repo, &commitId) < 0 || git_commit_tree(tree.out(), commit.p) < 0)
            throw Error(gitFailure());
        return {blob(tree.p, kGlobalConfigName), blob(tree.p, kRulesName)};
    }

    // The newest entry, read again only when another panel moved it.
    void readHead()
    {
        OwnedReference ref;
        const int rc = git_repository_head(ref.out(), repo);
        if (rc == GIT_EUNBORNBRANCH || rc == GIT_ENOTFOUND) {
            headId.clear();
            head = {};
            headRulesId.clear();
            headRead = true;
            return;
        }
        if (rc < 0)
            throw Error(damaged(gitFailure()));
        const git_oid *target = git_reference_target(ref.p);
        if (!target)
            throw Error(damaged(QStringLiteral("HEAD names no commit")));
        const QByteArray id = fromOid(target);
        if (headRead && id == headId)
            return;
        try {
            head = filesOf(*target);
            headRulesId = head.rules ? gitpack::objectId(ObjectType::Blob, *head.rules) : QByteArray();
        } catch (const Error &error) {
            throw Error(damaged(error.message()));
        }
        headId = id;
        headRead = true;
    }
};

namespace {

// libgit2 stays initialised from the first history to the end of the
// process. Its last shutdown drops the key of the per-thread state it keeps,
// and a recording thread that is still ending then (QThread::wait returns
// before a thread's own destructors have run) would lose its state to a leak.
void keepLibgit2()
{
    static const struct Libgit2
    {
        Libgit2() { git_libgit2_init(); }
        ~Libgit2() { git_libgit2_shutdown(); }
        Libgit2(const Libgit2 &) = delete;
        Libgit2 &operator=(const Libgit2 &) = delete;
    } libgit2;
}

} // namespace

ConfigHistory::ConfigHistory(QString serverDir) : m_serverDir(std::move(serverDir)), m_author(loginName())
{
    keepLibgit2();
}

ConfigHistory::~ConfigHistory()
{
    m_repo.reset();
}

QString ConfigHistory::repositoryPath() const
{
    return QDir(m_serverDir).filePath(kDirectoryName);
}

void ConfigHistory::setAuthor(const QString &name)
{
    const QMutexLocker lock(&m_lock);
    m_author = name;
}

QString ConfigHistory::restoredNote(const HistoryEntry &entry)
{
    return QStringLiteral("Restored the version of %1 (%2)")
        .arg(entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), entry.message);
}

namespace {

// Opens history.git, or makes it when there is none: in a folder of its own
// first, so that a failure halfway leaves nothing that could later pass for a
// damaged history.
git_repository *openOrCreate(const QString &path, const QString &serverDir, QString &failure)
{
    git_repository *repo = nullptr;
    const bool group = sharedByGroup(serverDir);
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        if (git_repository_open_bare(&repo, QFile::encodeName(path).constData()) < 0) {
            failure = damaged(gitFailure());
            return nullptr;
        }
        protect(path, group, false);
        return repo;
    }
    const QString building = path + QStringLiteral(".vellamor-new");
    QDir(building).removeRecursively();
    git_repository_init_options options{};
    git_repository_init_options_init(&options, GIT_REPOSITORY_INIT_OPTIONS_VERSION);
    options.flags = GIT_REPOSITORY_INIT_BARE | GIT_REPOSITORY_INIT_MKDIR | GIT_REPOSITORY_INIT_NO_REINIT;
    options.mode = group ? GIT_REPOSITORY_INIT_SHARED_GROUP : GIT_REPOSITORY_INIT_SHARED_UMASK;
    options.initial_head = "main";
    options.description = "Configuration history of the Vellamor Application Server (gc.xml, rules.txt)";
    if (git_repository_init_ext(&repo, QFile::encodeName(building).constData(), &options) < 0) {
        failure = QStringLiteral("history.git could not be created: %1").arg(gitFailure());
        QDir(building).removeRecursively();
        return nullptr;
    }
    git_repository_free(repo);
    repo = nullptr;
    protect(building, group, true);
    if (!QDir().rename(building, path)) {
        failure = QStringLiteral("history.git could not be created: the folder could not be renamed");
        QDir(building).removeRecursively();
        return nullptr;
    }
    if (git_repository_open_bare(&repo, QFile::encodeName(path).constData()) < 0) {
        failure = damaged(gitFailure());
        return nullptr;
    }
    return repo;
}

struct SegmentPack
{
    QString path; // without the extension
    QByteArray pack;
    gitpack::PackIndex index;
};

// The pack that holds the newest commit, when it is one we may go on
// rewriting: small, and read back intact.
std::optional<SegmentPack> currentSegment(const QString &repository, const QByteArray &headId)
{
    if (headId.isEmpty())
        return std::nullopt;
    const QDir packs(repository + QStringLiteral("/objects/pack"));
    for (const QFileInfo &info : packs.entryInfoList({QStringLiteral("pack-*.idx")}, QDir::Files)) {
        BoundedRead idx = readFileBounded(info.filePath(), qint64(64) << 20);
        if (idx.failure)
            continue;
        std::optional<gitpack::PackIndex> index = gitpack::readIndex(idx.content);
        if (!index || std::none_of(index->entries.cbegin(), index->entries.cend(),
                                   [&](const gitpack::IndexEntry &e) { return e.id == headId; }))
            continue;
        if (index->entries.size() >= kSegmentEntries)
            return std::nullopt;
        const QString base = info.path() + QLatin1Char('/') + info.completeBaseName();
        BoundedRead pack = readFileBounded(base + QStringLiteral(".pack"), kSegmentBytes);
        if (pack.failure)
            return std::nullopt;
        return SegmentPack{base, std::move(pack.content), std::move(*index)};
    }
    return std::nullopt;
}

QByteArray treeOf(const ConfigSnapshot &files, QByteArray &configId, QByteArray &rulesId)
{
    QByteArray tree;
    if (files.globalConfig) {
        configId = gitpack::objectId(ObjectType::Blob, *files.globalConfig);
        tree += "100644 gc.xml" + QByteArray(1, '\0') + configId;
    }
    if (files.rules) {
        rulesId = gitpack::objectId(ObjectType::Blob, *files.rules);
        tree += "100644 rules.txt" + QByteArray(1, '\0') + rulesId;
    }
    return tree;
}

} // namespace

HistoryOutcome ConfigHistory::record(const ConfigSnapshot &files, const QString &note, bool found)
{
    HistoryOutcome outcome;
    // A first start in a folder that holds neither file has nothing to keep:
    // no history.git for it, and no empty first entry.
    if (found && !files.globalConfig && !files.rules && !QFileInfo::exists(repositoryPath()))
        return outcome;
    outcome.failure = open(true);
    if (!outcome.ok())
        return outcome;
    const QString path = repositoryPath();
    QLockFile lock(path + QStringLiteral("/vellamor.lock"));
    lock.setStaleLockTime(kStaleLockMs);
    if (!lock.tryLock(kLockWaitMs)) {
        outcome.failure = QStringLiteral("history.git is being written by another panel");
        return outcome;
    }

    Repository &r = *m_repo;
    QString message;
    try {
        r.readHead();
        if (found) {
            if (!r.headId.isEmpty() && r.head == files)
                return outcome;
            message = r.headId.isEmpty() ? QString(kFirstRecordMessage) : QString(kOutsideChangeMessage);
        } else {
            message = describeChange(r.head, files);
            if (!note.isEmpty())
                message = note + QStringLiteral("; ") + message;
        }
    } catch (const Error &error) {
        outcome.failure = error.message();
        m_repo.reset();
        return outcome;
    }

    QByteArray configId, rulesId;
    const QByteArray tree = treeOf(files, configId, rulesId);
    const QByteArray treeId = gitpack::objectId(ObjectType::Tree, tree);
    const QByteArray signature = signatureText(m_author);
    QByteArray commit = "tree " + treeId.toHex() + '\n';
    if (!r.headId.isEmpty())
        commit += "parent " + r.headId.toHex() + '\n';
    commit += "author " + signature + "\ncommitter " + signature + "\n\n" + message.toUtf8() + '\n';
    const QByteArray commitId = gitpack::objectId(ObjectType::Commit, commit);

    std::optional<SegmentPack> segment = currentSegment(path, r.headId);
    gitpack::PackBuilder builder;
    if (segment && !builder.startFrom(segment->pack, segment->index))
        segment.reset();
    git_odb *odb = nullptr;
    if (git_repository_odb(&odb, r.repo) < 0) {
        outcome.failure = damaged(gitFailure());
        m_repo.reset();
        return outcome;
    }
    auto freeOdb = qScopeGuard([&] { git_odb_free(odb); });
    auto known = [&](const QByteArray &id) {
        const git_oid oid = toOid(id);
        return builder.contains(id) || git_odb_exists(odb, &oid);
    };
    if (files.rules && !known(rulesId)) {
        // The new rule set as the bytes it differs by from the newest one,
        // when that one is in the same pack; checked before it is stored.
        bool asDelta = false;
        if (r.head.rules && segment) {
            const QByteArray &baseId = r.headRulesId;
            if (builder.contains(baseId)) {
                const QByteArray delta = gitpack::makeDelta(*r.head.rules, *files.rules);
                if (delta.size() < files.rules->size() / 2 &&
                    gitpack::applyDelta(*r.head.rules, delta) == files.rules) {
                    builder.addDelta(baseId, delta, rulesId);
                    asDelta = true;
                }
            }
        }
        if (!asDelta)
            builder.addObject(ObjectType::Blob, *files.rules, rulesId);
    }
    if (files.globalConfig && !known(configId))
        builder.addObject(ObjectType::Blob, *files.globalConfig, configId);
    if (!known(treeId))
        builder.addObject(ObjectType::Tree, tree, treeId);
    builder.addObject(ObjectType::Commit, commit, commitId);

    const gitpack::PackBuilder::Files written = builder.finish();
    const QString target = path + QStringLiteral("/objects/pack/") + written.name;
    try {
        // The pack before its index: git looks for packs by their index.
        writeFileAtomically(target + QStringLiteral(".pack"), written.pack, NewFileAccess::Default);
        writeFileAtomically(target + QStringLiteral(".idx"), written.index, NewFileAccess::Default);
    } catch (const Error &error) {
        QFile::remove(target + QStringLiteral(".pack"));
        outcome.failure = error.message();
        return outcome;
    }
    git_odb_refresh(odb);

    // The branch moves last, and only from the commit this one follows.
    OwnedReference head, moved;
    QByteArray branch = "refs/heads/main";
    if (git_reference_lookup(head.out(), r.repo, "HEAD") == 0 && git_reference_type(head.p) == GIT_REFERENCE_SYMBOLIC)
        branch = git_reference_symbolic_target(head.p);
    const git_oid newId = toOid(commitId);
    const git_oid oldId = r.headId.isEmpty() ? git_oid{} : toOid(r.headId);
    if (git_reference_create_matching(moved.out(), r.repo, branch.constData(), &newId, 1,
                                      r.headId.isEmpty() ? nullptr : &oldId, "vellamor-desktop") < 0) {
        outcome.failure = QStringLiteral("history.git could not be updated: %1").arg(gitFailure());
        return outcome;
    }
    r.headId = commitId;
    r.head = files;
    r.headRulesId = rulesId;
    outcome.recorded = true;

    // The pack this one grew from is now a part of it. The repository lets go
    // of it first, so that its space comes back (and Windows lets it go).
    if (segment && segment->path != target) {
        freeOdb.dismiss();
        git_odb_free(odb);
        git_repository_free(r.repo);
        r.repo = nullptr;
        QFile::remove(segment->path + QStringLiteral(".idx"));
        QFile::remove(segment->path + QStringLiteral(".pack"));
        QString failure;
        r.repo = openOrCreate(path, m_serverDir, failure);
        if (!r.repo)
            m_repo.reset();
    }
    return outcome;
}

QString ConfigHistory::open(bool create)
{
    if (m_repo && m_repo->repo)
        return {};
    if (!create && !QFileInfo::exists(repositoryPath()))
        return QStringLiteral("there is no history.git");
    m_repo = std::make_unique<Repository>();
    QString failure;
    m_repo->repo = openOrCreate(repositoryPath(), m_serverDir, failure);
    if (!m_repo->repo)
        m_repo.reset();
    return failure;
}

HistoryOutcome ConfigHistory::recordFound(const ConfigSnapshot &files)
{
    const QMutexLocker lock(&m_lock);
    return record(files, QString(), true);
}

HistoryOutcome ConfigHistory::recordSave(const ConfigSnapshot &written, const QString &note)
{
    const QMutexLocker lock(&m_lock);
    return record(written, note, false);
}

ConfigHistory::Listing ConfigHistory::entries(qsizetype limit)
{
    const QMutexLocker lock(&m_lock);
    Listing listing;
    if (!QFileInfo::exists(repositoryPath()))
        return listing;
    listing.failure = open(false);
    if (!listing.failure.isEmpty())
        return listing;
    git_repository *repo = m_repo->repo;
    OwnedReference ref;
    const int rc = git_repository_head(ref.out(), repo);
    if (rc == GIT_EUNBORNBRANCH || rc == GIT_ENOTFOUND)
        return listing;
    OwnedCommit commit;
    if (rc < 0 || !git_reference_target(ref.p) ||
        git_commit_lookup(commit.out(), repo, git_reference_target(ref.p)) < 0) {
        listing.failure = damaged(gitFailure());
        return listing;
    }
    // The panel's history is a line; the first parent is the way back
    // through anything an administrator merged by hand.
    while (commit.p && (limit < 0 || listing.entries.size() < limit)) {
        HistoryEntry entry;
        entry.id = QString::fromLatin1(git_oid_tostr_s(git_commit_id(commit.p)));
        entry.time =
            QDateTime::fromSecsSinceEpoch(git_commit_time(commit.p), QTimeZone(git_commit_time_offset(commit.p) * 60));
        const git_signature *author = git_commit_author(commit.p);
        entry.author = author && author->name ? QString::fromUtf8(author->name) : QString();
        entry.message = QString::fromUtf8(git_commit_message(commit.p)).trimmed();
        listing.entries.append(entry);
        if (git_commit_parentcount(commit.p) == 0)
            break;
        OwnedCommit parent;
        if (git_commit_parent(parent.out(), commit.p, 0) < 0) {
            listing.failure = damaged(gitFailure());
            break;
        }
        std::swap(commit.p, parent.p);
    }
    return listing;
}

ConfigHistory::Files ConfigHistory::files(const QString &id)
{
    const QMutexLocker lock(&m_lock);
    Files result;
    result.failure = open(false);
    if (!result.failure.isEmpty())
        return result;
    git_oid oid;
    if (git_oid_fromstrn(&oid, id.toLatin1().constData(), size_t(id.size())) < 0) {
        result.failure = QStringLiteral("no such entry: %1").arg(id);
        return result;
    }
    try {
        result.files = m_repo->filesOf(oid);
    } catch (const Error &error) {
        result.failure = error.message();
    }
    return result;
}

} // namespace vellamor
