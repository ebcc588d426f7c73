#include "ImageModelTestFiles.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>

#include <cstdlib>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace scrivola::imagetest {

namespace {

quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray be32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    const QByteArray typed = QByteArray(type, 4) + data;
    return be32(quint32(data.size())) + typed + be32(crc32(typed));
}

QByteArray pngWithPixelStream(quint32 width, quint32 height, const QByteArray& stream) {
    QByteArray ihdr = be32(width) + be32(height);
    ihdr.append(char(8)).append(char(6)).append(char(0)).append(char(0)).append(char(0));  // 8-bit RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", stream) +
           pngChunk("IEND", {});
}

}  // namespace

QImage quadrantImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    const int hw = width / 2, hh = height / 2;
    QPainter painter(&image);
    painter.fillRect(0, 0, hw, hh, QColor(255, 0, 0));
    painter.fillRect(hw, 0, width - hw, hh, QColor(0, 255, 0));
    painter.fillRect(hw, hh, width - hw, height - hh, QColor(0, 0, 255));
    painter.fillRect(0, hh, hw, height - hh, QColor(255, 255, 0));
    return image;
}

QString writeImage(const QString& path, const QImage& image, const char* format, int dotsPerInch) {
    QImage copy = image;
    const int dpm = qRound(dotsPerInch / 0.0254);
    copy.setDotsPerMeterX(dpm);
    copy.setDotsPerMeterY(dpm);
    QImageWriter writer(path, format);
    if (!writer.write(copy)) qFatal("could not write test image %s", qPrintable(path));
    return path;
}

QString writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) qFatal("could not write %s", qPrintable(path));
    return path;
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray undecodablePng(quint32 width, quint32 height) {
    return pngWithPixelStream(width, height, QByteArray(64, '\x5a'));
}

bool near(QRgb actual, QRgb expected, int tolerance) {
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

static bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

ImmutableFile::ImmutableFile(const QString& path) : path_(path), active_(setImmutable(path, true)) {}

ImmutableFile::~ImmutableFile() {
    if (active_) setImmutable(path_, false);
}

}  // namespace scrivola::imagetest
