#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace scrivola {

class SignatureStorageService;

// The services of one window, handed to its AppViewModel; every PDF tab of the window uses them.
class ServiceContainer : public QObject {
    Q_OBJECT
public:
    // signatureFolder: the base folder of the signature store; empty for the user's application-support folder.
    explicit ServiceContainer(const QString& signatureFolder = {}, QObject* parent = nullptr);
    ~ServiceContainer() override;

    SignatureStorageService* signatureStorage() const { return signatureStorage_.get(); }

private:
    std::unique_ptr<SignatureStorageService> signatureStorage_;
};

}  // namespace scrivola
