#include "widgets/resource_bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QResource>

namespace korvane {

namespace {

// Mounted under its own root so that it never mixes with compiled-in resources.
const QString kRoot = QStringLiteral("/korvane-bundle");

QHash<int, QString>& Strings() {
    static QHash<int, QString> strings;
    return strings;
}

void LoadStrings() {
    Strings().clear();
    QFile f(QStringLiteral(":%1/strings.txt").arg(kRoot));
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (tab > 0 && ok)
            Strings().insert(id, line.mid(tab + 1));
    }
}

}  // namespace

bool RegisterResourceBundle(const QString& program_folder) {
    const QString path =
        QDir(program_folder)
            .filePath(QStringLiteral("resource/") + QString::fromUtf8(kResourceBundleName));
    static QString registered;
    if (registered == path)
        return true;
    if (!QResource::registerResource(path, kRoot))
        return false;
    registered = path;
    LoadStrings();
    return true;
}

// The bundle's texts, named here so that they are translated like the code's.
[[maybe_unused]] constexpr const char* kBundleTexts[] = {
    QT_TRANSLATE_NOOP("korvane::ResourceBundle", "关于 OrvelManager(&A)..."),
    QT_TRANSLATE_NOOP("korvane::ResourceBundle", "图片尺寸大于触摸屏的大小，打开图片错误！"),
    QT_TRANSLATE_NOOP("korvane::ResourceBundle", "下载完成，请等待烧写成功！"),
    QT_TRANSLATE_NOOP("korvane::ResourceBundle", "请等待擦写Flash成功！"),
};

QString ResourceString(int id) {
    const QString stored = Strings().value(id);
    if (stored.isEmpty())
        return stored;
    return QCoreApplication::translate("korvane::ResourceBundle", stored.toUtf8().constData());
}

QPixmap ResourcePixmap(int id, int size) {
    return QPixmap(QStringLiteral(":%1/icon-%2-%3.png").arg(kRoot).arg(id).arg(size));
}

QIcon ResourceIcon(int id) {
    QIcon icon;
    for (int size : {32, 48}) {
        const QPixmap p = ResourcePixmap(id, size);
        if (!p.isNull())
            icon.addPixmap(p);
    }
    return icon;
}

}  // namespace korvane
