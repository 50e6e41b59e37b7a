// Counted objects and the pointers that hold them. A counted object (RefCount<T>) starts with a count of 0,
// is owned by nobody until a strong pointer (SmartPtr<T>) takes it, and deletes itself when the last strong
// pointer lets go; weak pointers (ParentPtr<T>) keep no count and are set to null when their target dies.
// Counts change under the object's own mutex; weak pointers are registered, cleared and turned into strong
// pointers under one process-wide mutex, so strong and weak pointers to one object may be copied and dropped
// on different threads. One pointer variable must not be assigned from two threads at once.
#pragma once

#include "mxf/Diagnostics.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace mxf
{

template <class T> class SmartPtr;
template <class T> class ParentPtr;

// Guards every weak-pointer list and the target of every weak pointer. A dying object clears its weak
// pointers under it before its counting part goes away, which is what makes a weak pointer safe to read and
// promote while its target dies on another thread.
std::mutex& WeakPointerLock();

template <class T> class IRefCount
{
public:
    virtual void Retain() = 0;
    virtual void Release() = 0;
    virtual T* OwnerObject() = 0;
    virtual IRefCount<T>* CounterObject() = 0;
    virtual void RegisterParentPtr(ParentPtr<T>* weak) = 0;
    virtual void UnregisterParentPtr(ParentPtr<T>* weak) = 0;
    virtual void ClearParentPtrs() = 0;
    virtual void SetFlag(bool flag) = 0;
    virtual bool GetFlag() = 0;
    virtual ~IRefCount() = default;
};

template <class T> class RefCount : public IRefCount<T>
{
public:
    RefCount() = default;
    // A copy is another object: it starts uncounted, unflagged and without weak pointers.
    RefCount(const RefCount&) : RefCount() {}
    RefCount& operator=(const RefCount&) { return *this; }
    ~RefCount() override { ClearWeakPointers(); }

    void Retain() override
    {
        std::lock_guard guard(Lock);
        ++Count;
    }
    // A count that is already 0 or below also ends in deletion, as an adopted-then-dropped object must.
    void Release() override
    {
        {
            std::lock_guard guard(Lock);
            if (--Count > 0)
                return;
            Dying = true;
        }
        DeleteOwner();
    }
    // Drops one count unless it is the last; true when it dropped it. The last holder keeps its count, so
    // that it can free the object where that suits it (a release that must not nest or allocate).
    bool ReleaseUnlessLast()
    {
        std::lock_guard guard(Lock);
        if (Count <= 1)
            return false;
        --Count;
        return true;
    }
    T* OwnerObject() override { return static_cast<T*>(this); }
    IRefCount<T>* CounterObject() override { return this; }
    void RegisterParentPtr(ParentPtr<T>* weak) override
    {
        std::lock_guard guard(WeakPointerLock());
        AddWeak(weak);
    }
    void UnregisterParentPtr(ParentPtr<T>* weak) override
    {
        bool found;
        {
            std::lock_guard guard(WeakPointerLock());
            found = RemoveWeak(weak);
        }
        if (!found)
            ReportMissingWeak(weak, OwnerObject());
    }
    void ClearParentPtrs() override { ClearWeakPointers(); }
    void SetFlag(bool flag) override { Flag.store(flag, std::memory_order_relaxed); }
    bool GetFlag() override { return Flag.load(std::memory_order_relaxed); }

    virtual RefCount<T>* Self() { return this; }
    virtual void DeleteOwner() { delete OwnerObject(); }

private:
    friend class SmartPtr<T>;
    friend class ParentPtr<T>;

    // Not virtual: a weak pointer may promote while the owner's destructor runs, when only the counting
    // part is still whole.
    bool RetainUnlessDying()
    {
        std::lock_guard guard(Lock);
        if (Dying)
            return false;
        ++Count;
        return true;
    }
    // The three below need WeakPointerLock held.
    void AddWeak(ParentPtr<T>* weak)
    {
        if (!WeakPointers)
            WeakPointers = std::make_unique<WeakPointerSet>();
        WeakPointers->insert(weak);
    }
    bool RemoveWeak(ParentPtr<T>* weak)
    {
        if (!WeakPointers)
            return false;
        auto entry = WeakPointers->find(weak);
        if (entry == WeakPointers->end())
            return false;
        WeakPointers->erase(entry);
        return true;
    }
    void ClearWeakPointers()
    {
        std::lock_guard guard(WeakPointerLock());
        if (!WeakPointers)
            return;
        for (ParentPtr<T>* weak : *WeakPointers)
            weak->Target.store(nullptr, std::memory_order_release);
        WeakPointers.reset();
    }
    static void ReportMissingWeak(const void* weak, const void* object)
    {
        DiagnosticError("Tried to clear ParentPtr(%p) from %p but that ParentPtr does not exist\n", weak,
                        object);
    }

    std::int32_t Count = 0;
    bool Dying = false; // set when the count reached 0; from then on no weak pointer can promote
    // A multiset, one entry a registration: a parent of many children drops each child's weak pointer in
    // constant time, where a search of a list would make freeing a large tree quadratic.
    using WeakPointerSet = std::unordered_multiset<ParentPtr<T>*>;
    std::unique_ptr<WeakPointerSet> WeakPointers;
    std::atomic<bool> Flag{false};
    std::mutex Lock;
};

template <class T> class SmartPtr
{
public:
    SmartPtr() = default;
    SmartPtr(T* target) // adopts: a fresh object's count goes from 0 to 1
    {
        if (target)
            Counter(target)->Retain();
        Target.store(target, std::memory_order_release);
    }
    SmartPtr(const SmartPtr& other) : SmartPtr(other.GetPtr()) {}
    SmartPtr(const ParentPtr<T>& weak); // empty when the weak pointer's target has died
    virtual ~SmartPtr()
    {
        if (T* old = Target.exchange(nullptr, std::memory_order_acq_rel))
            Counter(old)->Release();
    }

    // Assigning a flagged object changes nothing: the flag lets an application veto re-seating.
    SmartPtr& operator=(T* target)
    {
        if (!target || !Counter(target)->GetFlag())
            Assign(target);
        return *this;
    }
    SmartPtr& operator=(const SmartPtr& other) { return *this = other.GetPtr(); }
    SmartPtr& operator=(const ParentPtr<T>& weak) { return *this = SmartPtr(weak); }

    // Retains before it releases, so assigning a pointer its own target never lets the count reach 0.
    virtual void Assign(T* target)
    {
        if (target)
            Counter(target)->Retain();
        T* old = Target.exchange(target, std::memory_order_acq_rel);
        if (old)
            Counter(old)->Release();
    }

    T* GetPtr() const { return Target.load(std::memory_order_acquire); }
    // Empties the pointer without releasing: the count it held is the caller's to release.
    T* Detach() { return Target.exchange(nullptr, std::memory_order_acq_rel); }
    T* operator->() const { return GetPtr(); }
    T& operator*() const { return *GetPtr(); }
    explicit operator bool() const { return GetPtr() != nullptr; }
    friend bool operator==(const SmartPtr& a, const SmartPtr& b) { return a.GetPtr() == b.GetPtr(); }

protected:
    static RefCount<T>* Counter(T* target) { return target; }

    // Atomic because a dying target clears the field of a weak pointer from whichever thread drops it.
    std::atomic<T*> Target{nullptr};

private:
    friend class RefCount<T>;
};

template <class T> class ParentPtr : public SmartPtr<T>
{
public:
    ParentPtr() = default;
    ParentPtr(const SmartPtr<T>& strong) { Retarget(strong.GetPtr()); }
    ParentPtr(const ParentPtr& other) : SmartPtr<T>() { Retarget(other.GetPtr()); }
    ~ParentPtr() override { Retarget(nullptr); }

    using SmartPtr<T>::operator=;
    ParentPtr& operator=(const ParentPtr& other)
    {
        SmartPtr<T>::operator=(other.GetPtr());
        return *this;
    }

    void Assign(T* target) override { Retarget(target); }
    // A weak pointer holds no count to hand over.
    T* Detach() = delete;

private:
    void Retarget(T* target)
    {
        T* old;
        bool missing = false;
        {
            std::lock_guard guard(WeakPointerLock());
            old = this->GetPtr();
            if (old)
                missing = !SmartPtr<T>::Counter(old)->RemoveWeak(this);
            // Registered before it points there: a registration that finds no memory leaves the pointer
            // empty, never pointing at a target that does not know it.
            this->Target.store(nullptr, std::memory_order_release);
            if (target)
            {
                SmartPtr<T>::Counter(target)->AddWeak(this);
                this->Target.store(target, std::memory_order_release);
            }
        }
        if (missing)
            RefCount<T>::ReportMissingWeak(this, old);
    }
};

template <class T> SmartPtr<T>::SmartPtr(const ParentPtr<T>& weak)
{
    std::lock_guard guard(WeakPointerLock());
    T* target = weak.GetPtr();
    if (target && Counter(target)->RetainUnlessDying())
        Target.store(target, std::memory_order_release);
}

} // namespace mxf
