#include "ui/DialogTemplate.h"
#include "gui_qt/Resources.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QRect RectFrom(const QJsonArray& values) {
    return QRect(values.at(0).toInt(), values.at(1).toInt(), values.at(2).toInt(),
                 values.at(3).toInt());
}

QStringList StringsFrom(const QJsonArray& values) {
    QStringList list;
    for (const QJsonValue& value : values) {
        list << value.toString();
    }
    return list;
}

}  // namespace

const ControlTemplate* DialogTemplate::Control(int controlId) const {
    for (const ControlTemplate& control : controls) {
        if (control.id == controlId) {
            return &control;
        }
    }
    return nullptr;
}

DialogTemplate DialogTemplate::Load(int templateId) {
    EnsureTillstreamResources();
    const QString path = QStringLiteral(":/dialogs/%1.json").arg(templateId);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("dialog template %s is missing", qPrintable(path));
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qFatal("dialog template %s: %s", qPrintable(path), qPrintable(error.errorString()));
    }
    const QJsonObject root = document.object();
    DialogTemplate result;
    result.id = root.value("id").toInt();
    result.caption = root.value("caption").toString();
    const QJsonArray size = root.value("size").toArray();
    result.size = QSize(size.at(0).toInt(), size.at(1).toInt());
    const QJsonObject font = root.value("font").toObject();
    result.fontFamily = font.value("family").toString();
    result.fontPointSize = font.value("pointSize").toInt(8);
    result.styles = StringsFrom(root.value("styles").toArray());
    for (const QJsonValue& value : root.value("controls").toArray()) {
        const QJsonObject object = value.toObject();
        ControlTemplate control;
        control.id = object.value("id").toInt(-1);
        control.kind = object.value("kind").toString();
        control.text = object.value("text").toString();
        control.rect = RectFrom(object.value("rect").toArray());
        control.styles = StringsFrom(object.value("styles").toArray());
        result.controls.append(control);
    }
    return result;
}
