#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace scrivola {

class SignatureStorageService;

// The services of one window (possibly shared with other windows), handed to its AppViewModel; every PDF tab of the window uses them.
class ServiceContainer : public QObject {
    Q_OBJECT
public:
    // signatureFolder: the base folder of the signature store; empty for the user's application-support folder.
    explicit ServiceContainer(const QString& signatureFolder = {}, QObject* parent = nullptr);
    // A container over a store that several windows share (the application keeps one store, so
    // that a signature added in one window is offered in every other).
    explicit ServiceContainer(std::shared_ptr<SignatureStorageService> signatureStorage, QObject* parent = nullptr);
    ~ServiceContainer() override;

    SignatureStorageService* signatureStorage() const { return signatureStorage_.get(); }

private:
    std::shared_ptr<SignatureStorageService> signatureStorage_;
};

}  // namespace scrivola
