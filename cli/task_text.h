// The texts of a stored task as a terminal and a JSON document show them.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "store/sqlite/task_table.h"

// The stored Base64 text decoded to UTF-8; bytes that are not UTF-8 become U+FFFD.
std::string DecodedText(const std::optional<std::string>& stored);

// True when the decoded text, encoded again as the program would, gives the stored text back.
// Only then can a task travel as its readable text alone.
bool SurvivesDecoding(const std::optional<std::string>& stored);

// One line of a terminal listing: control characters in the text would break the line (and a
// terminal's state), so each shows as U+FFFD.
std::string OneLine(const std::string& text);

// 1-based position, mark, date, title; the description indented below.
std::string TaskListingLine(size_t position, size_t width, const TaskRecord& task);

// The task as the reading commands give it in JSON.
nlohmann::ordered_json TaskJson(size_t position, const TaskRecord& task);

// JSON text as the commands print it: indented, UTF-8, one line break at the end.
std::string JsonText(const nlohmann::ordered_json& document);
