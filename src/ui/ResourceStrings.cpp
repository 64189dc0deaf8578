#include "ui/ResourceStrings.h"
#include "gui_qt/Resources.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

QString LoadResourceString(int id) {
    EnsureTillstreamResources();
    static const QHash<int, QString> table = [] {
        QHash<int, QString> strings;
        QFile file(QStringLiteral(":/strings.json"));
        if (file.open(QIODevice::ReadOnly)) {
            const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
            for (auto it = root.begin(); it != root.end(); ++it) {
                strings.insert(it.key().toInt(), it.value().toString());
            }
        }
        return strings;
    }();
    return table.value(id);
}
