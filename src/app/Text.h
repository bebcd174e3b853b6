#pragma once

#include <QString>
#include <string>

namespace vtc880 {

// Text between the window and the library, which is UTF-8 throughout: what the window shows, what a
// person types or picks (a port name) and goes back, character for character.
std::string utf8Of(const QString& text);
// A byte that is not UTF-8 shows as U+FFFD, as it does on a terminal.
QString displayText(const std::string& text);

} // namespace vtc880
