// Fuzzes the naming of MXF files as they come off a Tedial tape: the input is read as an MXF file with the
// plug-in's dictionary, its header partition's metadata becomes the XML document, and the built-in
// stylesheet's result is loaded and searched as a scan does.
#include "FileSystems/MxfReelFS/TedialNaming.h"
#include "mxf/DictionaryLoad.h"
#include "mxf/MXFFile.h"
#include "mxf/Partition.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool loaded = mxf::LoadDictionaryFromText(LoadResourceText(101), "") == 0;
    static CComPtr<IXMLDOMDocument> stylesheet = []
    {
        CComPtr<IXMLDOMDocument> document;
        VARIANT_BOOL success = VARIANT_FALSE;
        CreateDOMDocument(&document);
        const std::string text = LoadResourceText(102); // ASCII
        document->loadXML(WString(text.begin(), text.end()), &success);
        return document;
    }();
    if (!loaded || !stylesheet)
        return 0;

    const mxf::DataChunkPtr bytes(new mxf::DataChunk(size));
    if (size > 0)
        std::memcpy(bytes->Data(), data, size);
    const mxf::MXFFilePtr file(new mxf::MXFFile);
    if (!file->OpenMemory(bytes, 0))
        return 0;
    const mxf::PartitionPtr partition = file->ReadPartition();
    if (!partition.GetPtr())
        return 0;
    CComPtr<IXMLDOMDocument> document;
    CComPtr<IXMLDOMElement> root;
    if (FAILED(CreateDOMDocument(&document)) || FAILED(document->createElement(u"Partition", &root)))
        return 0;
    CStatus status = AppendMetadataXml(partition->Object, *document, *root);
    if (status.IsSuccess() && partition->ReadMetadata() != 0)
        for (const mxf::MDObjectPtr& object : partition->TopLevelObjects)
            if ((status = AppendMetadataXml(object, *document, *root)).Failed())
                break;
    status.NotPropagated();
    if (FAILED(document->appendChild(root.get(), nullptr)))
        return 0;
    WString output;
    VARIANT_BOOL success = VARIANT_FALSE;
    if (SUCCEEDED(document->transformNode(stylesheet.get(), &output)) &&
        SUCCEEDED(document->loadXML(output, &success)) && success)
    {
        CComPtr<IXMLDOMNodeList> list;
        document->getElementsByTagName(u"Attributes/FileName", &list);
    }
    return 0;
}
