#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QLocalServer;
class QLocalSocket;

namespace scrivola {

// One running Scrivola per user. The first process listens on a local socket;
// a later launch hands its request (files to open, or a new window) to it and exits.
//
// A request travels as one line of compact JSON, {"files": [absolute paths], "newWindow": bool},
// and is answered "ok\n" once the running instance has taken it, so the sender knows it was not
// lost. Only the same user reaches the socket: it lives in the user's private runtime folder.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    struct Request {
        QStringList files;
        bool newWindow = false;
    };
    // A request's size limit: a command line of thousands of paths fits easily.
    static constexpr qint64 kMaxRequestBytes = 4 * 1024 * 1024;

    // name: the socket's name; empty for defaultName().
    explicit SingleInstance(const QString& name = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The user's socket: "scrivola-<uid>.socket" in the runtime folder ($XDG_RUNTIME_DIR), or in a
    // private folder of the temporary folder when there is none. SCRIVOLA_INSTANCE_NAME replaces it (tests, benchmarks).
    static QString defaultName();
    const QString& name() const { return name_; }

    // Hands the request to a running instance; true when it confirmed taking it.
    bool forward(const Request& request, int timeoutMs = 3000) const;
    // Becomes the running instance. A socket left behind by a process that is gone is removed
    // first. False when another instance answers on the name (or the socket cannot be made).
    bool listen();
    bool isListening() const;

    static QByteArray encode(const Request& request);
    // Nothing for text that is not a well-formed request; relative paths are dropped.
    static std::optional<Request> decode(const QByteArray& line);

signals:
    void requestReceived(const scrivola::SingleInstance::Request& request);

private:
    void accept();
    void read(QLocalSocket* socket);

    QString name_;
    QLocalServer* server_ = nullptr;
};

}  // namespace scrivola

Q_DECLARE_METATYPE(scrivola::SingleInstance::Request)
