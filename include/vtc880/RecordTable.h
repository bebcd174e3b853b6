#pragma once

#include "vtc880/Json.h"

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

namespace vtc880 {

// The records of a record file, read back for a person or a spreadsheet. Lines that are not records
// (cut by a crash, or written by something else) are kept aside with the reason, never fatal.
struct RecordTable {
    // Every field of a record as text, in the columns' order (see recordColumns()).
    using Row = std::vector<std::string>;
    struct BadLine {
        std::size_t line = 0; // from 1
        std::string why;
    };
    std::vector<Row> rows;
    std::vector<BadLine> badLines;
};

// The fields of a record in column order: their names (a field of a field as "phase_seconds.erase").
const std::vector<std::string>& recordColumns();

// Reads a whole record file. Lines longer than 1 MiB are not records and are skipped.
RecordTable readRecords(std::istream& in);

// A table of the records and a summary: counts per outcome, per slot and per image.
std::vector<std::string> recordsText(const RecordTable& table);
Json recordsSummaryJson(const RecordTable& table);
// Every column of every record, with a header line. Text that a spreadsheet would take as a formula
// is prefixed with an apostrophe.
std::string recordsCsv(const RecordTable& table);

} // namespace vtc880
