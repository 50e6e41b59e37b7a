#include "FileSystems/MxfReelFS/TedialNaming.h"

#include "FileSystems/MxfReelFS/CMXFOnTapeFile.h"
#include "FileSystems/MxfReelFS/MxfDiagnostics.h"
#include "FileSystems/TapeFS/FileSystemErrors.h"
#include "FileSystems/TapeFS/LabelText.h"
#include "FileSystems/TapeFS/TimeHelpers.h"
#include "mxf/DictionaryLoad.h"
#include "mxf/Kinds.h"
#include "mxf/Labels.h"
#include "mxf/MemoryBudget.h"
#include "mxf/Partition.h"
#include "mxf/SymbolSpace.h"
#include "pagelist/CFileListInternal.h"
#include "vnservice/CSystem.h"
#include "vnservice/CVolume.h"
#include "vnservice/ErrorGenerators.h"
#include "win/CodePage.h"
#include "win/CriticalSection.h"
#include "win/ModuleResource.h"
#include "win/WinError.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <new>
#include <system_error>
#include <vector>

namespace
{
constexpr char Source[] = "MXFOnTapeFile";
constexpr char16_t Section[] = u"MXFREELFS";
constexpr unsigned DictionaryResource = 101;
constexpr unsigned StylesheetResource = 102;
// Strong references own their targets, so the nesting follows the file's own structure; a file whose
// references nest deeper than any real one does, or lead back to a set that holds them, is corrupt.
constexpr std::size_t MaxNesting = 256;
// The size of a catalogue record of a dated file, beside its path.
constexpr std::size_t RecordPayload = 44;

CCriticalSection DictionaryLock;
bool DictionaryLoaded = false;

// The thread's last error, or `fallback` when a failure left none.
CStatus LastErrorStatus(int line, std::uint32_t fallback)
{
    const std::uint32_t error = GetLastError();
    return CErrorNumber::OsError(Source, line, error != 0 ? error : fallback);
}

// Whether XML can carry the UTF-16 unit: not the control characters but tab, line feed and carriage
// return, nor U+FFFE and U+FFFF. Surrogates pass, as halves of the characters beyond U+FFFF.
bool XmlCarries(char16_t unit)
{
    return unit >= 0x20 ? unit < 0xFFFE : unit == 0x09 || unit == 0x0A || unit == 0x0D;
}

// 8-bit text of the library, as the DOM's UTF-16; bytes that are not text in the ANSI code page are
// taken one by one, so that a damaged value still shows. A character XML cannot carry (a value of NUL,
// ESC or 0x01 bytes) becomes U+FFFD, so that the file's other values still reach the stylesheet.
WString Wide(const std::string& text)
{
    WString out;
    if (MultiByteToWide(CP_ACP, text, out) != 0)
    {
        out.clear();
        for (unsigned char byte : text)
            out += static_cast<char16_t>(byte);
    }
    for (char16_t& unit : out)
        if (!XmlCarries(unit))
            unit = u'\uFFFD';
    return out;
}

CStatus Checked(HRESULT result, int line)
{
    return FAILED(result) ? CStatus(CErrorHRESULT(Source, line, result)) : CStatus::Success();
}

// The memory budget of the file being named, as the XML libraries take from it: one budget holds the
// library's objects, the document made of them and the transform.
class CXmlBudget final : public IXMLMemoryBudget
{
public:
    explicit CXmlBudget(mxf::MemoryBudget& budget) : Budget(budget) {}
    bool Take(std::size_t bytes) override { return Budget.Take(bytes); }
    void GiveBack(std::size_t bytes) override { Budget.GiveBack(bytes); }

private:
    mxf::MemoryBudget& Budget;
};

// Metadata that need more memory than the thread's budget gives are damage, not a file to name.
CStatus WithinBudget(int line)
{
    const mxf::MemoryBudget* budget = mxf::MemoryBudget::Current();
    if (!budget || !budget->Spent())
        return CStatus::Success();
    return CErrorGenMessage(Source, line, ErrorMetadataTooCostly, {std::to_string(budget->GetLimit())});
}

CStatus SetAttribute(IXMLDOMDocument& document, IXMLDOMElement& element, const char16_t* name,
                     const std::string& value)
{
    CComPtr<IXMLDOMAttribute> attribute;
    CComPtr<IXMLDOMNamedNodeMap> attributes;
    CStatus status = Checked(document.createAttribute(name, &attribute), __LINE__);
    if (status.IsSuccess())
        status = Checked(attribute->put_nodeValue(Wide(value)), __LINE__);
    if (status.IsSuccess())
        status = Checked(element.get_attributes(&attributes), __LINE__);
    if (status.IsSuccess())
        status = Checked(attributes->setNamedItem(attribute.get(), nullptr), __LINE__);
    return status;
}

CStatus AppendObject(const mxf::MDObjectPtr& object, IXMLDOMDocument& document, IXMLDOMElement& parent,
                     std::vector<const mxf::MDObject*>& path)
{
    const mxf::MDObject& o = *object;
    if (CStatus status = WithinBudget(__LINE__); status.Failed())
        return status;
    if (path.size() >= MaxNesting)
        return CErrorGenMessage(Source, __LINE__, ErrorMetadataTooDeep, {std::to_string(MaxNesting)});
    if (std::find(path.begin(), path.end(), &o) != path.end())
        return CErrorGenMessage(Source, __LINE__, ErrorMetadataLoop, {o.Name});
    const bool unknown = o.Name.find("Unknown") != std::string::npos;
    CComPtr<IXMLDOMElement> element;
    CStatus status = Checked(document.createElement(Wide(unknown ? "Unknown" : o.Name), &element), __LINE__);
    if (status.Failed())
        return status;
    path.push_back(&o);
    if (unknown)
    {
        status = SetAttribute(document, *element, u"ID", o.Name);
        if (status.IsSuccess())
            status = SetAttribute(document, *element, u"value", o.GetString(""));
    }
    else if (o.Link.GetPtr())
    {
        if (o.RefKind() == mxf::RefKinds::Strong)
        {
            status = SetAttribute(document, *element, u"ID", o.GetString(""));
            const mxf::MDObjectPtr target(o.GetReferencedObject());
            if (status.IsSuccess() && target.GetPtr())
                status = AppendObject(target, document, *element, path);
        }
    }
    else
    {
        if (o.ValueHolder)
            status = SetAttribute(document, *element, u"value", o.GetString(""));
        for (auto child = o.begin(); status.IsSuccess() && child != o.end(); ++child)
            status = AppendObject(child->second, document, *element, path);
    }
    path.pop_back();
    if (status.IsSuccess())
        status = Checked(parent.appendChild(element.get(), nullptr), __LINE__);
    return status;
}

// A time stamp of all zeros is what writers store when they have no date.
bool IsZeroDate(const std::string& text)
{
    return text.find('0') != std::string::npos && text.find_first_not_of("0-: .") == std::string::npos;
}

// "%Y - %m - %d %H : %M : %S"; what follows the seconds (the milliseconds of a time stamp) is not read.
bool ReadDate(const std::string& text, std::tm& time)
{
    CDateText in(text);
    int year = 0;
    const bool read = in.Number(4, 0, 9999, year) && in.Blanks() && in.Literal('-') && in.Blanks() &&
                      in.Number(2, 1, 12, time.tm_mon) && in.Blanks() && in.Literal('-') && in.Blanks() &&
                      in.Number(2, 1, 31, time.tm_mday) && in.Blanks() && in.Number(2, 0, 23, time.tm_hour) &&
                      in.Blanks() && in.Literal(':') && in.Blanks() && in.Number(2, 0, 59, time.tm_min) &&
                      in.Blanks() && in.Literal(':') && in.Blanks() && in.Number(2, 0, 60, time.tm_sec);
    time.tm_mon -= 1;
    time.tm_year = year - 1900;
    return read;
}

// The text of the one element that the path selects in the result document.
CStatus ResultText(IXMLDOMDocument& result, const char16_t* path, const CVolume& volume,
                   const std::string& position, WString& text)
{
    CComPtr<IXMLDOMNodeList> list;
    long length = 0;
    CStatus status = Checked(result.getElementsByTagName(path, &list), __LINE__);
    if (status.IsSuccess())
        status = Checked(list->get_length(&length), __LINE__);
    if (status.IsSuccess() && length != 1)
    {
        std::string name;
        WideToMultiByte(CP_UTF8, path, name);
        return CErrorGenFileSystem(Source, __LINE__, ErrorNoSingleResult, volume.GetID(), {position, name});
    }
    CComPtr<IXMLDOMElement> node;
    if (status.IsSuccess())
        status = Checked(list->nextNode(&node), __LINE__);
    if (status.IsSuccess() && !node)
        status = CErrorHRESULT(Source, __LINE__, E_FAIL);
    if (status.IsSuccess())
        status = Checked(node->get_text(&text), __LINE__);
    return status;
}

// Why "0/" + name is no clean catalogue path: empty when it is one. A name is a relative path of named
// parts, in printable characters, that a catalogue record can hold.
std::string UncleanReason(const WString& name)
{
    if (name.empty())
        return "is empty";
    if (name.front() == u'/')
        return "begins with /";
    for (char16_t unit : name)
        if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F))
            return "holds a control character";
    for (std::size_t start = 0; start <= name.size();)
    {
        const std::size_t end = std::min(name.find(u'/', start), name.size());
        const WStringView part(name.data() + start, end - start);
        if (part.empty())
            return "has an empty part";
        if (part == u"." || part == u"..")
            return "has a . or .. part";
        start = end + 1;
    }
    if (!CFileListInternal::EntryFits(name.size() + 2, RecordPayload))
        return "is longer than a catalogue path may be";
    return {};
}

