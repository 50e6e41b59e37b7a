// Record handles: counted references to one record inside a page of a catalogue list. Copies share one
// state that remembers where the record lies, loads the record object from its page on first use and
// owns it; CFileListPointer also writes a changed (Dirty) record back into its page when a handle goes.
// Handles may be copied, released and loaded on several threads; one handle object is used by one thread.
#pragma once

#include "pagelist/CFileListInternal.h"
#include "pagelist/CFileListPage.h"
#include "pagelist/ListErrors.h"
#include "win/Allocation.h"
#include "win/CriticalSection.h"
#include "win/WinError.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

// The state that the copies of one handle share.
struct CFileListPointerState
{
    CFileListPointerState(CFileListInternal& list, const CFileListOffset& at)
        : List(&list), Offset(at), Page(list.GetPage(at.Page))
    {
    }

    std::atomic<std::uint32_t> ShareCount{1};
    CFileListInternal* List;
    CFileListOffset Offset;
    CFileListPage Page;
    std::atomic<CFileListFile*> LoadedRecord{nullptr};
    // When set, the last release leaves LoadedRecord alive.
    bool NotOwned = false;
    // When set, the record has changed and the next CFileListPointer that goes writes it back.
    std::atomic<bool> Dirty{false};
    // Serialises the loading of LoadedRecord.
    CCriticalSection Lock;
};

template <class T> class CFileListBasicPointer
{
public:
    CFileListBasicPointer() = default;
    // A handle on the record at `at` of `list`. Throws ERROR_NOT_ENOUGH_MEMORY when the state cannot be
    // allocated.
    explicit CFileListBasicPointer(CFileListInternal& list, const CFileListOffset& at = {})
        : State(NewNoThrow<CFileListPointerState>(list, at))
    {
        if (!State)
            ThrowWin32Error(ERROR_NOT_ENOUGH_MEMORY);
    }
    CFileListBasicPointer(const CFileListBasicPointer& other) : State(other.State)
    {
        if (State)
            State->ShareCount.fetch_add(1, std::memory_order_relaxed);
    }
    CFileListBasicPointer(CFileListBasicPointer&& other) noexcept : State(std::exchange(other.State, nullptr))
    {
    }
    CFileListBasicPointer& operator=(const CFileListBasicPointer& other)
    {
        if (State != other.State)
        {
            CFileListBasicPointer copy(other);
            std::swap(State, copy.State);
        }
        return *this;
    }
    CFileListBasicPointer& operator=(CFileListBasicPointer&& other) noexcept
    {
        if (this != &other)
        {
            Release();
            State = std::exchange(other.State, nullptr);
        }
        return *this;
    }
    virtual ~CFileListBasicPointer() { Release(); }

    bool IsEmpty() const { return State == nullptr; }
    const CFileListOffset& GetOffset() const { return State->Offset; }
    CFileListPage& GetPage() const { return State->Page; }
    void SetDirty() { State->Dirty = true; }
    void SetNotOwned() { State->NotOwned = true; }

    // The record, loaded from its page the first time. Throws ERROR_FILE_CORRUPT when the page is not of
    // the kind expected (an object page when expectObjectPage) or holds no record there, and
    // ERROR_NOT_ENOUGH_MEMORY when no record object can be made.
    CFileListFile* GetObject(bool expectObjectPage) const
    {
        if (!State)
            ThrowWin32Error(ERROR_INVALID_HANDLE);
        if (CFileListFile* loaded = State->LoadedRecord.load(std::memory_order_acquire))
            return loaded;
        std::unique_ptr<CFileListFile> record;
        if (State->Page.IsObjectPage() != expectObjectPage)
            ThrowWin32Error(ERROR_FILE_CORRUPT);
        if (expectObjectPage)
            record.reset(State->List->CreateObject(State->Page.GetObjectType(State->Offset)));
        else
            record.reset(State->List->CreatePointer(PlainRecordSize));
        if (!record)
            ThrowWin32Error(ERROR_NOT_ENOUGH_MEMORY);
        CSingleLock lock(&State->Lock, true);
        // Another thread may have loaded it meanwhile; the object made here then goes.
        if (CFileListFile* loaded = State->LoadedRecord.load(std::memory_order_acquire))
            return loaded;
        record->Load(State->Page, State->Offset);
        State->LoadedRecord.store(record.get(), std::memory_order_release);
        return record.release();
    }
    // The record as T; for handles on catalogue records.
    T* Get() const { return static_cast<T*>(GetObject(true)); }

protected:
    static constexpr std::size_t PlainRecordSize = 72;

    void Release()
    {
        if (State && State->ShareCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
        {
            if (!State->NotOwned)
                delete State->LoadedRecord.load();
            delete State;
        }
        State = nullptr;
    }

    CFileListPointerState* State = nullptr;
};

template <class T> class CFileListPointer : public CFileListBasicPointer<T>
{
    using Base = CFileListBasicPointer<T>;

public:
    using Base::Base;
    CFileListPointer(const CFileListPointer&) = default;
    CFileListPointer(CFileListPointer&&) noexcept = default;
    CFileListPointer& operator=(const CFileListPointer& other)
    {
        if (this != &other)
        {
            WriteBack();
            Base::operator=(other);
        }
        return *this;
    }
    // A changed record is written back before this handle lets go of it.
    CFileListPointer& operator=(CFileListPointer&& other) noexcept
    {
        if (this != &other)
        {
            WriteBack();
            Base::operator=(std::move(other));
        }
        return *this;
    }
    ~CFileListPointer() override { WriteBack(); }

private:
    void WriteBack() noexcept
    {
        CFileListPointerState* state = this->State;
        if (!state || !state->Dirty.exchange(false))
            return;
        CFileListFile* record = state->LoadedRecord.load();
        if (!record)
            return;
        try
        {
            CSingleLock lock(state->Page.DataLock(), true);
            if (record->Save(state->Page, state->Offset))
                state->Page.Written();
        }
        catch (std::uint32_t)
        {
            // The record was loaded from this offset, so the page still holds it; nothing to report to.
        }
    }
};

// A handle on the record at an iterator's position.
template <class T> CFileListPointer<T> GetPointer(const CFileListInternal::iterator& at)
{
    return CFileListPointer<T>(*at.GetList(), at.CheckOffset());
}
