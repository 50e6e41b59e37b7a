// An operation on a tape file system: its opcode, the volume and replica it works on, the block buffer
// its drive reads fill, and eight-byte parameter slots through which the host and the file system pass
// an item's or a restore's values. The file system makes operations for the host (CreateOperation); the
// host frees them through the virtual destructor, which frees the block buffer too.
#pragma once

#include "vnservice/CArchiveFileSystem.h"
#include "vnservice/CFileName.h"
#include "vnservice/COperation.h"

#include <array>
#include <bit>
#include <cstdint>

class CBlockBuffer;
class CUserFragment;
class CVantrelFragmentImpl;
class CGetOperationContext;
class CFileListInternal;

class CArchiveFileSystemOperation : public COperation, public CPersistable
{
public:
    CArchiveFileSystemOperation(CPriority priority, CResourceAffinity affinity, CVolumePointer volume,
                                CRequestPointer request);
    ~CArchiveFileSystemOperation() override;

    WString GetTypeName() const override { return u"ArchiveFileSystemOperation"; }

    void ClearParameters() { Parameters.fill(0); }

    // The parameter slots, 1 to 7, by the names of their uses.
    std::uint64_t& Slot(int index) { return Parameters[static_cast<std::size_t>(index)]; }
    std::uint64_t Slot(int index) const { return Parameters[static_cast<std::size_t>(index)]; }

    std::uint32_t ItemSubCode() const { return static_cast<std::uint32_t>(Slot(1)); }
    void SetItemSubCode(std::uint32_t code) { Slot(1) = code; }
    CUserFragment* ItemFragment() const { return PointerIn<CUserFragment>(1); }
    void SetItemFragment(CUserFragment* fragment) { Slot(1) = std::bit_cast<std::uintptr_t>(fragment); }
    std::uint64_t& ItemPosition() { return Slot(2); }
    std::uint64_t& ItemSize() { return Slot(3); }
    std::uint64_t& ItemCounter() { return Slot(4); }
    std::uint64_t& ItemFileSize() { return Slot(6); }
    std::uint64_t& ItemFileStart() { return Slot(7); }

    // A scan (opcode 11) carries its context and the volume's catalogue list.
    CGetOperationContext* ScanContext() const { return PointerIn<CGetOperationContext>(1); }
    void SetScanContext(CGetOperationContext* context) { Slot(1) = std::bit_cast<std::uintptr_t>(context); }
    CFileListInternal* ScanCatalogue() const { return PointerIn<CFileListInternal>(2); }
    void SetScanCatalogue(CFileListInternal* list) { Slot(2) = std::bit_cast<std::uintptr_t>(list); }

    CUserFragment* UserFragment() const { return PointerIn<CUserFragment>(2); }
    void SetUserFragment(CUserFragment* fragment) { Slot(2) = std::bit_cast<std::uintptr_t>(fragment); }
    std::uint64_t& RestoreStart() { return Slot(3); }
    bool EarlyResult() const { return Slot(6) != 0; }
    void SetEarlyResult(bool early) { Slot(6) = early ? 1 : 0; }
    CVantrelFragmentImpl* SourceFragment() const { return PointerIn<CVantrelFragmentImpl>(1); }
    void SetSourceFragment(CVantrelFragmentImpl* fragment)
    {
        Slot(1) = std::bit_cast<std::uintptr_t>(fragment);
    }
    std::uint64_t& FragmentOffset() { return Slot(2); }

    std::uint32_t Opcode = 0;
    std::uint32_t ReplicaIndex = 0;
    CBlockBuffer* BlockBuffer = nullptr;
    CVolumePointer Volume;
    CFileName AnchoredFileName;
    CPriority Priority;
    CResourceAffinity Affinity;
    CRequestPointer Request;

private:
    template <class T> T* PointerIn(int index) const
    {
        return std::bit_cast<T*>(static_cast<std::uintptr_t>(Slot(index)));
    }

    std::array<std::uint64_t, 8> Parameters{};
};
