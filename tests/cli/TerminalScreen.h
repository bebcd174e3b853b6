#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <string>
#include <vector>

// What a terminal of `columns` shows after the bytes a program wrote: enough of a VT100 for the
// tool's redraws (CR, LF, cursor up, erase to the end of the line and of the screen), with the
// wrapping of a real terminal. It notes every line that was wrapped and later overwritten: the stale
// rows a redraw leaves behind when its lines do not fit.
class TerminalScreen {
  public:
    explicit TerminalScreen(std::size_t columns) : columns(columns) {}

    void write(const std::string& bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c == '\033' && i + 1 < bytes.size() && bytes[i + 1] == '[') {
                std::size_t end = i + 2;
                while (end < bytes.size() && (std::isdigit(static_cast<unsigned char>(bytes[end])) != 0)) {
                    ++end;
                }
                if (end < bytes.size()) {
                    const std::string number = bytes.substr(i + 2, end - i - 2);
                    control(bytes[end], number.empty() ? 1 : std::stoul(number));
                }
                i = end;
            } else if (c == '\r') {
                column = 0;
            } else if (c == '\n') {
                ++row;
            } else {
                put(c);
            }
        }
    }

    // The rows, without trailing blanks, and without the empty rows at the end.
    std::vector<std::string> lines() const {
        std::vector<std::string> shown;
        for (const std::string& r : rows) {
            shown.push_back(r.substr(0, r.find_last_not_of(' ') + 1));
        }
        while (!shown.empty() && shown.back().empty()) {
            shown.pop_back();
        }
        return shown;
    }

    // The same with each line that wrapped joined again into one.
    std::vector<std::string> logicalLines() const {
        std::vector<std::string> joined;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i > 0 && wrapped[i] && !joined.empty()) {
                joined.back() += rows[i]; // the row above was full: nothing to trim between them
            } else {
                joined.push_back(rows[i]);
            }
        }
        for (std::string& line : joined) {
            line.erase(line.find_last_not_of(' ') + 1);
        }
        while (!joined.empty() && joined.back().empty()) {
            joined.pop_back();
        }
        return joined;
    }

    // A row that a line spilled into, which a later redraw moved above: the redraw's lines wrapped.
    bool wrappedUnderARedraw() const { return redrawOverWrap; }

  private:
    std::string& current() {
        if (rows.size() <= row) {
            rows.resize(row + 1);
            wrapped.resize(row + 1, false);
        }
        rows[row].resize(std::max(rows[row].size(), columns), ' ');
        return rows[row];
    }

    void put(char c) {
        if (column >= columns) { // a real terminal wraps the line here
            column = 0;
            ++row;
            current();
            wrapped[row] = true;
        }
        current()[column++] = c;
    }

    void control(char command, std::size_t count) {
        switch (command) {
        case 'A':
            for (std::size_t up = 0; up < count && row > 0; ++up) {
                --row;
            }
            current();
            if (wrapped[row]) {
                redrawOverWrap = true;
            }
            break;
        case 'K':
            std::fill(current().begin() + std::ptrdiff_t(std::min(column, columns)), current().end(), ' ');
            break;
        case 'J':
            std::fill(current().begin() + std::ptrdiff_t(std::min(column, columns)), current().end(), ' ');
            rows.resize(row + 1);
            wrapped.resize(row + 1);
            break;
        default:
            break;
        }
    }

    std::size_t columns;
    std::size_t row = 0;
    std::size_t column = 0;
    std::vector<std::string> rows;
    std::vector<bool> wrapped; // the row holds the end of a line too long for the one above
    bool redrawOverWrap = false;
};
