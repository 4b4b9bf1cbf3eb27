// Settings store of the router (stand-in for the platform's libzolt_nvram).
//
// The store is one text file, one "key=value" per line, kept sorted by key.
// In values "\n" stands for a newline and "\\" for a backslash; every other
// byte but NUL is written as it is.  Lines that do not read as a setting are
// skipped, and of two lines with the same key the later one counts.
//
// Readers parse the file once per change into a sorted table.  Writers take a
// lock beside the store, write a whole new file and rename it over the old
// one, so a reader sees either the old or the new store, never a mix.  A
// writer killed before its rename leaves its temporary; the next writer
// removes it.

// Directory offsets and inode numbers of the store's folder may not fit 32
// bits (a 32-bit glibc's readdir then fails); none of these types reaches
// the store's interface.
#define _FILE_OFFSET_BITS 64

#include "zolt_nvram.h"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fd.h"

namespace {

using arnonat::Fd;
using arnonat::write_all;

// The router's own store is 64 KiB; anything past a few MiB is not a store.
constexpr size_t kMaxStoreBytes = 4u << 20;

// File timestamps tick with the kernel's coarse clock (a jiffy, at most
// 10 ms).  A file read within this window of its last change could change
// again without a visible difference in inode, size and time, so until a
// read falls outside the window the bytes are compared (not parsed) again.
constexpr int64_t kRacyWindowNs = 50 * 1000 * 1000;

const char kEmpty[] = "";

// ---------------------------------------------------------------- owners

template <typename T>
struct Heap {
    T *p = nullptr;
    Heap() = default;
    explicit Heap(T *q) : p(q) {}
    Heap(const Heap &) = delete;
    Heap &operator=(const Heap &) = delete;
    ~Heap() { free(p); }
    T *release()
    {
        T *q = p;
        p = nullptr;
        return q;
    }
};

char *join(const char *a, const char *b)
{
    size_t la = strlen(a), lb = strlen(b);
    char *s = static_cast<char *>(malloc(la + lb + 1));
    if (s) {
        memcpy(s, a, la);
        memcpy(s + la, b, lb + 1);
    }
    return s;
}

int64_t now_ns()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// ---------------------------------------------------------------- snapshot

// What tells one version of the store file from another.  A rewrite renames
// a new file into place, so the inode alone changes on every write; size and
// time catch files edited in place.
struct Identity {
    bool exists;
    int error;  // errno of the failed look when the file is not there
    dev_t dev;
    ino_t ino;
    off_t size;
    int64_t mtime_ns;
};

Identity identity_of(const struct stat &st)
{
    return Identity{true, 0, st.st_dev, st.st_ino, st.st_size,
                    int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool same_identity(const Identity &a, const Identity &b)
{
    if (a.exists != b.exists)
        return false;
    if (!a.exists)
        return a.error == b.error;
    return a.dev == b.dev && a.ino == b.ino && a.size == b.size && a.mtime_ns == b.mtime_ns;
}

struct Entry {
    const char *key;
    const char *value;
    size_t key_len;
    size_t value_len;
    const char *handed;  // interned copy given out by get, once asked for
};

struct Snapshot {
    char *path;      // store path this snapshot was read from
    Identity id;
    mode_t mode;
    int64_t read_at_ns;
    bool readable;   // false: the file is there but could not be read
    char *text;      // the file, decoded in place: key NUL value NUL ...
    char *raw;       // the file as read, kept while the snapshot is racy
    size_t raw_len;
    Entry *entries;  // sorted by key, one per key
    size_t count;
    int users;       // walks in progress over this snapshot
};

Snapshot *g_current = nullptr;

void free_snapshot(Snapshot *s)
{
    if (!s)
        return;
    free(s->path);
    free(s->text);
    free(s->raw);
    free(s->entries);
    free(s);
}

struct SnapshotOwner {
    Snapshot *p;
    explicit SnapshotOwner(Snapshot *s) : p(s) {}
    SnapshotOwner(const SnapshotOwner &) = delete;
    SnapshotOwner &operator=(const SnapshotOwner &) = delete;
    ~SnapshotOwner() { free_snapshot(p); }
    Snapshot *release()
    {
        Snapshot *s = p;
        p = nullptr;
        return s;
    }
};

// Frees a snapshot nobody walks and that is no longer the current one.
void drop_if_unused(Snapshot *s)
{
    if (s && s != g_current && s->users == 0)
        free_snapshot(s);
}

int compare_entries(const void *a, const void *b)
{
    const Entry *x = static_cast<const Entry *>(a);
    const Entry *y = static_cast<const Entry *>(b);
    int c = strcmp(x->key, y->key);
    if (c != 0)
        return c;
    // Keys sit in the text in file order: the later line sorts last.
    return x->key < y->key ? -1 : x->key > y->key ? 1 : 0;
}

// Decodes the value escapes in place (the text only shrinks).  Returns the
// decoded length, or SIZE_MAX for a bad escape or a NUL byte.
size_t decode_value(char *v, size_t len)
{
    size_t out = 0;
    for (size_t i = 0; i < len; ++i) {
        char c = v[i];
        if (c == '\0')
            return SIZE_MAX;
        if (c == '\\') {
            if (++i == len)
                return SIZE_MAX;
            if (v[i] == 'n')
                c = '\n';
            else if (v[i] == '\\')
                c = '\\';
            else
                return SIZE_MAX;
        }
        v[out++] = c;
    }
    v[out] = '\0';
    return out;
}

bool add_entry(Snapshot *s, size_t *cap, const Entry &e)
{
    if (s->count == *cap) {
        size_t n = *cap ? *cap * 2 : 64;
        void *grown = realloc(s->entries, n * sizeof(Entry));
        if (!grown)
            return false;
        s->entries = static_cast<Entry *>(grown);
        *cap = n;
    }
    s->entries[s->count++] = e;
    return true;
}

// Splits TEXT (LEN bytes, with one spare byte after them) into settings.
bool parse_store(Snapshot *s, char *text, size_t len)
{
    size_t cap = 0;
    bool sorted = true;
    char *end = text + len;
    for (char *line = text; line < end;) {
        char *nl = static_cast<char *>(memchr(line, '\n', size_t(end - line)));
        char *stop = nl ? nl : end;
        char *next = nl ? nl + 1 : end;
        char *eq = static_cast<char *>(memchr(line, '=', size_t(stop - line)));
        if (eq && eq != line && !memchr(line, '\0', size_t(eq - line))) {
            size_t vlen = decode_value(eq + 1, size_t(stop - eq - 1));
            if (vlen != SIZE_MAX) {
                *eq = '\0';
                Entry e{line, eq + 1, size_t(eq - line), vlen, nullptr};
                if (s->count && strcmp(s->entries[s->count - 1].key, line) >= 0)
                    sorted = false;
                if (!add_entry(s, &cap, e))
                    return false;
            }
        }
        line = next;
    }
    if (sorted)
        return true;
    qsort(s->entries, s->count, sizeof(Entry), compare_entries);
    size_t kept = 0;
    for (size_t i = 0; i < s->count; ++i) {
        if (i + 1 < s->count && strcmp(s->entries[i].key, s->entries[i + 1].key) == 0)
            continue;  // a later line sets this key again
        s->entries[kept++] = s->entries[i];
    }
    s->count = kept;
    return true;
}

bool read_all(int fd, char *buf, size_t want, size_t *got)
{
    size_t have = 0;
    while (have < want) {
        ssize_t n = read(fd, buf + have, want - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;  // shrunk while we read: the next look sees the change
        have += size_t(n);
    }
    *got = have;
    return true;
}

// True when the file as it is now (ID) cannot differ from what S holds
// unless its identity differs too.
bool settled(const Snapshot *s, const Identity &id)
{
    if (!id.exists)
        return true;
    int64_t age = s->read_at_ns - id.mtime_ns;
    return age >= kRacyWindowNs || age <= -kRacyWindowNs;
}

// Marks S as a store that is there but cannot be read; says why when REPORT.
__attribute__((format(printf, 3, 4))) Snapshot *unreadable(SnapshotOwner &s, bool report,
                                                           const char *fmt, ...)
{
    s.p->readable = false;
    if (report) {
        va_list ap;
        va_start(ap, fmt);
        vfprintf(stderr, fmt, ap);
        va_end(ap);
    }
    return s.release();
}

// Reads the store at PATH.  A file that is missing reads as an empty store;
// one that cannot be read gives an empty snapshot marked unreadable, and a
// message when REPORT is set.  Null only when out of memory.
Snapshot *load_snapshot(const char *path, bool report)
{
    SnapshotOwner s(static_cast<Snapshot *>(calloc(1, sizeof(Snapshot))));
    if (!s.p || !(s.p->path = strdup(path)))
        return nullptr;
    s.p->readable = true;
    s.p->mode = 0644;
    // Taken before the file is opened: a change after this instant must
    // never look settled (see kRacyWindowNs).
    s.p->read_at_ns = now_ns();

    Fd fd(open(path, O_RDONLY | O_CLOEXEC));
    struct stat st{};
    if (fd.get() < 0) {
        int err = errno;
        s.p->id.error = err;
        if (err == ENOENT)
            return s.release();
        if (stat(path, &st) == 0)
            s.p->id = identity_of(st);
        else
            s.p->id.error = errno;
        return unreadable(s, report, "nvram: cannot open settings store %s: %s\n", path,
                          strerror(err));
    }
    if (fstat(fd.get(), &st) != 0)
        return unreadable(s, report, "nvram: cannot read settings store %s: %s\n", path,
                          strerror(errno));
    s.p->id = identity_of(st);
    s.p->mode = st.st_mode & 07777;
    if (!S_ISREG(st.st_mode))
        return unreadable(s, report, "nvram: settings store %s is not a regular file\n", path);
    if (st.st_size < 0 || uint64_t(st.st_size) > kMaxStoreBytes)
        return unreadable(s, report, "nvram: settings store %s is larger than %zu bytes, not read\n",
                          path, kMaxStoreBytes);
    size_t want = size_t(st.st_size);
    size_t got = 0;
    s.p->text = static_cast<char *>(malloc(want + 1));
    if (!s.p->text)
        return nullptr;
    if (!read_all(fd.get(), s.p->text, want, &got))
        return unreadable(s, report, "nvram: cannot read settings store %s: %s\n", path,
                          strerror(errno));
    if (!settled(s.p, s.p->id) && (s.p->raw = static_cast<char *>(malloc(got + 1)))) {
        memcpy(s.p->raw, s.p->text, got);
        s.p->raw_len = got;
    }
    if (!parse_store(s.p, s.p->text, got))
        return nullptr;
    return s.release();
}

// For a racy snapshot: reads the file again and, when its bytes are still
// the ones parsed, renews the snapshot instead of parsing them again.
bool same_bytes(Snapshot *s, const char *path)
{
    if (!s->raw)
        return false;
    int64_t at = now_ns();
    Fd fd(open(path, O_RDONLY | O_CLOEXEC));
    struct stat st{};
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !same_identity(identity_of(st), s->id))
        return false;
    Heap<char> buf(static_cast<char *>(malloc(s->raw_len + 1)));
    size_t got = 0;
    // One byte more than before: a file that grew shows here.
    if (!buf.p || !read_all(fd.get(), buf.p, s->raw_len + 1, &got) || got != s->raw_len ||
        memcmp(buf.p, s->raw, got) != 0)
        return false;
    s->read_at_ns = at;
    if (settled(s, s->id)) {
        free(s->raw);
        s->raw = nullptr;
    }
    return true;
}

bool path_changed(const Snapshot *s, const char *path)
{
    return strcmp(s->path, path) != 0;
}

// The snapshot of the store as it is now; null only when out of memory.
Snapshot *current_snapshot()
{
    const char *path = zoltNvramConfig_path();
    Snapshot *cur = g_current;
    bool report = true;
    if (cur && !path_changed(cur, path)) {
        struct stat st{};
        Identity now{};
        if (stat(path, &st) == 0)
            now = identity_of(st);
        else
            now.error = errno;
        if (same_identity(cur->id, now)) {
            if (settled(cur, now) || same_bytes(cur, path))
                return cur;
            report = false;  // told already about this version of the file
        }
    }
    Snapshot *fresh = load_snapshot(path, report);
    if (!fresh)
        return nullptr;
    g_current = fresh;
    drop_if_unused(cur);
    return fresh;
}

Entry *find_entry(Snapshot *s, const char *key)
{
    size_t lo = 0, hi = s->count;
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        int c = strcmp(s->entries[mid].key, key);
        if (c == 0)
            return &s->entries[mid];
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return nullptr;
}

Entry *lookup(const char *key)
{
    if (!key)
        return nullptr;
    Snapshot *s = current_snapshot();
    return s ? find_entry(s, key) : nullptr;
}

// ---------------------------------------------------------------- handed-out texts
//
// Callers keep the texts get hands out for as long as the process runs, so
// they are never freed.  Each (key, value) pair is kept once: reading an
// unchanged setting again returns the same text and costs no memory.

struct Handed {
    uint32_t hash;
    size_t key_len;
    size_t value_len;
    // followed by: key NUL value NUL
    char *key() { return reinterpret_cast<char *>(this + 1); }
    char *value() { return key() + key_len + 1; }
};

Handed **g_handed = nullptr;
size_t g_handed_slots = 0;  // a power of two, or 0
size_t g_handed_used = 0;

uint32_t hash_pair(const Entry &e)
{
    uint32_t h = 2166136261u;  // FNV-1a over key NUL value
    for (size_t i = 0; i <= e.key_len; ++i)
        h = (h ^ uint8_t(e.key[i])) * 16777619u;
    for (size_t i = 0; i < e.value_len; ++i)
        h = (h ^ uint8_t(e.value[i])) * 16777619u;
    return h;
}

Handed **handed_slot(Handed **slots, size_t n, uint32_t hash, const Entry *e)
{
    for (size_t i = hash & (n - 1);; i = (i + 1) & (n - 1)) {
        Handed *h = slots[i];
        if (!h)
            return &slots[i];
        if (e && h->hash == hash && h->key_len == e->key_len && h->value_len == e->value_len &&
            memcmp(h->key(), e->key, e->key_len) == 0 &&
            memcmp(h->value(), e->value, e->value_len) == 0)
            return &slots[i];
    }
}

bool grow_handed()
{
    size_t n = g_handed_slots ? g_handed_slots * 2 : 256;
    Handed **slots = static_cast<Handed **>(calloc(n, sizeof(Handed *)));
    if (!slots)
        return false;
    for (size_t i = 0; i < g_handed_slots; ++i)
        if (Handed *h = g_handed[i])
            *handed_slot(slots, n, h->hash, nullptr) = h;
    free(g_handed);
    g_handed = slots;
    g_handed_slots = n;
    return true;
}

const char *intern(const Entry &e)
{
    // Keep the table at most three quarters full so probes stay short.
    if ((g_handed_used + 1) * 4 > g_handed_slots * 3 && !grow_handed() &&
        g_handed_used + 1 >= g_handed_slots)
        return nullptr;
    uint32_t hash = hash_pair(e);
    Handed **slot = handed_slot(g_handed, g_handed_slots, hash, &e);
    if (*slot)
        return (*slot)->value();
    Handed *h = static_cast<Handed *>(malloc(sizeof(Handed) + e.key_len + e.value_len + 2));
    if (!h)
        return nullptr;
    h->hash = hash;
    h->key_len = e.key_len;
    h->value_len = e.value_len;
    memcpy(h->key(), e.key, e.key_len + 1);
    memcpy(h->value(), e.value, e.value_len + 1);
    *slot = h;
    ++g_handed_used;
    return h->value();
}

// ---------------------------------------------------------------- writing

bool valid_key(const char *key)
{
    return key && *key && !strpbrk(key, "=\n");
}

size_t escaped_length(const char *v, size_t len)
{
    size_t n = len;
    for (size_t i = 0; i < len; ++i)
        n += v[i] == '\n' || v[i] == '\\';
    return n;
}

// Writes the store line "KEY=VALUE" with the value's escapes at OUT;
// returns the end of what it wrote.
char *encode_setting(char *out, const char *key, size_t key_len, const char *v, size_t len)
{
    memcpy(out, key, key_len);
    out += key_len;
    *out++ = '=';
    for (size_t i = 0; i < len; ++i) {
        if (v[i] == '\n') {
            *out++ = '\\';
            *out++ = 'n';
        } else if (v[i] == '\\') {
            *out++ = '\\';
            *out++ = '\\';
        } else {
            *out++ = v[i];
        }
    }
    *out++ = '\n';
    return out;
}

// The new store text: OLD with KEY set to VALUE, or removed when VALUE is
// null.  Keys stay sorted.
char *render_store(const Snapshot *old, const char *key, const char *value, size_t *len)
{
    size_t key_len = strlen(key);
    size_t value_len = value ? strlen(value) : 0;
    size_t total = 0;
    for (size_t i = 0; i < old->count; ++i) {
        const Entry &e = old->entries[i];
        if (strcmp(e.key, key) != 0)
            total += e.key_len + escaped_length(e.value, e.value_len) + 2;
        if (total > kMaxStoreBytes)
            break;
    }
    if (value)
        total += key_len + escaped_length(value, value_len) + 2;
    if (total > kMaxStoreBytes) {
        errno = EFBIG;
        return nullptr;
    }
    char *text = static_cast<char *>(malloc(total + 1));
    if (!text)
        return nullptr;
    char *out = text;
    bool placed = !value;
    for (size_t i = 0; i < old->count; ++i) {
        const Entry &e = old->entries[i];
        int c = strcmp(e.key, key);
        if (c > 0 && !placed) {
            out = encode_setting(out, key, key_len, value, value_len);
            placed = true;
        }
        if (c != 0)
            out = encode_setting(out, e.key, e.key_len, e.value, e.value_len);
    }
    if (!placed)
        out = encode_setting(out, key, key_len, value, value_len);
    *len = size_t(out - text);
    return text;
}

// The folder that holds PATH (a new text), or null when out of memory.
char *folder_of(const char *path)
{
    char *dir = strdup(path);
    if (!dir)
        return nullptr;
    char *slash = strrchr(dir, '/');
    if (!slash)
        strcpy(dir, ".");
    else if (slash == dir)
        slash[1] = '\0';
    else
        *slash = '\0';
    return dir;
}

// Makes the rename itself survive a power cut.  Some file systems cannot
// sync a directory; the store is whole either way, so that is not an error.
void sync_directory_of(const char *path)
{
    Heap<char> dir(folder_of(path));
    if (!dir.p)
        return;
    Fd fd(open(dir.p, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.ok())
        fsync(fd.get());
}

// A writer's temporary is named after the store and the writer's process:
// "<store>.new-<pid>-XXXXXX".
constexpr char kTemporaryMark[] = ".new-";

// The pid in NAME when NAME is a temporary of the store called BASE, else 0.
long temporary_writer(const char *name, const char *base)
{
    size_t base_len = strlen(base);
    if (strncmp(name, base, base_len) != 0 || strncmp(name + base_len, kTemporaryMark, sizeof kTemporaryMark - 1) != 0)
        return 0;
    const char *digits = name + base_len + sizeof kTemporaryMark - 1;
    char *end = nullptr;
    errno = 0;
    long pid = strtol(digits, &end, 10);
    if (errno != 0 || end == digits || *digits < '1' || *digits > '9' || *end != '-' || strlen(end + 1) != 6)
        return 0;
    return pid;
}

// Removes the temporaries that writers killed before their rename left
// beside the store.  Called under the write lock, so no writer is between
// creating and renaming its temporary; a temporary is still only removed
// when its writer's process is gone, never a live writer's.
void remove_stale_temporaries(const char *path)
{
    Heap<char> dir(folder_of(path));
    if (!dir.p)
        return;
    const char *slash = strrchr(path, '/');
    const char *base = slash ? slash + 1 : path;
    DIR *d = opendir(dir.p);
    if (!d)
        return;
    while (const dirent *e = readdir(d)) {
        long pid = temporary_writer(e->d_name, base);
        if (pid > 0 && pid <= INT32_MAX && kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            unlinkat(dirfd(d), e->d_name, 0);
    }
    closedir(d);
}

// Writes TEXT as the new store: a temporary file beside it, synced, then
// renamed over it.
bool replace_store(const char *path, const char *text, size_t len, mode_t mode)
{
    char suffix[48];
    snprintf(suffix, sizeof suffix, "%s%ld-XXXXXX", kTemporaryMark, long(getpid()));
    Heap<char> tmp(join(path, suffix));
    if (!tmp.p)
        return false;
    Fd fd(mkostemp(tmp.p, O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    bool ok = fchmod(fd.get(), mode) == 0 && write_all(fd.get(), text, len) && fsync(fd.get()) == 0;
    if (ok) {
        int f = fd.release();
        ok = close(f) == 0 && rename(tmp.p, path) == 0;
    }
    if (!ok) {
        int err = errno;  // the caller reports the failure, not the cleanup
        unlink(tmp.p);
        errno = err;
        return false;
    }
    sync_directory_of(path);
    return true;
}

// Holds the store's write lock: one writer at a time, so no update is lost.
struct WriteLock {
    Fd fd;
    bool take(const char *path)
    {
        Heap<char> name(join(path, ".lock"));
        if (!name.p)
            return false;
        fd.reset(open(name.p, O_RDWR | O_CREAT | O_CLOEXEC, 0644));
        if (fd.get() < 0)
            return false;
        while (flock(fd.get(), LOCK_EX) != 0)
            if (errno != EINTR)
                return false;
        return true;
    }
};

// Sets KEY to VALUE, or removes it when VALUE is null.
int change_setting(const char *key, const char *value)
{
    if (!valid_key(key)) {
        errno = EINVAL;
        return -1;
    }
    const char *path = zoltNvramConfig_path();
    WriteLock lock;
    if (!lock.take(path))
        return -1;
    remove_stale_temporaries(path);
    // Under the lock nobody else writes: the file as read now is the base.
    SnapshotOwner old(load_snapshot(path, true));
    if (!old.p)
        return -1;
    if (!old.p->readable) {
        errno = EIO;
        return -1;
    }
    const Entry *e = find_entry(old.p, key);
    if (!value && !e)
        return 0;
    if (value && e && strcmp(e->value, value) == 0)
        return 0;
    size_t len = 0;
    Heap<char> text(render_store(old.p, key, value, &len));
    if (!text.p)
        return -1;
    return replace_store(path, text.p, len, old.p->mode) ? 0 : -1;
}

}  // namespace

extern "C" {

const char *zoltNvramConfig_path(void)
{
    const char *p = getenv("ZOLT_NVRAM_FILE");
    return p && *p ? p : ZOLT_NVRAM_DEFAULT_FILE;
}

const char *zoltNvramConfig_get(const char *key)
{
    Entry *e = lookup(key);
    if (!e)
        return kEmpty;
    if (!e->handed)
        e->handed = intern(*e);
    return e->handed ? e->handed : kEmpty;
}

int zoltNvramConfig_match(const char *key, const char *value)
{
    const Entry *e = lookup(key);
    return e && value && strcmp(e->value, value) == 0;
}

int zoltNvramConfig_read(const char *key, char *buf, size_t size)
{
    if (!buf || size == 0)
        return 0;
    const Entry *e = lookup(key);
    size_t n = 0;
    if (e) {
        n = e->value_len < size - 1 ? e->value_len : size - 1;
        memcpy(buf, e->value, n);
    }
    buf[n] = '\0';
    return 0;
}

int zoltNvramConfig_set(const char *key, const char *value)
{
    if (!value) {
        errno = EINVAL;
        return -1;
    }
    return change_setting(key, value);
}

int zoltNvramConfig_unset(const char *key)
{
    return change_setting(key, nullptr);
}

int zoltNvramConfig_foreach(void (*fn)(const char *key, const char *value, void *ctx), void *ctx)
{
    Snapshot *s = current_snapshot();
    if (!s || !s->readable)
        return -1;
    if (!fn)
        return 0;
    // The callback may read settings and so replace the current snapshot;
    // this one stays until the walk is over.
    ++s->users;
    for (size_t i = 0; i < s->count; ++i)
        fn(s->entries[i].key, s->entries[i].value, ctx);
    --s->users;
    drop_if_unused(s);
    return 0;
}

int zoltNvramConfig_show(FILE *out)
{
    Snapshot *s = current_snapshot();
    if (!s || !s->readable || !out)
        return -1;
    // Each line as a write of the store puts it, through the same encoder.
    size_t longest = 0;
    for (size_t i = 0; i < s->count; ++i) {
        const Entry &e = s->entries[i];
        size_t n = e.key_len + escaped_length(e.value, e.value_len) + 2;
        longest = n > longest ? n : longest;
    }
    Heap<char> line(static_cast<char *>(malloc(longest + 1)));
    if (!line.p)
        return -1;
    for (size_t i = 0; i < s->count; ++i) {
        const Entry &e = s->entries[i];
        size_t n = size_t(encode_setting(line.p, e.key, e.key_len, e.value, e.value_len) - line.p);
        if (fwrite(line.p, 1, n, out) != n)
            return -1;
    }
    return 0;
}

}  // extern "C"
