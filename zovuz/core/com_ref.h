// The lifetime of COM objects (and of anything else counted by AddRef/Release): one way for the
// whole library to let go of a reference and forget it, and a holder for a reference that a
// function owns until it returns or hands it on.
//
// Header only and free of <windows.h>: it calls nothing but the object's own Release (or the
// release function it is given), so portable headers and tests may use it.
#pragma once

// Releases Object if it is set and leaves it null.
template <typename T>
inline void ReleaseAndClear(T *&Object)
{
    if (Object != nullptr) Object->Release();
    Object = nullptr;
}

// The same through a release function, for the call layers that count what they release
// (D3D11Texture2D_Release, Direct3D9_ReleaseObject, ...). The function sees only non-null objects.
template <typename T, typename ReleaseFunction>
inline void ReleaseAndClear(T *&Object, ReleaseFunction Release)
{
    if (Object != nullptr) Release(Object);
    Object = nullptr;
}

// One owned reference. It is released when the holder goes, is reset or is filled again through
// Put; a move hands the reference on and leaves the source empty. Never copied: a copy would
// need an AddRef that nobody asked for.
template <typename T>
class ComRef
{
public:
    ComRef() = default;
    explicit ComRef(T *Adopted) : Object_(Adopted) {}  // takes over the caller's reference
    ComRef(ComRef &&Other) noexcept : Object_(Other.Detach()) {}
    ComRef &operator=(ComRef &&Other) noexcept
    {
        if (this != &Other) Reset(Other.Detach());
        return *this;
    }
    ComRef(const ComRef &) = delete;
    ComRef &operator=(const ComRef &) = delete;
    ~ComRef() { ReleaseAndClear(Object_); }

    T *Get() const { return Object_; }
    T *operator->() const { return Object_; }
    explicit operator bool() const { return Object_ != nullptr; }

    // For a call that returns a new reference through T **: the old one is released first.
    T **Put()
    {
        ReleaseAndClear(Object_);
        return &Object_;
    }
    // The same for calls that take void ** (QueryInterface, CoCreateInstance).
    void **PutVoid() { return reinterpret_cast<void **>(Put()); }

    // Releases the held reference and takes over Adopted.
    void Reset(T *Adopted = nullptr)
    {
        T *old = Object_;
        Object_ = Adopted;
        if (old != nullptr) old->Release();
    }
    // Gives the reference to the caller, who releases it.
    T *Detach()
    {
        T *object = Object_;
        Object_ = nullptr;
        return object;
    }

private:
    T *Object_ = nullptr;
};
