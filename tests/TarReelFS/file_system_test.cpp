#include "PluginFileSystemTest.h"

#include "FileSystems/TarReelFS/CGenericTarFileSystem.h"
#include "FileSystems/TarReelFS/CGenericTarFileSystemOperation.h"
#include "FileSystems/TarReelFS/CGenericTarGetOperationContext.h"
#include "vnservice/CBlockBuffer.h"
#include "vnservice/CEventLog.h"
#include "vnservice/CSystem.h"
#include "vnservice/CVantrelFragmentImpl.h"
#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace
{
class GenericTar : public PluginFileSystemTest<CGenericTarFileSystem, CGenericTarFileSystemOperation>
{
protected:
    static CPropertyValue Named(const char16_t* name, CVariant variant = {})
    {
        CPropertyValue value;
        BoundedCopy(value.Name, PropertyNameUnits, name);
        value.Variant = std::move(variant);
        return value;
    }
};

TEST_F(GenericTar, a_fresh_file_system_saves_only_its_block_size)
{
    CPersistanceEngine::CNode node(System.Database, "fresh");
    ASSERT_TRUE(Fs->Save(&System, node).IsSuccess());
    EXPECT_EQ(Stored("fresh"), (std::map<std::string, std::string>{{"BlockSize", "0"}}));
}

TEST_F(GenericTar, settings_round_trip_through_the_database)
{
    Fs->Standard = 2;
    Fs->BlockSize = 10240;
    Fs->NextVolume = CVolumeID(CVolumeSetID(CSystemID(0x1234ABCD), 9), 17);
    CPersistanceEngine::CNode node(System.Database, "tape");
    ASSERT_TRUE(Fs->Save(&System, node).IsSuccess());
    EXPECT_EQ(Stored("tape"),
              (std::map<std::string, std::string>{
                  {"BlockSize", "10240"}, {"NextVolume", "1234ABCD-9-17"}, {"Standard", "GNU"}}));
    std::unique_ptr<CGenericTarFileSystem> loaded(
        static_cast<CGenericTarFileSystem*>(Instance.Create(&System)));
    ASSERT_TRUE(loaded->Load(&System, node).IsSuccess());
    EXPECT_EQ(loaded->Standard, 2);
    EXPECT_EQ(loaded->BlockSize, 10240u);
    EXPECT_EQ(loaded->NextVolume, Fs->NextVolume);
}

TEST_F(GenericTar, load_takes_the_standard_in_any_case_and_refuses_others)
{
    const struct
    {
        const char16_t* Text;
        std::int32_t Standard;
        std::uint32_t Error;
    } cases[] = {
        {u"Posix", 1, 0}, {u"pOSIX", 1, 0}, {u"gnu", 2, 0}, {u"GnU", 2, 0}, {u"ustar", 0, 0xC000377D}};
    for (const auto& c : cases)
    {
        CPersistanceEngine::CNode node(System.Database, "std");
        ASSERT_TRUE(node.WriteText(u"Standard", c.Text).IsSuccess());
        ASSERT_TRUE(node.WriteNumber(u"BlockSize", 512).IsSuccess());
        std::unique_ptr<CGenericTarFileSystem> fs(
            static_cast<CGenericTarFileSystem*>(Instance.Create(&System)));
        CStatus status = fs->Load(&System, node);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Error) << WideParameter(c.Text);
        EXPECT_EQ(fs->Standard, c.Standard);
        // The steps after a failure do not run.
        EXPECT_EQ(fs->BlockSize, c.Error ? 0u : 512u);
        if (c.Error)
        {
            EXPECT_EQ(status.GetParameters().front(), "ustar");
        }
    }
}

TEST_F(GenericTar, load_fails_on_a_next_volume_that_is_no_identity)
{
    CPersistanceEngine::CNode node(System.Database, "nv");
    ASSERT_TRUE(node.WriteNumber(u"BlockSize", 1024).IsSuccess());
    ASSERT_TRUE(node.WriteText(u"NextVolume", u"not-an-id").IsSuccess());
    CStatus status = Fs->Load(&System, node);
    EXPECT_EQ(status.GetInternalErrorCode(), HostErrorBadVolumeIdText);
    EXPECT_EQ(Fs->BlockSize, 1024u); // read before the failure, so it stays
    EXPECT_FALSE(Fs->IsNextVolumeSet());
}

