// The Tedial plug-in's own dictionary document, resource 101 of its module, loaded as the plug-in loads it
// and checked against what ffmpeg writes.
#include "../mxf/RecordingDiagnostics.h"

#include "mxf/DictionaryLoad.h"
#include "mxf/MDOType.h"
#include "mxf/MDObject.h"
#include "mxf/MDType.h"
#include "mxf/MXFFile.h"
#include "mxf/Partition.h"

#include "win/ModuleResource.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>

namespace
{

// Loads the document once per process and keeps how long the load took.
class DictionaryDocument : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        const ModuleResource* resource = FindModuleResource(101);
        ASSERT_TRUE(resource);
        const std::string text(reinterpret_cast<const char*>(resource->Bytes), resource->Size);
        ASSERT_EQ(text.find('\0'), std::string::npos);
        mxftest::ClearDiagnostics();
        const auto start = std::chrono::steady_clock::now();
        Result = mxf::LoadDictionaryFromText(text, "");
        Milliseconds =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        LoadErrors = mxftest::Errors();
    }

    static mxf::MDOTypePtr Class(const std::string& name)
    {
        return mxf::MDOType::FindByName(name, mxf::DefaultSymbolSpace(), false);
    }

    static int Result;
    static double Milliseconds;
    static std::vector<std::string> LoadErrors;
};

int DictionaryDocument::Result = -1;
double DictionaryDocument::Milliseconds = 0;
std::vector<std::string> DictionaryDocument::LoadErrors;

std::vector<std::string> Members(const mxf::MDOTypePtr& type)
{
    return type ? std::vector<std::string>(type->ChildNames().begin(), type->ChildNames().end())
                : std::vector<std::string>{"(no class)"};
}

TEST_F(DictionaryDocument, loads_in_one_call_without_errors)
{
    EXPECT_EQ(Result, 0);
    EXPECT_EQ(LoadErrors, std::vector<std::string>{});
    RecordProperty("load_milliseconds", std::to_string(Milliseconds));
    std::printf("dictionary document loaded in %.1f ms\n", Milliseconds);
}

TEST_F(DictionaryDocument, core_classes_carry_their_own_and_inherited_members)
{
    // Nine members of its own, three inherited, and the extensions of later sections.
    EXPECT_EQ(Members(Class("Preface")),
              (std::vector<std::string>{
                  "InstanceUID", "ObjectClass", "GenerationUID", "ApplicationPluginBatch", "LastModifiedDate",
                  "Version", "ObjectModelVersion", "PrimaryPackage", "Identifications",
                  "ContentStorageObject", "OperationalPattern", "EssenceContainers", "DMSchemes",
                  "ApplicationSchemesBatch", "Dictionaries", "ByteOrder"}));
    EXPECT_EQ(
        Members(Class("InterchangeObject")),
        (std::vector<std::string>{"InstanceUID", "ObjectClass", "GenerationUID", "ApplicationPluginBatch"}));

    const mxf::MDTypePtr rational = mxf::MDType::FindByName("Rational", mxf::DefaultSymbolSpace());
    ASSERT_TRUE(rational);
    ASSERT_EQ(rational->ChildOrder().size(), 2u);
    for (const mxf::MDTypePtr& member : rational->ChildOrder())
        EXPECT_EQ(member->EffectiveType()->Name, "Int32");

    const mxf::MDOTypePtr partition = Class("PartitionMetadata");
    ASSERT_TRUE(partition);
    const std::map<std::string, std::string> defaults = {
        {"MajorVersion", "0001h"}, {"MinorVersion", "0002h"},  {"KAGSize", ""},
        {"ThisPartition", ""},     {"PreviousPartition", "0"}, {"BodyOffset", ""}};
    for (const auto& [name, text] : defaults)
        EXPECT_EQ(partition->ChildrenByName().at(name)->Default.Size() != 0, !text.empty()) << name;
    EXPECT_EQ(partition->ChildrenByName().at("EssenceContainers")->MaxSize, -1); // unbounded
}

std::string Letters(const std::string& name)
{
    std::string letters;
    for (const char c : name)
        if (std::isalnum(static_cast<unsigned char>(c)))
            letters += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return letters;
}

mxf::UL Label(const std::string& hex)
{
    std::uint8_t bytes[16];
    for (int i = 0; i < 16; ++i)
        bytes[i] = static_cast<std::uint8_t>(std::strtoul(hex.substr(2 * i, 2).c_str(), nullptr, 16));
    return mxf::UL(bytes);
}

