// How the Tedial plug-in names and dates the MXF files of a tape: the process's MXF dictionary, loaded
// once; the XSLT stylesheet of a scan; and the reading of one file's header partition into an XML document
// that the stylesheet turns into the file's name and modification date, with its exact size measured from
// its footer when asked. The dictionary load is serialised by one process-wide lock; everything else runs
// on the calling operation's thread, with documents of its own.
#pragma once

#include "msxml/MsXml.h"
#include "mxf/MDObject.h"
#include "vnservice/CStatus.h"

#include <cstdint>
#include <string>

class CMXFOnTapeFile;
class CSystem;

// Loads the dictionary named by "MXF Dictionary" (section "MXFREELFS"), else the built-in one, unless a
// load already succeeded in this process; a failed load is tried again by the next caller.
CStatus LoadMxfDictionary(CSystem* system);
// A new DOM document holding the stylesheet named by "MXF Transform", else the built-in one; the caller
// owns the document's reference.
CStatus LoadMxfTransform(CSystem* system, IXMLDOMDocument** stylesheet);
// The bytes of the module's resource of that id; empty when it has none.
std::string LoadResourceText(unsigned id);

// Why a file whose naming did not fail still keeps its default name: empty when the name and date are
// its metadata's.
struct CNamingNote
{
    bool Refused = false; // the stylesheet made a name that is no clean path, not merely none
    std::string Text;
};

// Sets the view's FirstBlock, FileName, FileLength and LastModified for the file of `blocks` tape blocks
// from `firstBlock`: its default name "0/NNNNNNNN.dat", time 0 and whole blocks, then what its header
// metadata gives through the stylesheet. A file without a partition pack, or whose metadata the
// stylesheet makes no name of, keeps the defaults and `note` says why. A failure to read or name the
// metadata leaves the defaults too, and its text names the file's first block.
CStatus ReadTapeFileInfo(CMXFOnTapeFile& view, std::uint64_t firstBlock, std::uint64_t blocks,
                         IXMLDOMDocument* stylesheet, bool measureSize, CNamingNote& note);
// Appends the element of the object (with its children or its strong reference's target) to `parent`.
CStatus AppendMetadataXml(const mxf::MDObjectPtr& object, IXMLDOMDocument& document, IXMLDOMElement& parent);
