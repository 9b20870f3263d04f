#include "tests/support/local_date.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

std::string LocalDate() {
#ifdef _WIN32
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[16] = {};
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
    return text;
#else
    std::string text;
    if (FILE* date = popen("date +%Y-%m-%d", "r")) {
        char line[32] = {};
        if (std::fgets(line, sizeof line, date)) text = line;
        pclose(date);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
#endif
}

::testing::AssertionResult LocalDateSpan::Holds(const std::string& date) const {
    const std::string last = LocalDate();
    if (date == first_ || date == last) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the date is " << date << ", the local date was " << first_ << " to " << last;
}
