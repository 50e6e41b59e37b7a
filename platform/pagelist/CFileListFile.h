// The base of every record a catalogue list stores: the record's path, its one-byte object type and the
// payload bytes its subclass points at. The list stores copies of records and rebuilds objects from page
// bytes through the factory it was opened with; a record object is owned by whoever made it and is not
// locked (callers serialise their own use of one object).
#pragma once

#include "pagelist/CFileListOffset.h"
#include "win/WideString.h"

#include <cstddef>
#include <cstdint>

class CFileListInternal;
class CFileListPage;

class CFileListFile
{
public:
    explicit CFileListFile(WString path = {}) : Path(std::move(path)) {}
    CFileListFile(const CFileListFile&) = default;
    CFileListFile& operator=(const CFileListFile&) = default;
    virtual ~CFileListFile() = default;

    // Writes the payload over the stored bytes of the record at `at`; false when the stored payload has
    // another length, which would overrun the entry. The caller holds the page's data lock.
    bool Save(const CFileListPage& page, const CFileListOffset& at) const;
    // Fills the record from the entry at `at` in `page` under the page's data lock. Throws
    // ERROR_FILE_CORRUPT when there is no entry there or its payload length is not the record's.
    void Load(CFileListPage& page, const CFileListOffset& at);
    // Changes the stored type byte of the object-page entry at `at`; true when it changed. The caller
    // holds the page's data lock.
    bool SetObjectType(std::uint8_t type, const CFileListPage& page, const CFileListOffset& at) const;

    // Takes over the flags of a full type byte when it is valid for the class.
    virtual bool AcceptObjectType(std::uint8_t) { return false; }
    virtual std::uint8_t GetObjectType(bool withFlags) const = 0;
    virtual const void* GetData() const = 0;
    void* GetData() { return const_cast<void*>(static_cast<const CFileListFile*>(this)->GetData()); }
    virtual std::size_t GetDataSize() const = 0;

    // Index order: true when this record sorts before `other` in index `index`. The list itself orders
    // its indexes through the ordering of its list type, which reads stored records in place.
    virtual bool LessThan(const CFileListFile& other, bool collate, int index) const = 0;
    // Whether the record enters index `index`; the list enters it into every index by default.
    virtual bool QueryInsert(int) const { return true; }
    // Called once for each index the record entered, after it entered all of them; the list is locked.
    // May append and search the list. A thrown Win32 error number undoes the whole append.
    virtual void PostInsert(CFileListInternal&, const CFileListOffset&, int) {}

    const WString& GetPath() const { return Path; }

protected:
    WString Path;

private:
    // Fills the record from an object-page entry whose bounds the caller has checked; false when the
    // stored payload length is not the record's.
    bool LoadEntry(const unsigned char* entry);
};