// The text of a name for a message: cut short when it is long.
std::string Shown(const WString& name)
{
    constexpr std::size_t Most = 100;
    std::string text;
    WideToMultiByte(CP_UTF8, name.size() > Most ? name.substr(0, Most) : name, text);
    return name.size() > Most ? text + "..." : text;
}

// Why the stylesheet's output did not load. An output without any element (a file without a Preface)
// names nothing: the defaults stand, with a note. Elements that make no document (two Prefaces give two
// results) come of damaged metadata.
CStatus Unloaded(IXMLDOMDocument& document, const WString& output, const std::string& position,
                 CNamingNote& note)
{
    // Past the declaration, comments and processing instructions, the first markup that begins with a
    // name is an element.
    bool element = false;
    for (std::size_t at = output.find(u'<'); at != WString::npos && !element; at = output.find(u'<', at + 1))
        element = at + 1 < output.size() && output[at + 1] != u'?' && output[at + 1] != u'!';
    if (!element)
    {
        note.Text = "MXF file at block " + position + ": the stylesheet made no name of its header metadata";
        return CStatus::Success();
    }
    WString reason;
    document.get_parseReason(&reason);
    std::string why;
    WideToMultiByte(CP_UTF8, reason, why);
    return CErrorGenMessage(Source, __LINE__, ErrorFileUnnamed,
                            {position, "what the stylesheet made of its header metadata is no XML document: " +
                                           why});
}

