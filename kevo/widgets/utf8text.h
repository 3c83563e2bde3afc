// Conversions between the program's UTF-8 texts and Qt's strings.
#pragma once

#include <QString>
#include <string>

inline QString q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

inline std::string s8(const QString& s) {
    return s.toUtf8().toStdString();
}
