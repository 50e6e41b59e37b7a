// The operations that every tape file system of these plug-ins carries with the same body: the hooks
// and notices of the host's interface, the type descriptor, the block buffer factory, the status hook,
// and the handlers that refuse the writing opcodes or complete opcode 20. A plug-in derives its file
// system from it and adds settings, operations and its own handlers. Driven by the host's operation
// thread, one call at a time; it takes no lock.
#pragma once

#include "frame/PluginTexts.h"
#include "vnservice/CArchiveFileSystem.h"
#include "win/Allocation.h"

#include <cstdint>

class CBlockBuffer;

class CTapeFileSystem : public CArchiveFileSystem
{
public:
    // `opsSource` is the source file name the handlers' errors carry. Hands the host the texts of the
    // file systems' error numbers (once per module), so that every error the file system raises reads.
    CTapeFileSystem(CSystem* system, CSet<CTraceLoggable, 0>::pointer traceSource, const CPluginTexts& texts,
                    const char* opsSource);

    WString GetFileSystemType() const override { return Texts.TypeName; }
    std::uint32_t GetMediumType() const override { return CTapeMedium::Type(); }
    std::uint32_t Hook09() override { return 0; }
    std::uint32_t Hook10(std::uint32_t) override { return 0; }
    CStatus Hook11() override { return CStatus::Success(); }
    std::uint64_t PadSizeEstimate(std::uint64_t, std::uint64_t, std::uint64_t n) override
    {
        return n + n / 4;
    }
    std::uint32_t Hook14() override { return 0; }
    bool Hook15() override { return false; }
    bool Hook16() override { return false; }
    std::uint32_t PostNotice600(std::uint64_t value) override;
    void PostNotice601(CVolumePointer volume, std::uint64_t value) override;
    void Hook19() override {}
    void NotifyVolume(CVolumePointer volume) override { volume.release(); }
    std::uint32_t Hook21() override { return 0; }
    std::uint32_t PostNotice602() override;
    std::uint32_t Hook23() override { return 0; }
    std::uint32_t Hook24() override { return 0; }
    CStatus Hook27() override { return CStatus::Success(); }
    bool Hook28() override { return false; }
    std::uint32_t Hook29() override { return 0; }
    std::uint64_t Hook30() override { return 0xFFFFFFFFFFFFFFFFULL; }
    std::uint64_t GetLastWrittenBlock(CMedium* medium) override;
    CStatus SetLastWrittenBlock(CMedium* medium, std::uint64_t block) override;
    std::uint32_t Hook33() override { return 0xFFFFFFFF; }
    bool Hook35() override { return false; }
    std::uint32_t GetBlockSize(std::uint32_t) override { return BlockSize; }
    bool Hook38() override { return false; }
    std::uint32_t Hook39(CFileName) override { return 0; }
    CStatus GetBlockParameters(CBlockParameters& record) override;
    std::uint32_t CheckMediumState(CMedium* medium) override;
    CStatus GetTypeDescriptor(std::uint32_t argument, FileSystemTypeDescriptor& descriptor) override;

    // Marks the volume recognised without reading the tape.
    CStatus AcceptVolume(CArchiveFileSystemOperation* operation) override;

    std::uint32_t Hook01() override { return 0; }
    bool HandleOperationStatus(COperation* operation, const CStatus& status) override;

    // The writing opcodes: refused in the first state, an unknown state after it.
    CStatus HandleOpcode3(CArchiveFileSystemOperation* operation) override { return Refuse(operation); }
    CStatus WriteUserFile(CArchiveFileSystemOperation* operation) override { return Refuse(operation); }
    CStatus WriteFragment(CArchiveFileSystemOperation* operation) override { return Refuse(operation); }
    CStatus HandleOpcode10(CArchiveFileSystemOperation* operation) override { return Refuse(operation); }
    CStatus HandleOpcode12(CArchiveFileSystemOperation* operation) override { return Refuse(operation); }
    CStatus HandleOpcode13(CArchiveFileSystemOperation* operation) override { return Refuse(operation); }
    CStatus HandleOpcode15(CArchiveFileSystemOperation* operation) override { return Refuse(operation); }
    CStatus WriteDirectory(CArchiveFileSystemOperation* operation) override { return Refuse(operation); }
    CStatus HandleOpcode17(CArchiveFileSystemOperation* operation) override { return Refuse(operation); }
    CStatus HandleOpcode18(CArchiveFileSystemOperation* operation) override { return Refuse(operation); }
    CStatus HandleOpcode19(CArchiveFileSystemOperation* operation) override { return Refuse(operation); }
    CStatus HandleOpcode20(CArchiveFileSystemOperation* operation) override;

    // A block buffer for a handler of `opcode`, in 512-byte units; null when memory runs out.
    virtual CBlockBuffer* CreateBlockBuffer(std::uint32_t opcode, CMedium* medium);

    // The failure for a state a handler does not know.
    CStatus UnknownState(std::uint32_t state, int line) const;
    // The failure of a handler of `source` whose operation's replica of the volume has no medium.
    static CStatus NoMedium(const char* source, int line, const CVolume& volume, std::uint32_t replica);

    const CPluginTexts& Texts;
    const char* OpsSource;
    CSystem* System;
    std::uint32_t BlockSize = 0;

protected:
    // A new operation of the plug-in's class for the host, owned by this file system and aimed at the
    // volume; null when memory runs out.
    template <class Operation>
    CArchiveFileSystemOperation* NewOperation(CPriority priority, CResourceAffinity affinity,
                                              CVolumePointer volume, CRequestPointer request)
    {
        auto* operation = NewNoThrow<Operation>(priority, affinity, volume, std::move(request));
        if (operation)
        {
            operation->OwnerResource = this;
            operation->TargetResource = volume.get();
        }
        return operation;
    }

private:
    CStatus Refuse(CArchiveFileSystemOperation* operation) const;
};