// The name and date that the stylesheet makes of the metadata document, which it replaces.
CStatus NameFromMetadata(CMXFOnTapeFile& view, IXMLDOMDocument& document, IXMLDOMDocument& stylesheet,
                         const std::string& position, CNamingNote& note)
{
    WString output;
    CStatus status = Checked(document.transformNode(&stylesheet, &output), __LINE__);
    if (status.Failed())
    {
        // A transform stopped for the memory it took says so.
        const CStatus budget = WithinBudget(__LINE__);
        return budget.Failed() ? budget : status;
    }
    VARIANT_BOOL loaded = VARIANT_FALSE;
    status = Checked(document.loadXML(output, &loaded), __LINE__);
    if (status.Failed())
        return status;
    if (loaded == VARIANT_FALSE)
        return Unloaded(document, output, position, note);

    WString name;
    status = ResultText(document, u"Attributes/FileName", view.GetVolume(), position, name);
    if (status.Failed())
        return status;
    if (const std::string reason = UncleanReason(name); !reason.empty())
        note = {true, "MXF file at block " + position + ": the stylesheet named it \"" + Shown(name) +
                          "\", which " + reason + "; it keeps the name " + view.GetFileName().ToUtf8()};
    else
        view.SetFileName(CFileName(u"0/" + name));

    WString date;
    status = ResultText(document, u"Attributes/LastModifiedDate", view.GetVolume(), position, date);
    if (status.Failed() || date.empty())
        return status;
    std::string text;
    WideToMultiByte(CP_UTF8, date, text);
    if (IsZeroDate(text))
        return CStatus::Success();
    std::tm time{};
    if (!ReadDate(text, time))
        return CErrorGenFileSystem(Source, __LINE__, ErrorUnreadableDate, view.GetVolume().GetID(),
                                   {position, text});
    time.tm_isdst = -1; // local time as it was on that date
    const std::time_t seconds = std::mktime(&time);
    if (seconds == static_cast<std::time_t>(-1))
        return CErrorGenFileSystem(Source, __LINE__, ErrorUnreadableDate, view.GetVolume().GetID(),
                                   {position, text});
    view.SetLastModified(TimeToFileTime(static_cast<std::int64_t>(seconds)));
    return CStatus::Success();
}

