// Every task list of a folder as one JSON document, and back.
//
//   {"pelmora_export": 1, "folder": "...",
//    "lists": [{"item": "Alpha", "key": "<32 hex digits>",
//               "tasks": [{"title": "...", "description": "...", "done": false,
//                          "date": "2024-05-01", "priority": 0}]}]}
//
// "item" is left out for a list no entry of the folder claims. A task whose stored text does not
// come back unchanged from its decoded form (text that is not UTF-8, or Base64 the program would
// not write) carries the stored form too, as "stored_title" or "stored_description", so that an
// import writes the same rows. Import takes "key", or the key of "item" when there is none.
#pragma once

#include <optional>
#include <string>

std::string CmdExport(const std::string& folderPath, const std::optional<std::string>& outputFile);
std::string CmdImport(const std::string& folderPath, const std::string& file, bool replace);
