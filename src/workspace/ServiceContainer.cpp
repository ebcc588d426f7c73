#include "workspace/ServiceContainer.h"

#include "signature/SignatureStorageService.h"

namespace scrivola {

ServiceContainer::ServiceContainer(const QString& signatureFolder, QObject* parent)
    : QObject(parent), signatureStorage_(std::make_shared<SignatureStorageService>(signatureFolder)) {}

ServiceContainer::ServiceContainer(std::shared_ptr<SignatureStorageService> signatureStorage, QObject* parent)
    : QObject(parent), signatureStorage_(signatureStorage ? std::move(signatureStorage) : std::make_shared<SignatureStorageService>()) {}

ServiceContainer::~ServiceContainer() = default;

}  // namespace scrivola