// The end of the unbroken run of SMPTE-keyed items after the footer partition pack, which is where the
// file's bytes end; the padding after them in its last tape block is not the file's. An item whose
// length runs past the file measures nothing: the size stays that of the whole blocks.
void MeasureSize(CMXFOnTapeFile& view, const mxf::PartitionPtr& header)
{
    static const mxf::UL FooterPartition(mxf::FooterPartitionKey);
    std::uint64_t footer = static_cast<std::uint64_t>(header->Object->GetChildInt64(FooterPartition));
    if (footer == 0)
        footer = view.ScanBackForFooter(2 * static_cast<std::int64_t>(view.GetBlockSize()));
    if (footer == 0 || footer >= view.GetFileLength())
        return;
    view.Seek(footer);
    if (!view.ReadPartition().GetPtr())
        return;
    std::uint64_t end = view.Tell();
    while (end < view.GetFileLength())
    {
        const mxf::ULPtr key = view.ReadULKey();
        if (!key.GetPtr() || !mxf::HasSMPTEPrefix(key->GetValue()))
            break;
        const std::int64_t length = view.ReadBERLength();
        if (length < 0)
            break;
        if (view.Tell() > view.GetFileLength() ||
            static_cast<std::uint64_t>(length) > view.GetFileLength() - view.Tell())
            return;
        end = view.Tell() + static_cast<std::uint64_t>(length);
        view.Seek(end);
    }
    view.SetFileLength(end);
}

void SetDefaults(CMXFOnTapeFile& view, std::uint64_t firstBlock, std::uint64_t blocks)
{
    char name[40];
    std::snprintf(name, sizeof name, "0/%08" PRIu64 ".dat", firstBlock);
    view.SetFileName(CFileName(WidenAscii(name)));
    view.SetLastModified(0);
    view.SetFirstBlock(firstBlock);
    view.SetFileLength(blocks * view.GetBlockSize());
}

// Reads the partition's header metadata. Damage fails: anything the library reports while reading
// them (a file cut short, a length past the bytes, an item that is no KLV), a header partition that holds
// none, and metadata that need more memory than the budget holds.
CStatus ReadHeaderMetadata(mxf::Partition& partition, const std::string& position)
{
    CDiagnosticCapture reports;
    const std::uint64_t read = partition.ReadMetadata();
    if (CStatus status = WithinBudget(__LINE__); status.Failed())
        return status;
    if (const std::string why = reports.FirstError(); !why.empty())
        return CErrorGenMessage(Source, __LINE__, ErrorFileUnnamed, {position, why});
    if (read == 0)
        return CErrorGenMessage(Source, __LINE__, ErrorFileUnnamed,
                                {position, "its header partition holds no header metadata"});
    return CStatus::Success();
}

// ReadTapeFileInfo past the defaults.
CStatus NameFile(CMXFOnTapeFile& view, const std::string& position, IXMLDOMDocument& stylesheet,
                 bool measureSize, CNamingNote& note)
{
    // Whatever shape the metadata take, what the file's reading, document and transform hold is bounded.
    mxf::MemoryBudget budget(mxf::Partition::MaxHeaderMetadataMemory);
    const mxf::MemoryBudget::Scope library(budget);
    CXmlBudget documentBudget(library.Budget());
    const CXMLMemoryBudgetScope documents(documentBudget);

    view.Seek(0);
    const mxf::PartitionPtr partition = view.ReadPartition();
    if (!partition.GetPtr())
    {
        note.Text = "MXF file at block " + position + ": it begins with no partition pack";
        return CStatus::Success();
    }

    CComPtr<IXMLDOMDocument> document;
    CComPtr<IXMLDOMElement> root;
    CStatus status = Checked(CreateDOMDocument(&document), __LINE__);
    if (status.IsSuccess())
        status = Checked(document->put_async(VARIANT_FALSE), __LINE__);
    if (status.IsSuccess())
        status = Checked(document->createElement(u"Partition", &root), __LINE__);
    if (status.IsSuccess())
        status = AppendMetadataXml(partition->Object, *document, *root);
    if (status.IsSuccess())
        status = ReadHeaderMetadata(*partition, position);
    for (auto object = partition->TopLevelObjects.begin();
         status.IsSuccess() && object != partition->TopLevelObjects.end(); ++object)
        status = AppendMetadataXml(*object, *document, *root);
    if (status.IsSuccess())
        status = Checked(document->appendChild(root.get(), nullptr), __LINE__);
    root.Reset();
    if (status.IsSuccess())
        status = NameFromMetadata(view, *document, stylesheet, position, note);
    if (status.IsSuccess() && measureSize)
        MeasureSize(view, partition);
    return status;
}

