#include "pdf/engine/EngineContext.h"

#include <array>
#include <mutex>
#include <thread>

namespace scrivola::engine {
namespace {

constexpr size_t kStoreLimit = size_t(256) << 20;

std::array<std::mutex, FZ_LOCK_MAX>& lockTable() {
    static std::array<std::mutex, FZ_LOCK_MAX> locks;
    return locks;
}

void lockEngine(void*, int lock) { lockTable()[size_t(lock)].lock(); }
void unlockEngine(void*, int lock) { lockTable()[size_t(lock)].unlock(); }

// The engine reports through exceptions; nothing goes to the console.
void silent(void*, const char*) {}

void silence(fz_context* ctx) {
    fz_set_error_callback(ctx, silent, nullptr);
    fz_set_warning_callback(ctx, silent, nullptr);
}

struct Base {
    fz_locks_context locks{nullptr, lockEngine, unlockEngine};
    fz_context* ctx = nullptr;
    std::thread::id owner;
    Base() {
        ctx = fz_new_context(nullptr, &locks, kStoreLimit);
        if (!ctx) throw PDFEngineError(PDFEngineError::Kind::operationFailed, "Cannot create the PDF engine");
        silence(ctx);
        owner = std::this_thread::get_id();
    }
    // Never destroyed: documents and display lists may outlive static destruction order.
};

Base& base() {
    static Base* instance = new Base();
    return *instance;
}

struct ThreadClone {
    fz_context* ctx = nullptr;
    ~ThreadClone() {
        if (ctx) fz_drop_context(ctx);
    }
};

}  // namespace

fz_context* baseContext() { return base().ctx; }

fz_context* threadContext() {
    Base& b = base();
    if (std::this_thread::get_id() == b.owner) return b.ctx;
    thread_local ThreadClone clone;
    if (!clone.ctx) {
        clone.ctx = fz_clone_context(b.ctx);
        if (!clone.ctx) return nullptr;
        silence(clone.ctx);
    }
    return clone.ctx;
}

IsolatedContext::IsolatedContext(size_t storeLimit) {
    ctx_ = fz_new_context(nullptr, nullptr, storeLimit);
    if (!ctx_) throw PDFEngineError(PDFEngineError::Kind::operationFailed, "Cannot create a PDF engine context");
    silence(ctx_);
}

IsolatedContext::~IsolatedContext() { fz_drop_context(ctx_); }

}  // namespace scrivola::engine
