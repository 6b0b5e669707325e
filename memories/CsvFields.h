#pragma once

#include <string>
#include <vector>

// Comma-separated fields as RFC 4180 writes them: a field that holds a comma, a double quote or a
// line end is quoted, its quotes doubled. Reading is lenient the way spreadsheets are: a quote
// inside an unquoted field is kept as it stands, and text after a closing quote joins the field.

// The fields joined by commas and ended by CR LF.
std::string CsvLine(const std::vector<std::string>& fields);

// Splits a record into its fields as its lines come: a quoted field may hold line ends.
class TCsvRecordSplitter {
public:
    // Takes the record's first line, or the next one while a quoted field is open; true when the
    // record is whole. The line end between two lines is kept in the field as a line feed.
    bool Take(const std::string& line);
    const std::vector<std::string>& Fields() const { return fields_; }
    // How many characters the record has taken, its line ends included.
    size_t Length() const { return length_; }

private:
    std::vector<std::string> fields_;
    size_t length_ = 0;
    bool quoted_ = false;
    bool fieldStart_ = true;
};

// Splits a record of one line into `fields`; false when a quoted field is still open at its end.
bool SplitCsvRecord(const std::string& text, std::vector<std::string>& fields);

// The text without blanks and tabs at either end.
std::string Trimmed(const std::string& text);

// Memory texts are 8-bit (Latin-1) while the file is UTF-8. A character Latin-1 cannot hold, and
// a byte that is no UTF-8, become '?' and are counted in `replaced`.
std::string Latin1ToUtf8(const std::string& text);
std::string Utf8ToLatin1(const std::string& text, int& replaced);
