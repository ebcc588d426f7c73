#include "workspace/ServiceContainer.h"

#include "signature/SignatureStorageService.h"

namespace scrivola {

ServiceContainer::ServiceContainer(const QString& signatureFolder, QObject* parent)
    : QObject(parent), signatureStorage_(std::make_unique<SignatureStorageService>(signatureFolder)) {}

ServiceContainer::~ServiceContainer() = default;

}  // namespace scrivola
