#include "app/shell/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <unistd.h>

namespace scrivola {

namespace {
// A client that sends nothing useful is dropped after this long.
constexpr int kClientTimeoutMs = 5000;
const QByteArray kAnswer = QByteArrayLiteral("ok\n");
}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), name_(name.isEmpty() ? defaultName() : name) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName() {
    const QString overridden = qEnvironmentVariable("SCRIVOLA_INSTANCE_NAME");
    if (!overridden.isEmpty()) return overridden;
    const QString file = QStringLiteral("scrivola-%1.socket").arg(uint(getuid()));
    // The runtime folder belongs to the user alone (Qt checks its owner and mode 0700).
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) return QDir(runtime).filePath(file);
    // Without one, a folder of the user's own in the temporary folder, as private.
    const QString folder = QDir::temp().filePath(QStringLiteral("scrivola-%1").arg(uint(getuid())));
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QDir(folder).filePath(file);
}

QByteArray SingleInstance::encode(const Request& request) {
    QJsonObject object;
    object.insert(QStringLiteral("files"), QJsonArray::fromStringList(request.files));
    object.insert(QStringLiteral("newWindow"), request.newWindow);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<SingleInstance::Request> SingleInstance::decode(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue files = object.value(QStringLiteral("files"));
    if (!files.isUndefined() && !files.isArray()) return std::nullopt;
    Request request;
    for (const QJsonValue& value : files.toArray())
        if (value.isString() && QFileInfo(value.toString()).isAbsolute()) request.files << QDir::cleanPath(value.toString());
    request.newWindow = object.value(QStringLiteral("newWindow")).toBool(false);
    return request;
}

bool SingleInstance::forward(const Request& request, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(encode(request));
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    // The running instance answers once it has the whole request.
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(timeoutMs)) return false;
        answer += socket.readAll();
    }
    return answer == kAnswer;
}

bool SingleInstance::listen() {
    if (server_) return true;
    // No socket options: with them Qt renames its socket over whatever holds the name, so a
    // second instance would silently take the name from the first. The socket's folder is private.
    auto* server = new QLocalServer(this);
    if (!server->listen(name_)) {
        // Someone answering on the name is a running instance; silence is a socket left behind.
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(500)) {
            delete server;
            return false;
        }
        QLocalServer::removeServer(name_);
        if (!server->listen(name_)) {
            delete server;
            return false;
        }
    }
    server_ = server;
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

bool SingleInstance::isListening() const { return server_ && server_->isListening(); }

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kClientTimeoutMs, socket, [socket] { socket->abort(); socket->deleteLater(); });
        if (socket->bytesAvailable() > 0) read(socket);
    }
}

void SingleInstance::read(QLocalSocket* socket) {
    // The request is read whole: a partial line waits for the rest.
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequestBytes) socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(kMaxRequestBytes);
    socket->disconnect(this);
    const std::optional<Request> request = decode(line.trimmed());
    if (!request) {
        socket->abort();
        return;
    }
    socket->write(kAnswer);
    socket->flush();
    socket->disconnectFromServer();
    emit requestReceived(*request);
}

}  // namespace scrivola