TEST_F(GenericTar, next_volume_property_follows_the_volumes_of_the_system)
{
    CVolumeID id(CVolumeSetID(System.GetID(), 9), 2);
    AddVolume(id);
    std::uint32_t count = 9;
    ASSERT_TRUE(Fs->CountProperties(count).IsSuccess());
    EXPECT_EQ(count, 0u);

    CPropertyValue unknown = Named(u"NextVolume", WidenAscii("0000FFFF-9-1"));
    EXPECT_EQ(Fs->UpdateProperty(unknown, false).GetInternalErrorCode(), 0xC000138Fu);
    EXPECT_FALSE(Fs->IsNextVolumeSet());
    EXPECT_FALSE(unknown.Variant);

    CPropertyValue set = Named(u"nextvolume", id.ToWideString());
    ASSERT_TRUE(Fs->UpdateProperty(set, false).IsSuccess());
    EXPECT_EQ(Fs->NextVolume, id);
    WString lower = id.ToWideString();
    for (auto& unit : lower)
        unit = FoldCase(unit);
    CPropertyValue same = Named(u"NextVolume", lower);
    ASSERT_TRUE(Fs->UpdateProperty(same, false).IsSuccess());

    ASSERT_TRUE(Fs->CountProperties(count).IsSuccess());
    EXPECT_EQ(count, 1u);
    CVariant value;
    ASSERT_TRUE(Fs->GetProperty(Named(u"NEXTVOLUME"), value).IsSuccess());
    EXPECT_EQ(value, id.ToWideString());
    CPropertyRecord records[2];
    CPropertyRecord* cursor = records;
    std::size_t room = sizeof records;
    CPropertyRecord model;
    model.Access = 5;
    model.Group = 6;
    ASSERT_TRUE(Fs->EnumerateProperties(model, room, cursor).IsSuccess());
    EXPECT_EQ(cursor, records + 1);
    EXPECT_EQ(room, sizeof(CPropertyRecord));
    EXPECT_EQ(records[0].Kind, 2u);
    EXPECT_EQ(records[0].Access, 5u);
    EXPECT_EQ(records[0].Group, 6u);
    EXPECT_EQ(WString(records[0].Name), u"NextVolume");

    CPropertyValue clear = Named(u"NextVolume");
    ASSERT_TRUE(Fs->UpdateProperty(clear, false).IsSuccess());
    EXPECT_FALSE(Fs->IsNextVolumeSet());
    CPropertyValue clearAgain = Named(u"NextVolume");
    ASSERT_TRUE(Fs->UpdateProperty(clearAgain, false).IsSuccess());
    // Set once, the same text again changed nothing, cleared once, cleared again changed nothing.
    EXPECT_EQ(Fs->UIObject->GetUpdates(), (std::vector<std::uint32_t>{0x9719C, 0x93194}));

    CPropertyValue other = Named(u"Other", WString(u"x"));
    EXPECT_EQ(Fs->UpdateProperty(other, false).GetInternalErrorCode(), HostErrorNoSuchProperty);
}

