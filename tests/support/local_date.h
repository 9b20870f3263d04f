// The local date, read from the system another way than the program reads it, for checking the
// date a change stamps on a task.
#pragma once

#include <gtest/gtest.h>

#include <string>

// "YYYY-MM-DD" of the local date now: from the system's clock on Windows, from date(1) elsewhere.
std::string LocalDate();

// Made before the action under test: a date the action stamped is the local date when it is the
// date at the span's start or at the check, so a midnight in between fails nothing.
class LocalDateSpan {
public:
    LocalDateSpan() : first_(LocalDate()) {}
    ::testing::AssertionResult Holds(const std::string& date) const;

private:
    std::string first_;
};
