#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace Halvo::Ref {

// The count value that marks an object as not counted: members of other objects, locals and statics
// carry it, so that references to them never delete them.
inline constexpr std::uint32_t NotCounted = 0xFFFFFFFFu;

template <class T, class... Args>
T* New(Args&&... args);

// Base of every shared object. An object made with Ref::New starts with a count of 0 (the first
// counted reference raises it to 1); every other object starts not counted.
class Object {
public:
    Object() noexcept : refCount(creationMarker) { creationMarker = NotCounted; }
    // A copy is a new object: it is not counted unless it was made by Ref::New itself.
    Object(const Object&) noexcept : Object() {}
    Object& operator=(const Object&) noexcept { return *this; }
    virtual ~Object() = default;

    void AddRef() noexcept {
        if (refCount != NotCounted) {
            ++refCount;
        }
    }

    void Release() noexcept {
        if (refCount != NotCounted && refCount > 0) {
            --refCount;
        }
        if (refCount == 0) {
            delete this;
        }
    }

    std::uint32_t refCount;

private:
    template <class T, class... Args>
    friend T* New(Args&&... args);

    // Set to 0 by Ref::New just before construction; taken and reset by the constructor above.
    static inline std::uint32_t creationMarker = NotCounted;
};

// Counted creation: the one way to make an object that counted references may delete.
template <class T, class... Args>
T* New(Args&&... args) {
    Object::creationMarker = 0;
    try {
        return new T(std::forward<Args>(args)...);
    } catch (...) {
        // The allocation itself failed before any Object was constructed.
        Object::creationMarker = NotCounted;
        throw;
    }
}

// A counted reference: taking a pointer or copying acquires, replacing or destroying releases.
template <class T>
class Ptr {
public:
    Ptr() noexcept = default;
    Ptr(std::nullptr_t) noexcept {}
    Ptr(T* object) noexcept : pointer(object) { Acquire(); }
    Ptr(const Ptr& other) noexcept : pointer(other.pointer) { Acquire(); }
    Ptr(Ptr&& other) noexcept : pointer(std::exchange(other.pointer, nullptr)) {}
    template <class U>
    Ptr(const Ptr<U>& other) noexcept : pointer(other.Get()) {
        Acquire();
    }
    ~Ptr() { Drop(); }

    Ptr& operator=(const Ptr& other) noexcept {
        Assign(other.pointer);
        return *this;
    }
    Ptr& operator=(Ptr&& other) noexcept {
        if (this != &other) {
            T* old = std::exchange(pointer, std::exchange(other.pointer, nullptr));
            if (old) {
                old->Release();
            }
        }
        return *this;
    }
    Ptr& operator=(T* object) noexcept {
        Assign(object);
        return *this;
    }
    Ptr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    void Reset() noexcept {
        T* old = std::exchange(pointer, nullptr);
        if (old) {
            old->Release();
        }
    }

    T* Get() const noexcept { return pointer; }
    T* operator->() const noexcept { return pointer; }
    T& operator*() const noexcept { return *pointer; }
    explicit operator bool() const noexcept { return pointer != nullptr; }

private:
    void Acquire() noexcept {
        if (pointer) {
            pointer->AddRef();
        }
    }
    void Drop() noexcept {
        if (pointer) {
            pointer->Release();
        }
    }
    // Acquire the new object before releasing the old one, so that assigning an object to the
    // reference that already holds it never deletes it.
    void Assign(T* object) noexcept {
        if (object) {
            object->AddRef();
        }
        T* old = std::exchange(pointer, object);
        if (old) {
            old->Release();
        }
    }

    T* pointer = nullptr;
};

template <class A, class B>
bool operator==(const Ptr<A>& a, const Ptr<B>& b) noexcept {
    return a.Get() == b.Get();
}
template <class A, class B>
bool operator==(const Ptr<A>& a, const B* b) noexcept {
    return a.Get() == b;
}
template <class A>
bool operator==(const Ptr<A>& a, std::nullptr_t) noexcept {
    return a.Get() == nullptr;
}

} // namespace Halvo::Ref
