// The done date a task gets, and the shape of a done date as Pelmora writes it ("%Y-%m-%d":
// four digits, a dash, two digits, a dash, two digits), for readers of dates that another
// program may have written.
#pragma once

#include <string>
#include <string_view>

// True for a text of that shape; the numbers themselves are not checked, as a list shows and
// sorts whatever date it holds.
[[nodiscard]] bool HasDoneDateShape(std::string_view text);

// Today's local date, "%Y-%m-%d": the date a task marked done (or added) carries.
std::string TodayDate();
