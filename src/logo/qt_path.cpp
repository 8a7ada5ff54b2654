#include "logo/qt_path.h"

#include <QByteArray>
#include <QFile>
#include <string>
#include <type_traits>

namespace korvane {

namespace {

using Unit = std::filesystem::path::value_type;

// Templates, so that only the branch of this system's kind of name is compiled.
template <typename U>
QString ToQString(const std::basic_string<U>& native) {
    if constexpr (std::is_same_v<U, char>)
        return QFile::decodeName(QByteArray(native.data(), static_cast<qsizetype>(native.size())));
    else
        return QString::fromStdWString(native);
}

template <typename U>
std::basic_string<U> FromQString(const QString& name) {
    if constexpr (std::is_same_v<U, char>) {
        const QByteArray bytes = QFile::encodeName(name);
        return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
    } else {
        return name.toStdWString();
    }
}

}  // namespace

QString PathToQString(const std::filesystem::path& path) {
    return ToQString(path.native());
}

std::filesystem::path PathFromQString(const QString& name) {
    return std::filesystem::path(FromQString<Unit>(name));
}

}  // namespace korvane
