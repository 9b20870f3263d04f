// Opening a task database: the connection's hardening, the check that the file is whole, and
// the one table that turns SQLite's result codes into the failure classes callers react to.
#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <string>

#include "store/sqlite/statement.h"
#include "store/sqlite/task_store.h"
#include "store/status/profile.h"
#include "text/text_encoding.h"

namespace {

// The progress handler runs every this many virtual-machine instructions of a statement.
constexpr int kBudgetCheckInstructions = 1000;

// Files up to this size get SQLite's quick check of every page when they are opened: a few
// milliseconds, against writing into a damaged tree.
constexpr int64_t kQuickCheckBytes = 4 * 1024 * 1024;
// The quick check is one statement over every table; a file of this size may hold thousands.
constexpr int kQuickCheckInstructions = 1000000;

// Stops the statement that runs when its time is spent, or when its reader gave up. Between
// the program's own statements the budget is disarmed, so statements run by others on the
// connection are left alone.
int OnProgress(void* context) {
    const auto* budget = static_cast<const StatementBudget*>(context);
    if (!budget->armed) return 0;
    if (budget->cancel != nullptr && budget->cancel->load(std::memory_order_relaxed)) return 1;
    return std::chrono::steady_clock::now() > budget->deadline ? 1 : 0;
}

// SQLite answers "cannot open" when it cannot make the journal beside a database that opened
// fine, or cannot open the file at all. That says nothing about the file: it is read-only when
// the folder refuses new files (an immutable or write-protected folder), and otherwise some
// other trouble (no space for a new entry, too many open files).
StoreFailure CannotOpenFailure(const std::string& utf8Path) {
    if (utf8Path.empty()) return StoreFailure::kOther;
    return ProbeNewFileBeside(Utf8ToUtf16(utf8Path)) == NewFileBeside::kRefused
               ? StoreFailure::kReadOnly
               : StoreFailure::kOther;
}

}  // namespace

StoreFailure FailureOfCode(int rc, const std::string& utf8Path) {
    switch (rc & 0xff) {
        case SQLITE_OK:
        case SQLITE_ROW:
        case SQLITE_DONE:
            return StoreFailure::kNone;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return StoreFailure::kBusy;
        case SQLITE_TOOBIG:
            return StoreFailure::kTooLarge;
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return StoreFailure::kReadOnly;
        case SQLITE_CANTOPEN:
            return CannotOpenFailure(utf8Path);
        // SQLITE_ERROR is what a statement gets from a table of the wrong shape, a view or a
        // trigger standing in for a task table: the file is not one the program wrote.
        case SQLITE_ERROR:
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_SCHEMA:
        case SQLITE_FORMAT:
        case SQLITE_RANGE:
        case SQLITE_MISMATCH:
            return StoreFailure::kDamaged;
        default:
            return StoreFailure::kOther;
    }
}

namespace {

uint32_t BigEndian32(const unsigned char* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           uint32_t{bytes[3]};
}

// True when the file's header says it is in WAL mode. Read before any statement, so that SQLite
// has not yet looked for the write-ahead files.
bool IsWriteAheadFile(sqlite3* db) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr) {
        return false;
    }
    unsigned char header[20] = {};
    if (file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK ||
        std::memcmp(header, "SQLite format 3", 16) != 0) {
        return false;  // empty or short: SQLite's own reading judges it
    }
    return header[18] == 2 || header[19] == 2;
}

// True when the file is shorter than its header says (or ends inside a page). SQLite itself
// rejects a file that lacks whole pages, but reads a last page that is only partly there as if
// the rest were zeros: its rows come back blank, and a write would go into the broken tree.
// Called under a read lock, so no writer is half-way through the file.
// `size` is set to the file's size.
bool IsCutShort(sqlite3* db, sqlite3_int64& size) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr) {
        return false;
    }
    unsigned char header[100] = {};
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK || size < 100 ||
        file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK ||
        std::memcmp(header, "SQLite format 3", 16) != 0) {
        return false;  // an empty file, or none: SQLite's own reading judges it
    }
    // A file in WAL mode keeps its latest pages beside it; the program never makes one.
    if (header[18] == 2 || header[19] == 2) return false;
    const uint32_t pageSize = header[16] == 0 && header[17] == 1
                                  ? 65536u
                                  : (uint32_t{header[16]} << 8) | uint32_t{header[17]};
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0) return false;
    const uint32_t pages = BigEndian32(header + 28);
    // The page count is valid only when the writer that set it also set "version valid for".
    const bool countValid = pages > 0 && BigEndian32(header + 24) == BigEndian32(header + 92);
    if (countValid) return size < static_cast<sqlite3_int64>(pages) * pageSize;
    return size % pageSize != 0;
}

