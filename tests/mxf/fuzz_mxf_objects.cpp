// Fuzzes the decoding of metadata objects: the input is read as a run of KLV items, each decoded by its key
// with the primer of the last primer pack met (as the committed ffmpeg items are), and then as the value of
// every kind of set, pack, batch, array, compound and enumeration of the test dictionaries, sets of labels
// and chains of nested strong references among them. Every object read is shown, copied and encoded again;
// no reading may claim more bytes than it was given.
#include "CodingDictionary.h"
#include "ContainerDictionary.h"

#include "mxf/MDObject.h"
#include "mxf/Primer.h"

#include <vector>

namespace
{

void Check(const mxf::MDObjectPtr& object, const std::uint8_t* data, std::uint64_t size,
           const mxf::PrimerPtr& primer)
{
    if (object->ReadValue(data, size, primer) > size)
        __builtin_trap();
    (void)object->GetString(std::string());
    (void)object->MakeCopy();
    (void)object->EncodeValue(primer);
    for (const auto& [label, child] : *object)
        (void)child->GetString(std::string());
}

void ReadItems(const std::uint8_t* data, std::uint64_t size)
{
    static const std::uint8_t primerKey[16] = {0x06, 0x0e, 0x2b, 0x34, 0x02, 0x05, 0x01, 0x01,
                                               0x0d, 0x01, 0x02, 0x01, 0x01, 0x05, 0x01, 0x00};
    const mxf::PrimerPtr primer(new mxf::Primer);
    std::uint64_t at = 0;
    while (size - at > 16)
    {
        const mxf::UL key(data + at);
        std::uint64_t length = 0;
        const std::uint32_t lengthSize = mxf::MDObject::ReadLength(3, size - at - 16, data + at + 16, length);
        if (lengthSize == 0 || size - at - 16 - lengthSize < length)
            return;
        const std::uint8_t* value = data + at + 16 + lengthSize;
        if (key == mxf::UL(primerKey))
            primer->ReadPack(value, length);
        Check(new mxf::MDObject(key), value, length, primer);
        at += 16 + lengthSize + length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const mxftest::CodingDictionary& coding = mxftest::CodingDictionary::Get();
    const mxftest::ContainerDictionary& containers = mxftest::ContainerDictionary::Get();
    ReadItems(data, size);

    static const std::vector<mxf::MDOTypePtr> classes = {
        coding.Set,       coding.ShortTagSet, coding.OidSet, coding.LabelSet, coding.WideTagSet,
        coding.FixedPack, coding.LengthPack,  coding.Batch,  coding.Array,    containers.IndexTableSegment};
    // The tags of the sets' items, those of the index table segment among them.
    static const mxf::PrimerPtr tags = [&]
    {
        mxf::PrimerPtr made(new mxf::Primer);
        for (const auto& [tag, label] : coding.Tags->Tags())
            made->InsertTag(tag, label);
        made->InsertTag(0x3f08, mxf::UL(containers.SliceCount->TypeUL));
        made->InsertTag(0x3f0a, mxf::UL(containers.IndexEntryArray->TypeUL));
        return made;
    }();
    for (const mxf::MDOTypePtr& type : classes)
        Check(new mxf::MDObject(type), data, size, tags);
    static const std::vector<mxf::MDTypePtr> types = {
        containers.Words,     containers.Words4, containers.WordBatch,  containers.Text7,
        containers.Text16,    containers.Texts,  containers.RawNumbers, containers.Rational,
        containers.TimeStamp, containers.Point,  containers.Colours,    containers.IndexEntries};
    for (const mxf::MDTypePtr& type : types)
        Check(new mxf::MDObject(type.GetPtr()), data, size, {});
    return 0;
}
