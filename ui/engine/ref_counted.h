// Intrusive reference counting for the browser-engine layer's objects: an object starts with no
// owner, every RefPtr to it holds one count, and it deletes itself when the last one lets go.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>

namespace bzweb {

// Interfaces derive from it virtually, so that a class implementing several of them (a client that
// is also its own life-span and request handler) still has a single count.
class RefCounted {
public:
    void AddRef() const { refs_.fetch_add(1, std::memory_order_relaxed); }
    // True when this call released the last reference (the object is gone then).
    bool Release() const {
        if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete this;
            return true;
        }
        return false;
    }
    bool HasOneRef() const { return refs_.load(std::memory_order_acquire) == 1; }
    bool HasAtLeastOneRef() const { return refs_.load(std::memory_order_acquire) > 0; }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

private:
    mutable std::atomic<int> refs_{0};
};

template <class T>
class RefPtr {
public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) {}
    RefPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    RefPtr(const RefPtr& o) : RefPtr(o.p_) {}
    RefPtr(RefPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U>
    RefPtr(const RefPtr<U>& o) : RefPtr(o.get()) {}
    template <class U>
    RefPtr(RefPtr<U>&& o) noexcept : p_(o.detach()) {}
    ~RefPtr() {
        if (p_) p_->Release();
    }

    RefPtr& operator=(RefPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() { RefPtr().swap(*this); }
    void swap(RefPtr& o) noexcept { std::swap(p_, o.p_); }
    // Hands the reference over to the caller without releasing it.
    T* detach() { return std::exchange(p_, nullptr); }

private:
    T* p_ = nullptr;
};

template <class T, class U>
bool operator==(const RefPtr<T>& a, const RefPtr<U>& b) { return a.get() == b.get(); }
template <class T>
bool operator==(const RefPtr<T>& a, std::nullptr_t) { return a.get() == nullptr; }

template <class T, class... Args>
RefPtr<T> MakeRef(Args&&... args) {
    return RefPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace bzweb
