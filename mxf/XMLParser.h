// The expat glue that the dictionary and register loaders share: the table of five parser callbacks,
// feeding a file to the parser in blocks taken from its own buffer, and the three report callbacks that
// format a parser message and hand it to the diagnostic hooks. Stateless; each parse has its own parser
// and user data, so parses on different threads do not meet here.
#pragma once

#include <expat.h>
#include <string>

namespace mxf
{

using XMLStartHandler = void (*)(void* userData, const char* name, const char** attributes);
using XMLEndHandler = void (*)(void* userData, const char* name);
using XMLReportHandler = void (*)(void* userData, const char* format, ...);

// Frees a parser when it goes out of scope.
struct XMLParserFreer
{
    void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

struct ParserHandlerTable
{
    XMLStartHandler StartElement;
    XMLEndHandler EndElement;
    XMLReportHandler Warning;
    XMLReportHandler Error;
    XMLReportHandler FatalError;
};

// A new parser (null when out of memory); with namespaces, names arrive as namespace, '|' and local name.
XML_Parser CreateXMLParser(bool namespaces);
// The memory functions that later parsers allocate with (null: the C library's); a seam for tests that
// need a parser to run out of memory. Not thread-safe.
void SetXMLParserMemory(const XML_Memory_Handling_Suite* suite);

// Parses the whole file, calling the table's handlers with userData; with namespaces, element and attribute
// names arrive as namespace, '|' and local name. False, after a fatal report, when the table is missing,
// the file cannot be read, the parser cannot be created or the document is not well-formed. While the
// parse runs, *parserSlot (when given) holds its parser, so that handlers can install further handlers.
bool XMLParserParseFile(const ParserHandlerTable* table, void* userData, const std::string& fileName,
                        bool namespaces, XML_Parser* parserSlot = nullptr);

// Warnings are dropped; errors reach DiagnosticError as "XML ERROR: ...", fatal errors as
// "XML FATAL ERROR: ...". A message longer than the report buffer is cut.
[[gnu::format(printf, 2, 3)]] void XMLWarning(void* userData, const char* format, ...);
[[gnu::format(printf, 2, 3)]] void XMLError(void* userData, const char* format, ...);
[[gnu::format(printf, 2, 3)]] void XMLFatalError(void* userData, const char* format, ...);

} // namespace mxf