TEST_F(GenericTar, common_slots_answer_as_the_host_expects)
{
    EXPECT_EQ(Fs->PadSizeEstimate(0, 0, 7), 8u);
    EXPECT_EQ(Fs->PadSizeEstimate(0, 0, 3), 3u);
    EXPECT_EQ(Fs->PadSizeEstimate(0, 0, 0), 0u);
    EXPECT_EQ(Fs->Hook30(), 0xFFFFFFFFFFFFFFFFULL);
    EXPECT_EQ(Fs->Hook33(), 0xFFFFFFFFu);
    Fs->BlockSize = 10240;
    EXPECT_EQ(Fs->GetBlockSize(11), 10240u);
    CBlockParameters record;
    record.Leading = 77;
    record.Flag = 9;
    ASSERT_TRUE(Fs->GetBlockParameters(record).IsSuccess());
    // Copied out: the record is packed, and its fields are not aligned.
    std::uint32_t leading = record.Leading, blockSize = record.BlockSize;
    EXPECT_EQ(leading, 77u);
    EXPECT_EQ(record.Flag, 0);
    EXPECT_EQ(blockSize, 10240u);
    CMedium medium("m");
    EXPECT_EQ(Fs->CheckMediumState(&medium), 0u);
    medium.MediumState = 2;
    EXPECT_EQ(Fs->CheckMediumState(&medium), 0xC0001B73u);

    System.EventSink.Take();
    EXPECT_EQ(Fs->PostNotice600(123), 0u);
    Fs->PostNotice601(CVolumePointer(), 456);
    EXPECT_EQ(Fs->PostNotice602(), 0u);
    auto events = System.EventSink.Take();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].Code, 0x40080258u);
    EXPECT_EQ(std::get<std::uint64_t>(events[0].Value), 123u);
    EXPECT_EQ(events[1].Code, 0x40080259u);
    EXPECT_EQ(std::get<std::uint64_t>(events[1].Value), 456u);
    EXPECT_EQ(events[2].Code, 0x4008025Au);
    EXPECT_EQ(events[2].Source, "GenericTAR");
}

TEST_F(GenericTar, type_descriptor_names_the_registered_instance)
{
    FileSystemTypeDescriptor descriptor;
    ASSERT_TRUE(DescriptorWithFactory(nullptr, descriptor).IsSuccess());
    EXPECT_EQ(descriptor.Instance, nullptr);
    ASSERT_TRUE(DescriptorWithFactory(u"GenericTar", descriptor).IsSuccess());
    EXPECT_EQ(descriptor.Instance, &Instance);
    EXPECT_EQ(WString(descriptor.TypeName), u"GenericTar");
    EXPECT_EQ(WString(descriptor.DisplayName), u"Generic TAR");
    EXPECT_EQ(WString(descriptor.DescriptorText), u"0");
    EXPECT_EQ(descriptor.MediumType, CTapeMedium::Type());
    EXPECT_EQ(descriptor.Constant, 1u);
    EXPECT_EQ(descriptor.HookValue, 0u);
}

TEST_F(GenericTar, writing_opcodes_are_refused_and_opcode_20_completes_its_two_sub_codes)
{
    auto volume = AddVolume(CVolumeID(CVolumeSetID(System.GetID(), 9), 1));
    const std::uint32_t refused[] = {3, 4, 5, 10, 12, 13, 15, 16, 17, 18, 19};
    for (std::uint32_t opcode : refused)
    {
        std::unique_ptr<CArchiveFileSystemOperation> operation(Fs->CreateOperation({}, {}, volume, {}));
        operation->Opcode = opcode;
        CStatus first = Fs->RunHandler(opcode, operation.get());
        EXPECT_EQ(first.GetInternalErrorCode(), 0xC00003EDu) << opcode;
        EXPECT_EQ(first.GetRecord()->SourceFile, "GenericTarOps");
        operation->State = 3;
        CStatus later = Fs->RunHandler(opcode, operation.get());
        EXPECT_EQ(later.GetInternalErrorCode(), 0xC00007D7u) << opcode;
        EXPECT_EQ(later.GetParameters(), std::vector<std::string>{"0x3"});
        EXPECT_FALSE(operation->IsComplete());
    }
    const struct
    {
        std::uint32_t SubCode;
        std::uint32_t State;
        std::uint32_t Error;
        const char* Parameter;
    } cases[] = {
        {7, 0, 0, nullptr}, {8, 0, 0, nullptr}, {9, 0, 0xC00007D7, "0x9"}, {7, 2, 0xC00007D7, "0x2"}};
    for (const auto& c : cases)
    {
        std::unique_ptr<CArchiveFileSystemOperation> operation(Fs->CreateOperation({}, {}, volume, {}));
        operation->SetItemSubCode(c.SubCode);
        operation->State = c.State;
        CStatus status = Fs->RunHandler(20, operation.get());
        EXPECT_EQ(status.GetInternalErrorCode(), c.Error);
        EXPECT_EQ(operation->IsComplete(), c.Error == 0);
        if (c.Parameter)
        {
            EXPECT_EQ(status.GetParameters(), std::vector<std::string>{c.Parameter});
        }
    }
}

