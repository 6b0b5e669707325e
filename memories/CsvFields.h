#pragma once

#include <string>
#include <vector>

// Comma-separated fields as RFC 4180 writes them: a field that holds a comma, a double quote or a
// line end is quoted, its quotes doubled. Reading is lenient the way spreadsheets are: a quote
// inside an unquoted field is kept as it stands, and text after a closing quote joins the field.

// The fields joined by commas and ended by CR LF.
std::string CsvLine(const std::vector<std::string>& fields);

// Splits one record into `fields`. False when a quoted field is still open at the end of `text`:
// the record goes on on the next line, which the caller appends after a line feed.
bool SplitCsvRecord(const std::string& text, std::vector<std::string>& fields);

// The text without blanks and tabs at either end.
std::string Trimmed(const std::string& text);

// Memory texts are 8-bit (Latin-1) while the file is UTF-8. A character Latin-1 cannot hold, and
// a byte that is no UTF-8, become '?' and are counted in `replaced`.
std::string Latin1ToUtf8(const std::string& text);
std::string Utf8ToLatin1(const std::string& text, int& replaced);