TEST_F(DictionaryDocument, every_set_and_property_that_ffmpeg_writes_is_known)
{
    // Where the dictionary's class names differ from the names that mediainfo gives the same sets.
    const std::map<std::string, std::string> otherNames = {{"Timeline Track", "Track"},
                                                           {"AES3 Descriptor", "AES3PCMDescriptor"}};
    std::ifstream keys(std::string(std::getenv("REELFS_FIXTURES")) + "/ffmpeg/header_keys.txt");
    ASSERT_TRUE(keys);
    int sets = 0;
    int properties = 0;
    std::string kind;
    while (keys >> kind)
    {
        if (kind == "set")
        {
            std::string key;
            std::string name;
            keys >> key;
            std::getline(keys >> std::ws, name);
            const mxf::MDOTypePtr type = mxf::MDOType::FindByUL(Label(key));
            EXPECT_TRUE(type) << key << " " << name;
            if (!type)
                continue;
            const auto other = otherNames.find(name);
            EXPECT_EQ(Letters(type->Name), Letters(other == otherNames.end() ? name : other->second)) << key;
            ++sets;
        }
        else
        {
            std::string tag;
            std::string key;
            keys >> tag >> key;
            const mxf::MDOTypePtr type = mxf::MDOType::FindByUL(Label(key));
            EXPECT_TRUE(type) << tag << " " << key;
            if (!type)
                continue;
            const unsigned long localTag = std::strtoul(tag.c_str(), nullptr, 16);
            if (localTag < 0x8000) // dynamic tags are the file's own
            {
                EXPECT_EQ(type->StaticTag, localTag) << type->Name;
            }
            ++properties;
        }
    }
    EXPECT_GT(sets, 0);
    EXPECT_GT(properties, 0);
}

// Where the dictionary's class names differ from the names that mediainfo gives the same sets; a tagged
// value it shows by its key alone (the primer names its two properties "Assigned Category Name" and
// "Assigned Category Value").
const std::map<std::string, std::string> OtherNames = {{"Timeline Track", "Track"},
                                                       {"AES3 Descriptor", "AES3PCMDescriptor"},
                                                       {"60E2B3402530101D01010101013F00", "TaggedValue"}};

// The whole files that ffmpeg wrote for the file-access tests, with what mediainfo shows of each.
std::string Fixture(const std::string& name)
{
    return std::string(std::getenv("REELFS_FIXTURES")) + "/ffmpeg-mxf/" + name;
}

// The name that mediainfo gives the item at each file offset, without what it adds after " - ".
std::map<std::uint64_t, std::string> MediainfoNames(const std::string& name)
{
    std::map<std::uint64_t, std::string> names;
    std::ifstream in(Fixture(name + ".mediainfo"));
    const std::regex item(R"(^([0-9A-F]+) (.*?)( - .*)? \(\d+ bytes\)$)");
    std::smatch match;
    for (std::string line; std::getline(in, line);)
        if (std::regex_match(line, match, item))
            names[std::stoull(match[1], nullptr, 16)] = match[2];
    return names;
}

// The names of the object and of every value below it that the dictionary did not know: an unknown set,
// or a property named "Unknown <tag> <label>".
void CollectUnknown(const mxf::MDObjectPtr& object, std::vector<std::string>& unknown)
{
    if (object->Name.rfind("Unknown", 0) == 0)
        unknown.push_back(object->FullName());
    for (const mxf::MDObject::Child& child : *object)
        CollectUnknown(child.second, unknown);
}

class DictionaryDocumentFiles : public DictionaryDocument, public testing::WithParamInterface<const char*>
{
};

TEST_P(DictionaryDocumentFiles, ffmpeg_files_read_with_every_set_known_by_the_name_mediainfo_gives_it)
{
    const std::string name = GetParam();
    mxf::MXFFilePtr file(new mxf::MXFFile);
    ASSERT_TRUE(file->Open(Fixture(name + ".mxf"), true));
    file->Seek(0);
    const mxf::PartitionPtr header = file->ReadPartition();
    ASSERT_TRUE(header);
    mxftest::ClearDiagnostics();
    ASSERT_GT(header->ReadMetadata(), 0u);
    EXPECT_EQ(mxftest::Errors(), std::vector<std::string>{});

    const std::map<std::uint64_t, std::string> shown = MediainfoNames(name);
    std::vector<std::string> unknown;
    int compared = 0;
    for (const mxf::MDObjectPtr& object : header->Objects)
    {
        CollectUnknown(object, unknown);
        const auto at = shown.find(object->Location + file->RunInSize);
        ASSERT_NE(at, shown.end()) << object->Name << " at " << object->Location;
        const auto other = OtherNames.find(at->second);
        EXPECT_EQ(Letters(object->Name), Letters(other == OtherNames.end() ? at->second : other->second))
            << at->second << " at " << at->first;
        ++compared;
    }
    EXPECT_GT(compared, 10);
    EXPECT_EQ(unknown, std::vector<std::string>{});

    mxf::MDObjectPtr preface;
    for (const mxf::MDObjectPtr& object : header->TopLevelObjects)
        if (object->Name == "Preface")
            preface = object;
    ASSERT_TRUE(preface);
    const mxf::MDObjectPtr modified = preface->FindChildByName("LastModifiedDate");
    ASSERT_TRUE(modified);
    EXPECT_FALSE(modified->GetString("").empty());
    const mxf::MDObjectPtr storage = preface->FindChildByName("ContentStorageObject");
    ASSERT_TRUE(storage);
    const mxf::MDObjectPtr target(storage->GetReferencedObject());
    ASSERT_TRUE(target);
    EXPECT_EQ(target->Name, "ContentStorage");
}

INSTANTIATE_TEST_SUITE_P(Flavours, DictionaryDocumentFiles,
                         testing::Values("op1a", "d10", "opatom", "pipe", "runin", "comments"));

} // namespace
