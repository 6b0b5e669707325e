#include "memories/CsvFields.h"

#include <QString>

namespace {

std::string QuotedWhereNeeded(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

} // namespace

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            line += ',';
        }
        line += QuotedWhereNeeded(fields[i]);
    }
    return line + "\r\n";
}

bool TCsvRecordSplitter::Take(const std::string& line) {
    if (!quoted_) {
        fields_.assign(1, std::string());
        length_ = 0;
        fieldStart_ = true;
    } else {
        fields_.back() += '\n';
        ++length_;
    }
    length_ += line.size();
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted_) {
            if (c != '"') {
                fields_.back() += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                fields_.back() += '"';
                ++i;
            } else {
                quoted_ = false; // a quote at the line's end closes: a line end follows it
            }
        } else if (c == ',') {
            fields_.emplace_back();
            fieldStart_ = true;
            continue;
        } else if (c == '"' && fieldStart_) {
            quoted_ = true;
        } else {
            fields_.back() += c;
        }
        fieldStart_ = false;
    }
    return !quoted_;
}

bool SplitCsvRecord(const std::string& text, std::vector<std::string>& fields) {
    TCsvRecordSplitter splitter;
    const bool whole = splitter.Take(text);
    fields = splitter.Fields();
    return whole;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Latin1ToUtf8(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()))
        .toUtf8()
        .toStdString();
}

std::string Utf8ToLatin1(const std::string& text, int& replaced) {
    const QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    std::string latin1;
    latin1.reserve(static_cast<size_t>(decoded.size()));
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const char16_t c = decoded[i].unicode();
        // U+FFFD stands for bytes that were no UTF-8; a pair of surrogates is one character.
        if (c > 0xff) {
            latin1 += '?';
            ++replaced;
            if (QChar::isHighSurrogate(c) && i + 1 < decoded.size() &&
                decoded[i + 1].isLowSurrogate()) {
                ++i;
            }
        } else {
            latin1 += static_cast<char>(c);
        }
    }
    return latin1;
}
