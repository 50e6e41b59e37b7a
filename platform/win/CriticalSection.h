// Synchronisation objects with the semantics the plug-ins were written against: a critical section is
// recursive (the owning thread may enter it again), and a single lock releases what it holds when it goes.
// CSingleLock is used by one thread; CCriticalSection may be shared between threads.
#pragma once

#include <mutex>

class CSyncObject
{
public:
    virtual ~CSyncObject() = default;
    virtual bool Lock() = 0;
    virtual bool Unlock() = 0;
};

class CCriticalSection : public CSyncObject
{
public:
    CCriticalSection() = default;
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    bool Lock() override
    {
        Mutex.lock();
        return true;
    }
    bool Unlock() override
    {
        Mutex.unlock();
        return true;
    }

private:
    std::recursive_mutex Mutex;
};

class CSingleLock
{
public:
    explicit CSingleLock(CSyncObject* object, bool initialLock = false) : Object(object)
    {
        if (initialLock)
            Lock();
    }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;
    ~CSingleLock()
    {
        if (Locked)
            Unlock();
    }

    bool Lock()
    {
        if (!Locked && Object)
            Locked = Object->Lock();
        return Locked;
    }
    bool Unlock()
    {
        if (Locked)
            Locked = !Object->Unlock();
        return !Locked;
    }
    bool IsLocked() const { return Locked; }

private:
    CSyncObject* Object;
    bool Locked = false;
};