TEST_F(GenericTar, every_handler_fails_in_a_state_it_does_not_know)
{
    auto volume = AddVolume(CVolumeID(CVolumeSetID(System.GetID(), 9), 1));
    CVantrelFragmentImpl fragment;
    for (std::uint32_t opcode : {1u, 2u, 7u, 8u, 20u})
    {
        std::unique_ptr<CArchiveFileSystemOperation> operation(Fs->CreateOperation({}, {}, volume, {}));
        operation->Opcode = opcode;
        operation->SetItemSubCode(7);
        if (opcode == 8)
            operation->SetSourceFragment(&fragment);
        operation->State = 0x63;
        CStatus status = Fs->RunHandler(opcode, operation.get());
        EXPECT_EQ(status.GetInternalErrorCode(), 0xC00007D7u) << opcode;
        EXPECT_EQ(status.GetParameters().front(), "0x63") << opcode;
        EXPECT_FALSE(operation->IsComplete()) << opcode;
    }
}

TEST_F(GenericTar, operations_know_their_resources_and_the_status_hook_keeps_recognition_statuses)
{
    auto volume = AddVolume(CVolumeID(CVolumeSetID(System.GetID(), 9), 1));
    std::unique_ptr<CArchiveFileSystemOperation> created(Fs->CreateOperation({}, {}, volume, {}));
    auto* operation = static_cast<CGenericTarFileSystemOperation*>(created.get());
    EXPECT_EQ(operation->OwnerResource, static_cast<CResource*>(Fs.get()));
    EXPECT_EQ(operation->TargetResource, static_cast<CResource*>(volume.get()));
    EXPECT_TRUE(operation->KeptStatus.IsSuccess());

    CEventLog::TakeLogged();
    operation->Opcode = 2;
    CStatus failure = CErrorGenMessage("drive", 1, 0xC00007E2);
    EXPECT_TRUE(Fs->HandleOperationStatus(operation, failure));
    EXPECT_TRUE(operation->KeptStatus.SameRecord(failure));
    EXPECT_TRUE(CEventLog::TakeLogged().empty());
    operation->AlertFlag = true;
    EXPECT_TRUE(Fs->HandleOperationStatus(operation, failure));
    EXPECT_EQ(CEventLog::TakeLogged().size(), 1u);
    operation->Opcode = 11;
    EXPECT_FALSE(Fs->HandleOperationStatus(operation, failure));
    created.reset();
    EXPECT_TRUE(failure.IsNotPropagated()); // released by the operation without being reported again
}

TEST_F(GenericTar, scan_context_measures_from_the_medium)
{
    auto volume = AddVolume(CVolumeID(CVolumeSetID(System.GetID(), 9), 1));
    CMediumPointer medium(new CMedium("m"));
    medium->LastWrittenBlock = 10;
    std::unique_ptr<CGetOperationContext> made(Fs->CreateGetOperationContext(volume, medium));
    auto* context = static_cast<CGenericTarGetOperationContext*>(made.get());
    EXPECT_EQ(context->FileSystem, Fs.get());
    context->SetItemStart(3);
    EXPECT_EQ(context->GetItemStartBytes(), 1536u);
    EXPECT_EQ(context->GetLastWrittenBytes(), 5120u);
    EXPECT_EQ(context->GetItemSizeHint(), 0x100000u);
    context->ScanPosition = 9;
    EXPECT_FALSE(context->IsEndOfData());
    context->ScanPosition = 10;
    EXPECT_TRUE(context->IsEndOfData());
    std::unique_ptr<CReplicationContext> replication(Fs->CreateReplicationContext());
    EXPECT_TRUE(replication);
}
} // namespace
