// Counted host objects and the handles on them. A CCounted object starts with no references and is
// deleted when the last owning handle goes. A handle made with NonOwning refers to an object that the
// handle never counts or deletes (a static object, say). Counts change atomically, so handles on one
// object may be copied and dropped on several threads; a single handle is not to be shared unguarded.
#pragma once

#include <atomic>
#include <utility>

class CCounted
{
public:
    CCounted() = default;
    CCounted(const CCounted&) = delete;
    CCounted& operator=(const CCounted&) = delete;
    virtual ~CCounted() = default;

    void AddRef() const { Count.fetch_add(1, std::memory_order_relaxed); }
    void Release() const
    {
        if (Count.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    long UseCount() const { return Count.load(); }

private:
    mutable std::atomic<long> Count{0};
};

template <class T, int N> class CSet
{
public:
    class pointer
    {
    public:
        pointer() = default;
        pointer(T* object) : Object(object), Owning(true) { Acquire(); }
        static pointer NonOwning(T* object)
        {
            pointer p;
            p.Object = object;
            return p;
        }
        pointer(const pointer& other) : Object(other.Object), Owning(other.Owning) { Acquire(); }
        pointer(pointer&& other) noexcept
            : Object(std::exchange(other.Object, nullptr)), Owning(std::exchange(other.Owning, false))
        {
        }
        pointer& operator=(pointer other) noexcept
        {
            std::swap(Object, other.Object);
            std::swap(Owning, other.Owning);
            return *this;
        }
        ~pointer() { release(); }

        // Drops the reference now; the handle is empty afterwards.
        void release()
        {
            if (Object && Owning)
                Object->Release();
            Object = nullptr;
            Owning = false;
        }

        T* get() const { return Object; }
        T* operator->() const { return Object; }
        T& operator*() const { return *Object; }
        explicit operator bool() const { return Object != nullptr; }
        bool operator==(const pointer& other) const { return Object == other.Object; }

    private:
        void Acquire()
        {
            if (Object && Owning)
                Object->AddRef();
        }

        T* Object = nullptr;
        bool Owning = false;
    };
};