// The file as a whole, before anything is read from it or written to it: kDamaged for a file
// cut short or one SQLite's quick check finds broken, otherwise kNone. A check that cannot run
// (the file is busy, a value is over the length limit, the budget is spent) gives no verdict:
// the operations that follow meet the same trouble and report it themselves.
// With `keepReading`, the read transaction the check began stays open for the statements that
// follow, so they all see one state of the file and take its lock once.
StoreFailure CheckWholeFile(TaskStore& store, bool keepReading) {
    sqlite3* db = store.Handle();
    if (sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr) != SQLITE_OK)
        return StoreFailure::kNone;
    StatementBudget& budget = *StoreAccess::Budget(store);
    budget.deadline = std::chrono::steady_clock::now() + budget.limit;
    budget.armed = true;
    // Reading the schema takes the read lock and makes SQLite check the header.
    int rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
    StoreFailure verdict = FailureOfCode(rc, {}) == StoreFailure::kDamaged ? StoreFailure::kDamaged
                                                                           : StoreFailure::kNone;
    sqlite3_int64 size = 0;
    if (rc == SQLITE_OK && IsCutShort(db, size)) verdict = StoreFailure::kDamaged;
    if (rc == SQLITE_OK && verdict == StoreFailure::kNone && size > 0 && size <= kQuickCheckBytes) {
        const int instructions = sqlite3_limit(db, SQLITE_LIMIT_VDBE_OP, kQuickCheckInstructions);
        sqlite3_stmt* raw = nullptr;
        rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1);", -1, &raw, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_step(raw);
        if (rc == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
            if (text == nullptr || std::strcmp(text, "ok") != 0) verdict = StoreFailure::kDamaged;
        } else if (FailureOfCode(rc, {}) == StoreFailure::kDamaged) {
            verdict = StoreFailure::kDamaged;
        }
        sqlite3_finalize(raw);
        sqlite3_limit(db, SQLITE_LIMIT_VDBE_OP, instructions);
    }
    budget.armed = false;
    if (!keepReading || verdict != StoreFailure::kNone) {
        sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
    }
    return verdict;
}

}  // namespace

StoreFailure FailureOf(TaskStore& store, int rc) {
    // A connection opened for reading only looks into no folder's permissions: the probe would
    // make a file.
    const char* path = store.IsOpen() && !store.readingOnly_
                           ? sqlite3_db_filename(store.Handle(), "main")
                           : nullptr;
    const StoreFailure failure = FailureOfCode(rc, path != nullptr ? path : "");
    return failure == StoreFailure::kNone ? StoreFailure::kOther : failure;
}

void TaskStore::Closer::operator()(sqlite3* db) const noexcept {
    sqlite3_close(db);
}

TaskStore::TaskStore() = default;
TaskStore::~TaskStore() = default;
TaskStore::TaskStore(TaskStore&&) noexcept = default;
TaskStore& TaskStore::operator=(TaskStore&&) noexcept = default;

void TaskStore::Close() {
    db_.reset();
}

bool TaskStore::IsReadOnly() const {
    return sqlite3_db_readonly(db_.get(), "main") == 1;
}

void TaskStore::SetStatementBudget(std::chrono::milliseconds limit) {
    if (budget_) budget_->limit = limit;
}

void TaskStore::StopWhen(const std::atomic<bool>* cancel) {
    // Made here when set before the open; the open keeps it.
    if (!budget_) budget_ = std::make_unique<StatementBudget>();
    budget_->cancel = cancel;
}