// The message of a configured dictionary or stylesheet that did not load.
CStatus SettingUnloaded(int line, const char* setting, const WString& path, std::string why,
                        const char* builtIn)
{
    std::string name;
    WideToMultiByte(CP_UTF8, path, name);
    std::error_code error;
    if (!std::filesystem::exists(name, error))
        why = "there is no such file";
    else if (why.empty())
        why = "no reason given";
    return CErrorGenMessage(Source, line, ErrorSettingUnloaded, {setting, name, why, builtIn});
}
} // namespace

std::string LoadResourceText(unsigned id)
{
    const ModuleResource* resource = FindModuleResource(id);
    if (!resource || resource->Size == 0)
        return {};
    return std::string(reinterpret_cast<const char*>(resource->Bytes), resource->Size);
}

CStatus LoadMxfDictionary(CSystem* system)
{
    CSingleLock lock(&DictionaryLock, true);
    if (DictionaryLoaded)
        return CStatus::Success();
    WString path;
    CDiagnosticCapture reports;
    if (!system->Configuration.GetValue(Section, u"MXF Dictionary", path) || path.empty())
    {
        const std::string text = LoadResourceText(DictionaryResource);
        if (text.empty())
            return LastErrorStatus(__LINE__, ERROR_FILE_NOT_FOUND);
        if (mxf::LoadDictionaryFromText(text, "") != 0)
            return LastErrorStatus(__LINE__, ERROR_FILE_CORRUPT);
        DictionaryLoaded = true;
        return CStatus::Success();
    }
    std::string name;
    if (std::uint32_t error = WideToMultiByte(CP_ACP, path, name))
        return CErrorNumber::OsError(Source, __LINE__, error);
    if (mxf::LoadDictionaryFromFile(name.c_str(), mxf::DefaultSymbolSpace(), "") != 0)
        return SettingUnloaded(__LINE__, "MXF Dictionary", path, reports.FirstError(), "dictionary");
    DictionaryLoaded = true;
    return CStatus::Success();
}

CStatus LoadMxfTransform(CSystem* system, IXMLDOMDocument** stylesheet)
{
    if (CStatus status = Checked(CreateDOMDocument(stylesheet), __LINE__); status.Failed())
        return status;
    WString path;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (!system->Configuration.GetValue(Section, u"MXF Transform", path) || path.empty())
    {
        const std::string text = LoadResourceText(StylesheetResource);
        if (text.empty())
            return LastErrorStatus(__LINE__, ERROR_FILE_NOT_FOUND);
        return Checked((*stylesheet)->loadXML(Wide(text), &loaded), __LINE__);
    }
    CStatus status = Checked((*stylesheet)->load(path, &loaded), __LINE__);
    // A stylesheet that does not parse would fail the naming of every file.
    if (status.IsSuccess() && loaded == VARIANT_FALSE)
    {
        WString reason;
        (*stylesheet)->get_parseReason(&reason);
        std::string why;
        WideToMultiByte(CP_UTF8, reason, why);
        return SettingUnloaded(__LINE__, "MXF Transform", path, why, "stylesheet");
    }
    return status;
}

CStatus AppendMetadataXml(const mxf::MDObjectPtr& object, IXMLDOMDocument& document, IXMLDOMElement& parent)
{
    std::vector<const mxf::MDObject*> path;
    return AppendObject(object, document, parent, path);
}

CStatus ReadTapeFileInfo(CMXFOnTapeFile& view, std::uint64_t firstBlock, std::uint64_t blocks,
                         IXMLDOMDocument* stylesheet, bool measureSize, CNamingNote& note)
{
    SetDefaults(view, firstBlock, blocks);
    note = {};
    const std::string position = std::to_string(firstBlock);
    CStatus status;
    try
    {
        status = NameFile(view, position, *stylesheet, measureSize, note);
    }
    catch (const std::bad_alloc&)
    {
        // What the file's reading held is freed by now: the file is damaged, not the process.
        status = CErrorGenMessage(Source, __LINE__, ErrorFileUnnamed,
                                  {position, "memory ran out while its header metadata were read and named"});
    }
    if (status.IsSuccess())
        return status;
    // A file whose metadata cannot be read or named is catalogued as one without metadata.
    SetDefaults(view, firstBlock, blocks);
    note = {};
    const std::uint32_t code = status.GetInternalErrorCode();
    if (code == ErrorNoSingleResult || code == ErrorUnreadableDate || code == ErrorFileUnnamed)
        return status;
    return CErrorGenMessage(Source, __LINE__, ErrorFileUnnamed, {position, status.ToString()});
}
