#pragma once

#include <QString>
#include <string>

namespace vtc880 {

// Text between the window and the core, which works in 8-bit text.

// Keeps the low byte of each UTF-16 unit: how names chosen in the window reach the port.
std::string narrow(const QString& text);

// The inverse of narrow() for text that must come back byte for byte (port names offered in a list).
QString widenLatin1(const std::string& text);

// For reading only (status, title, message boxes): UTF-8 when the bytes are valid UTF-8 (file names
// and system messages), Latin-1 otherwise, so that no byte is lost from view.
QString displayText(const std::string& text);

} // namespace vtc880