StoreFailure TaskStore::Open(const std::string& utf8Path) {
    return OpenWith(utf8Path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, kBusyTimeoutMs);
}

StoreFailure TaskStore::OpenReadOnly(const std::string& utf8Path) {
    return OpenWith(utf8Path, SQLITE_OPEN_READONLY, kReadOnlyBusyTimeoutMs);
}

namespace {

// Task files are a few pages each, and a view over a tree opens hundreds of them one after
// another. SQLite would give every connection a bulk of page-cache memory up front: mostly
// never used, and fresh from the system each time (the freed bulk goes back to it), which costs
// more than the rest of the reading. Pages are allocated as they are read instead. This is
// possible only before SQLite first starts in the process; when something else started it
// first, the setting stays as it was, which changes nothing but the speed.
void ConfigureOnce() {
    static const bool configured = [] {
        return sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0) == SQLITE_OK;
    }();
    (void)configured;
}

}  // namespace

StoreFailure TaskStore::OpenWith(const std::string& utf8Path, int flags, int busyTimeoutMs) {
    ConfigureOnce();
    db_.reset();
    readingOnly_ = (flags & SQLITE_OPEN_READONLY) != 0;
    if (!budget_) budget_ = std::make_unique<StatementBudget>();
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(utf8Path.c_str(), &raw, flags, nullptr);
    db_.reset(raw);  // closed even when the open failed
    if (rc != SQLITE_OK) {
        db_.reset();
        return FailureOfCode(rc, readingOnly_ ? std::string() : utf8Path);
    }
    // SQLite's own advice for files from untrusted sources. The program makes no triggers or
    // views, and a foreign file's triggers and views could otherwise rewrite other items' tasks
    // or stand in for an item's table. Each switch is checked: a connection that stays soft is
    // not used.
    const struct {
        int option;
        int value;
    } switches[] = {
        {SQLITE_DBCONFIG_DEFENSIVE, 1},
        {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
        {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
        {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
    };
    for (const auto& s : switches) {
        int now = -1;
        if (sqlite3_db_config(raw, s.option, s.value, &now) != SQLITE_OK || now != s.value) {
            db_.reset();
            return StoreFailure::kOther;
        }
    }
    const struct {
        int id;
        int value;
    } limits[] = {
        {SQLITE_LIMIT_LENGTH, kMaxValueBytes},
        {SQLITE_LIMIT_SQL_LENGTH, kMaxStatementBytes},
        {SQLITE_LIMIT_COLUMN, 100},
        {SQLITE_LIMIT_EXPR_DEPTH, 10},
        {SQLITE_LIMIT_COMPOUND_SELECT, 3},
        {SQLITE_LIMIT_VDBE_OP, 25000},
        {SQLITE_LIMIT_FUNCTION_ARG, 8},
        {SQLITE_LIMIT_ATTACHED, 0},
        {SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 50},
        {SQLITE_LIMIT_VARIABLE_NUMBER, 10},
        {SQLITE_LIMIT_TRIGGER_DEPTH, 10},
    };
    for (const auto& l : limits) sqlite3_limit(raw, l.id, l.value);
    // Damaged cells are found when a page is read, before they can mislead the b-tree code.
    sqlite3_exec(raw, "PRAGMA cell_size_check=ON;", nullptr, nullptr, nullptr);
    sqlite3_progress_handler(raw, kBudgetCheckInstructions, OnProgress, budget_.get());
    sqlite3_busy_timeout(raw, busyTimeoutMs);
    // A file in WAL mode would make even a reading connection create its shared-memory file
    // beside it; the program never makes one, so such a file is not one of its own.
    if (readingOnly_ && IsWriteAheadFile(raw)) {
        db_.reset();
        return StoreFailure::kDamaged;
    }
    // A damaged file is refused here, once, so that no front end shows its rows or writes to it.
    // A connection that only reads keeps the check's read transaction until it is closed: a
    // view over many files reads each one under one lock, and its counts and tasks agree.
    if (CheckWholeFile(*this, readingOnly_) == StoreFailure::kDamaged) {
        db_.reset();
        return StoreFailure::kDamaged;
    }
    return StoreFailure::kNone;
}
