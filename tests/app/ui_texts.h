// The program's texts as the window tests expect to see them, by their names in the catalogue: in
// the language the tests start the program in (PELMORA_TEST_LANG, such as "qps-ploc" or "de"),
// English when it is not set.
#pragma once

#include <initializer_list>
#include <string>

#include "text/texts.h"

// The tests' language tag; empty for English. An unknown tag fails every window test.
const std::string& TestLanguage();
bool TestLanguageKnown();

std::wstring Ui(TextId id);
// The text with its "{0}" places filled.
std::wstring Ui(TextId id, std::initializer_list<std::wstring> args);
