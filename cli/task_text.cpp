#include "cli/task_text.h"

#include "text/text_encoding.h"

std::string DecodedText(const std::optional<std::string>& stored) {
    if (!stored) return std::string();
    return Utf16ToUtf8(Utf8ToUtf16(Base64Decode(*stored)));
}

bool SurvivesDecoding(const std::optional<std::string>& stored) {
    if (!stored) return true;
    const std::string bytes = Base64Decode(*stored);
    return Utf16ToUtf8(Utf8ToUtf16(bytes)) == bytes && Base64Encode(bytes) == *stored;
}

std::string OneLine(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            line += "\xEF\xBF\xBD";
        } else {
            line += c;
        }
    }
    return line;
}

std::string TaskListingLine(size_t position, size_t width, const TaskRecord& task) {
    std::string number = std::to_string(position);
    std::string line(width > number.size() ? width - number.size() : 0, ' ');
    line += number;
    line += task.done != 0 ? "  [x]  " : "  [ ]  ";
    line += task.doneDate.value_or("          ");
    line += "  ";
    line += OneLine(DecodedText(task.title));
    line += '\n';
    const std::string description = DecodedText(task.description);
    size_t start = 0;
    while (start < description.size()) {
        size_t end = description.find('\n', start);
        if (end == std::string::npos) end = description.size();
        std::string part = description.substr(start, end - start);
        if (!part.empty() && part.back() == '\r') part.pop_back();
        line += std::string(width + 7, ' ') + OneLine(part) + '\n';
        start = end + 1;
    }
    return line;
}

nlohmann::ordered_json TaskJson(size_t position, const TaskRecord& task) {
    return nlohmann::ordered_json{{"n", position},
                                  {"title", DecodedText(task.title)},
                                  {"description", DecodedText(task.description)},
                                  {"done", task.done != 0},
                                  {"date", task.doneDate.value_or("")},
                                  {"priority", task.priority}};
}

std::string JsonText(const nlohmann::ordered_json& document) {
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
