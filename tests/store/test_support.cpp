#include "store/test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>

namespace {

int OnTrace(unsigned type, void* context, void* statement, void*) {
    if (type == SQLITE_TRACE_STMT) {
        const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
        static_cast<StatementLog*>(context)->statements.emplace_back(sql ? sql : "");
    }
    return 0;
}

}  // namespace

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("pelmora-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

std::string Utf8Path(const std::filesystem::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::u16string Utf16Path(const std::filesystem::path& path) {
    return path.u16string();
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void StatementLog::Attach(TaskStore& store) {
    sqlite3_trace_v2(store.db.get(), SQLITE_TRACE_STMT, OnTrace, this);
}

void RunSql(TaskStore& store, const std::string& sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(store.db.get(), sql.c_str(), nullptr, nullptr, &error);
    ASSERT_EQ(rc, SQLITE_OK) << sql << ": " << (error ? error : "");
    sqlite3_free(error);
}

void AllowTriggers(TaskStore& store) {
    int now = 0;
    ASSERT_EQ(sqlite3_db_config(store.db.get(), SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, &now),
              SQLITE_OK);
    ASSERT_EQ(now, 1);
}
