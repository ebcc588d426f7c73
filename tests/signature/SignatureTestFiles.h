#pragma once

// Helpers for signature-store tests: record files written by hand and small images.

#include "support/Files.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QJsonObject>
#include <QString>
#include <QUuid>

namespace scrivola::test {

QString upperId(const QUuid& id);
// A complete record object as the store writes it.
QJsonObject recordObject(const QUuid& id, const QString& name, double createdAt, const QString& kind = "signature",
                         bool isBuiltIn = false);
void writeRecord(const QString& folder, const QString& baseName, const QJsonObject& object);
QJsonObject readRecord(const QString& path);
// A small opaque image with a distinct pixel at (0, 0).
QImage sampleImage(int width = 40, int height = 20, QColor fill = QColor(10, 20, 30));

}  // namespace scrivola::test
