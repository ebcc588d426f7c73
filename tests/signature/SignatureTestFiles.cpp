#include "SignatureTestFiles.h"

#include "signature/StoredSignature.h"

#include <QFile>
#include <QJsonDocument>


namespace scrivola::test {

QString upperId(const QUuid& id) { return StoredSignature::idText(id); }

QJsonObject recordObject(const QUuid& id, const QString& name, double createdAt, const QString& kind, bool isBuiltIn) {
    return QJsonObject{{"id", upperId(id)}, {"name", name},         {"createdAt", createdAt}, {"lastWidth", 200.0},
                       {"lastHeight", 80.0}, {"kind", kind}, {"isBuiltIn", isBuiltIn}};
}

void writeRecord(const QString& folder, const QString& baseName, const QJsonObject& object) {
    testing::writeBytes(folder + "/" + baseName + ".json", QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject readRecord(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QImage sampleImage(int width, int height, QColor fill) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(fill);
    image.setPixelColor(0, 0, QColor(200, 100, 50));
    return image;
}

}  // namespace scrivola::test
