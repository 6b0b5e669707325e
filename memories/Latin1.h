#pragma once

#include <QString>
#include <string>

// Memory texts are 8-bit strings; the controls show them byte for byte as Latin-1 characters, so
// every byte value survives the way through a control and back. A character typed into a control
// that Latin-1 cannot hold comes back as '?'.
inline QString ToControlText(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromControlText(const QString& text) {
    return text.toLatin1().toStdString();
}
