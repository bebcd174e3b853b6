#pragma once

#include "vtc880/Json.h"

#include <cstddef>
#include <functional>
#include <istream>
#include <map>
#include <string>
#include <vector>

namespace vtc880 {

// One record read back: every field as text, in the columns' order (see recordColumns()).
using RecordRow = std::vector<std::string>;

// A line that is not a record (cut by a crash, or written by something else): where it is and why.
// Never fatal: the reader goes on with the next line.
struct RecordProblem {
    std::string file;     // the input's name; empty for a lone stream
    std::size_t line = 0; // from 1
    std::string why;
};

// A record file as the reader takes it: its name, for its problems, and its text.
struct RecordInput {
    std::string name;
    std::istream* in = nullptr;
};

// The fields of a record in column order: their names (a field of a field as "phase_seconds.erase").
const std::vector<std::string>& recordColumns();

// The record files `names` stand for, in their order: a file as it is, a folder for the record files
// (*.jsonl) in it, in the order of their names. A file named twice, or as well as its folder, is
// there once: its records count once. Empty, and `problem` says why, when a folder cannot be read or
// holds no record file.
std::vector<std::string> recordFilesOf(const std::vector<std::string>& names, std::string& problem);

// Reads the records of every input as one, one line at a time, so that memory does not grow with the
// files: merged by the time each record ended, each input in its own order (stations append their
// records as their devices end), equal times in the order of the inputs. `onRecord` gets each record
// and `onProblem` each line that is not one, as they are met. Lines longer than 1 MiB are not records.
// Text that is not UTF-8 is read with U+FFFD for its invalid bytes, as a terminal shows them.
void readRecords(const std::vector<RecordInput>& inputs,
                 const std::function<void(const RecordRow&)>& onRecord,
                 const std::function<void(const RecordProblem&)>& onProblem);

// The counts of the records read, per outcome, per slot and per image, gathered one record at a time.
class RecordSummary {
  public:
    void add(const RecordRow& row);
    void addProblem() { ++problems; }
    std::size_t records() const { return count; }
    // For a person: "4 records: succeeded 2, ...", then the counts per slot and per image.
    std::vector<std::string> lines() const;
    Json json() const; // the records_summary event

  private:
    std::size_t count = 0;
    std::size_t problems = 0;
    std::map<std::string, std::size_t> outcomes;
    std::map<std::string, std::map<std::string, std::size_t>> slots, images;
};

// The table of records for a person: each column as wide as its widest cell among the records
// measured (at most 40 terminal columns), so that a table can be measured in one pass over the files
// and written in a second.
class RecordLayout {
  public:
    RecordLayout();
    void measure(const RecordRow& row);
    std::string header() const;
    std::string line(const RecordRow& row) const;

  private:
    std::vector<std::size_t> widths;
};

// CSV: every column of every record, a header line first, lines ended by CRLF. Text that a
// spreadsheet would take as a formula is prefixed with an apostrophe.
std::string recordsCsvHeader();
std::string recordsCsvLine(const RecordRow& row);

// The records of one stream, whole in memory: for a small file, and for tests.
struct RecordTable {
    using Row = RecordRow;
    using BadLine = RecordProblem;
    std::vector<Row> rows;
    std::vector<BadLine> badLines;
};
RecordTable readRecords(std::istream& in);
// The table of the records and the summary, as `vtc880 records` writes them.
std::vector<std::string> recordsText(const RecordTable& table);
Json recordsSummaryJson(const RecordTable& table);
std::string recordsCsv(const RecordTable& table);

} // namespace vtc880
