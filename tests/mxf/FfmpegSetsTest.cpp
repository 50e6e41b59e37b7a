// The KLV items that ffmpeg writes into a header partition and an index segment
// (tests/fixtures/ffmpeg/make_header_sets.sh): the partition pack, the primer pack, the header metadata sets
// and an index table segment, decoded with the primer of the file and encoded back.
#include "ContainerDictionary.h"
#include "RecordingDiagnostics.h"
#include "TestBytes.h"

#include "mxf/MDObject.h"
#include "mxf/Primer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{

using mxftest::Bytes;

struct Item
{
    std::vector<std::uint8_t> Key;
    std::vector<std::uint8_t> Value;
};

std::vector<Item> FixtureItems()
{
    const char* fixtures = std::getenv("REELFS_FIXTURES");
    EXPECT_NE(fixtures, nullptr) << "REELFS_FIXTURES is not set";
    std::ifstream file(std::string(fixtures ? fixtures : ".") + "/ffmpeg/header_sets.klv", std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    std::vector<Item> items;
    std::size_t at = 0;
    while (bytes.size() - at > 17)
    {
        Item item{{bytes.begin() + at, bytes.begin() + at + 16}, {}};
        std::uint64_t length = 0;
        const std::uint32_t lengthSize =
            mxf::MDObject::ReadLength(3, bytes.size() - at - 16, &bytes[at + 16], length);
        at += 16 + lengthSize;
        if (lengthSize == 0 || bytes.size() - at < length)
            break;
        item.Value.assign(bytes.begin() + at, bytes.begin() + at + length);
        at += length;
        items.push_back(item);
    }
    EXPECT_EQ(at, bytes.size());
    return items;
}

struct Decoded
{
    std::vector<Item> Items = FixtureItems();
    mxf::PrimerPtr Tags = new mxf::Primer;
    std::vector<mxf::MDObjectPtr> Objects;

    Decoded()
    {
        mxftest::ContainerDictionary::Get();
        for (const Item& item : Items)
        {
            mxf::MDObjectPtr object(new mxf::MDObject(mxf::UL(item.Key.data())));
            if (object->Name == "PrimerPack")
                Tags->ReadPack(item.Value.data(), item.Value.size());
            object->ReadValue(item.Value.data(), item.Value.size(), Tags);
            Objects.push_back(object);
        }
    }

    mxf::MDObjectPtr Find(const std::string& name) const
    {
        for (const mxf::MDObjectPtr& object : Objects)
            if (object->Name == name)
                return object;
        return mxf::MDObjectPtr();
    }

    std::string Text(const std::string& object, const std::string& child) const
    {
        const mxf::MDObjectPtr found = Find(object);
        const mxf::MDObjectPtr item = found ? found->FindChildByName(child) : mxf::MDObjectPtr();
        return item ? item->GetString("no value") : "no " + child;
    }
};

const Decoded& File()
{
    static const Decoded decoded;
    return decoded;
}

TEST(FfmpegSetsTest, every_pack_and_set_encodes_back_to_the_bytes_it_was_read_from)
{
    const Decoded& file = File();
    ASSERT_EQ(file.Items.size(), 22u);
    for (std::size_t i = 0; i < file.Items.size(); ++i)
    {
        SCOPED_TRACE(file.Objects[i]->Name);
        const mxf::DataChunkPtr encoded = file.Objects[i]->EncodeValue(file.Tags);
        std::vector<std::uint8_t> expected = file.Items[i].Value;
        // ffmpeg gives its empty DMSchemes batch, the last item of the preface, the item size 0; the library
        // writes an empty batch with the size of its element, a label.
        if (file.Objects[i]->Name == "Preface")
            expected.back() = 0x10;
        EXPECT_EQ(Bytes(encoded->Data(), encoded->Size()), expected);
    }
    for (const char* name : {"ClosedCompleteHeader", "PrimerPack", "Preface", "Identification",
                             "ContentStorage", "Track", "IndexTableSegment"})
        EXPECT_TRUE(file.Find(name)) << name;
}

TEST(FfmpegSetsTest, items_read_from_the_file_show_their_values)
{
    const Decoded& file = File();
    struct Case
    {
        const char* Object;
        const char* Child;
        const char* Text;
    };
    const Case cases[] = {
        {"Preface", "LastModifiedDate", "2009-03-05 14:07:09.120"},
        {"Preface", "Version", "259"},
        {"Preface", "DMSchemes", ""},
        {"Identification", "ProductName", "OP1a Muxer"},
        {"Identification", "CompanyName", "FFmpeg"},
        {"Identification", "ProductVersion",
         "Major=\"59\" Minor=\"27\" Patch=\"100\" Build=\"0\" Release=\"0\""},
        {"Track", "EditRate", "25/1"},
        {"IndexTableSegment", "IndexEditRate", "25/1"},
        {"IndexTableSegment", "SliceCount", "01"},
        {"ClosedCompleteHeader", "KAGSize", "512"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(file.Text(c.Object, c.Child), c.Text) << c.Object << "/" << c.Child;

    const mxf::MDObjectPtr entries = file.Find("IndexTableSegment")->FindChildByName("IndexEntryArray");
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 3u);
    for (const auto& [label, entry] : *entries)
        EXPECT_EQ(entry->FindChildByName("SliceOffsetArray")->size(), 1u);
    EXPECT_EQ(file.Find("ContentStorage")->FindChildByName("Packages")->size(), 2u);
}

} // namespace
