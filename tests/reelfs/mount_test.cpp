#include "HostTestSupport.h"

#include "vnservice/CPersistanceEngine.h"
#include "vnservice/HostErrors.h"

#include <fstream>
#include <random>

namespace
{
TEST_F(HostTest, a_mounted_tar_tape_is_known_by_its_identity_across_runs_and_images)
{
    const std::string first = FixtureTape("first", "gnutar/ustar.tar");
    CVolumeID id;
    {
        CHost host;
        ASSERT_TRUE(host.Open(Home).IsSuccess());
        CSet<CVolume, 1>::pointer volume;
        CStatus status = host.Mount(first, volume);
        ASSERT_TRUE(status.IsSuccess()) << status.ToString();
        id = volume->GetID();
        EXPECT_EQ(id.GetVolumeSetID(), CVolumeSetID(host.System.GetID(), 9));
        EXPECT_TRUE(volume->IsAccessible());
        EXPECT_EQ(host.System.Volumes.Find(id), volume);
        EXPECT_EQ(volume->GetVolumeSet()->Volumes.Find(id), volume);
        CArchiveFileSystem* fileSystem = volume->GetFileSystem();
        ASSERT_NE(fileSystem, nullptr);
        EXPECT_EQ(fileSystem->GetFileSystemType(), u"GenericTar");
        EXPECT_EQ(fileSystem->VolumeID, id);
        EXPECT_EQ(fileSystem->EventSource, "GenericTar");
    }

    // The same tape in another image, then another tape.
    const std::string moved = FixtureTape("moved", "gnutar/ustar.tar");
    const std::string other = FixtureTape("other", "gnutar/incremental.tar");
    CHost host;
    ASSERT_TRUE(host.Open(Home).IsSuccess());
    CSet<CVolume, 1>::pointer known = host.System.Volumes.Find(id);
    ASSERT_TRUE(known);
    EXPECT_FALSE(known->IsAccessible());
    ASSERT_NE(known->GetFileSystem(), nullptr);
    EXPECT_EQ(known->GetFileSystem()->VolumeID, id);
    EXPECT_EQ(known->GetVolumeSet()->Volumes.Find(id), known);

    CSet<CVolume, 1>::pointer volume, another;
    ASSERT_TRUE(host.Mount(moved, volume).IsSuccess());
    ASSERT_TRUE(host.Mount(other, another).IsSuccess());
    EXPECT_EQ(volume->GetID(), id);
    EXPECT_NE(another->GetID(), id);
    EXPECT_EQ(host.System.Volumes.Find(id), volume);
    EXPECT_EQ(volume->GetVolumeSet()->Volumes.Find(id), volume);
    EXPECT_EQ(known->GetFileSystem(), nullptr);

    std::vector<CKnownVolume> registered;
    ASSERT_TRUE(host.Registry.All(registered).IsSuccess());
    ASSERT_EQ(registered.size(), 2u);
    const CKnownVolume& entry = registered[0].ID == id ? registered[0] : registered[1];
    EXPECT_EQ(entry.Type, "GenericTar");
    EXPECT_EQ(entry.Label, "");
    EXPECT_EQ(entry.Image, moved);

    // One tape, one volume: the same tape cannot be mounted twice at once.
    CSet<CVolume, 1>::pointer twice;
    EXPECT_EQ(host.Mount(first, twice).GetInternalErrorCode(), HostErrorMountedTwice);
}

TEST_F(HostTest, an_image_that_no_plugin_recognises_is_refused_and_not_recorded)
{
    std::mt19937 random(11);
    std::string noise(30000, '\0');
    for (char& byte : noise)
        byte = static_cast<char>(random());
    std::ofstream(Folder / "not-an-image.tap") << "plain text";
    const struct
    {
        std::string Image;
        std::uint32_t Code;
    } cases[] = {{MakeTape("noise", noise), HostErrorUnknownLayout},
                 {MakeTape("empty", ""), HostErrorUnknownLayout},
                 {(Folder / "not-an-image.tap").string(), HostErrorTapeImage},
                 {(Folder / "missing.tap").string(), HostErrorTapeImage}};
    CHost host;
    ASSERT_TRUE(host.Open(Home).IsSuccess());
    for (const auto& c : cases)
    {
        CSet<CVolume, 1>::pointer volume;
        CStatus status = host.Mount(c.Image, volume);
        EXPECT_EQ(status.GetInternalErrorCode(), c.Code) << c.Image << ": " << status.ToString();
        EXPECT_FALSE(volume);
    }
    std::vector<CKnownVolume> registered;
    ASSERT_TRUE(host.Registry.All(registered).IsSuccess());
    EXPECT_TRUE(registered.empty());
}

TEST_F(HostTest, settings_and_the_next_volume_are_checked_kept_and_cleared)
{
    const std::string tape = FixtureTape("tape", "gnutar/ustar.tar");
    const std::string next = FixtureTape("next", "gnutar/incremental.tar");
    CRunResult listed = Reelfs({"ls", next});
    ASSERT_EQ(listed.Exit, 1) << listed.Err; // known now, though never scanned
    std::string nextID;
    {
        CHost host;
        ASSERT_TRUE(host.Open(Home).IsSuccess());
        std::vector<CKnownVolume> registered;
        ASSERT_TRUE(host.Registry.All(registered).IsSuccess());
        ASSERT_EQ(registered.size(), 1u);
        nextID = registered[0].ID.ToString();
    }

    const struct
    {
        std::string Assignment;
        int Exit;
        const char* Message;
    } steps[] = {{"NextVolume=" + nextID, 0, ""},
                 {"NextVolume=00000001-9-5", 1, "0xC000138F"},
                 {"NextVolume=not an identity", 1, "0xC0000D01"},
                 {"Standard=gnu", 0, ""},
                 {"Standard=ustar", 1, "0xC000377D"},
                 {"BlockSize=abc", 1, "0xC0000D04"},
                 {"Colour=blue", 1, "0xC0000D0C"},
                 {"standard=posix", 1, "0xC0000D0C"}};
    for (const auto& step : steps)
    {
        CRunResult result = Reelfs({"set", tape, step.Assignment});
        EXPECT_EQ(result.Exit, step.Exit) << step.Assignment << ": " << result.Err;
        EXPECT_NE(result.Err.find(step.Message), std::string::npos) << step.Assignment << ": " << result.Err;
    }

    auto settings = [&](const WString& key)
    {
        CHost host;
        EXPECT_TRUE(host.Open(Home).IsSuccess());
        CSet<CVolume, 1>::pointer volume;
        EXPECT_TRUE(host.Mount(tape, volume).IsSuccess());
        CPersistanceEngine::CNode node(host.System.Database, volume->GetIDAsString());
        WString text;
        return node.ReadString(key, text).IsSuccess() ? WideParameter(text) : std::string("(none)");
    };
    EXPECT_EQ(settings(u"NextVolume"), nextID);
    EXPECT_EQ(settings(u"Standard"), "GNU");
    EXPECT_EQ(settings(u"BlockSize"), "10240");
    EXPECT_EQ(settings(u"Colour"), "(none)");

    // An empty value clears the property, and it stays cleared.
    CRunResult cleared = Reelfs({"set", tape, "NextVolume="});
    EXPECT_EQ(cleared.Exit, 0) << cleared.Err;
    EXPECT_EQ(settings(u"NextVolume"), "(none)");
    EXPECT_EQ(settings(u"Standard"), "GNU");
}
} // namespace
