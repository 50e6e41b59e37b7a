#include "mxf/XMLParser.h"

#include "crt/LowIO.h"
#include "mxf/Diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <expat.h>
#include <memory>

namespace mxf
{

namespace
{

constexpr int ReportBufferSize = 10240;
constexpr int FileBlockSize = 65536;

// Closes a file of the C run-time layer when it goes out of scope.
class FileHandle
{
public:
    explicit FileHandle(int handle) : Handle(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle()
    {
        if (Handle >= 0)
            crt::Close(Handle);
    }
    int Get() const { return Handle; }

private:
    int Handle;
};

const XML_Memory_Handling_Suite* ParserMemory = nullptr;

// Formats a parser message, cut to the report buffer, and hands it to DiagnosticError.
void Report(bool fatal, const char* format, va_list arguments)
{
    char text[ReportBufferSize];
    std::vsnprintf(text, sizeof text, format, arguments);
    DiagnosticError(fatal ? "XML FATAL ERROR: %s\n" : "XML ERROR: %s\n", text);
}

} // namespace

XML_Parser CreateXMLParser(bool namespaces)
{
    return XML_ParserCreate_MM(nullptr, ParserMemory, namespaces ? "|" : nullptr);
}

void SetXMLParserMemory(const XML_Memory_Handling_Suite* suite)
{
    ParserMemory = suite;
}

bool XMLParserParseFile(const ParserHandlerTable* table, void* userData, const std::string& fileName,
                        bool namespaces, XML_Parser* parserSlot)
{
    if (!table)
    {
        DiagnosticError("No handler defined in call to XMLParserParseFile()\n");
        return false;
    }
    const FileHandle file(crt::Open(fileName.c_str(), crt::OpenMode::ReadOnly));
    if (file.Get() < 0)
    {
        table->FatalError(userData, "Couldn't open file %s\n", fileName.c_str());
        return false;
    }
    const std::unique_ptr<XML_ParserStruct, XMLParserFreer> parser(CreateXMLParser(namespaces));
    if (!parser)
    {
        table->FatalError(userData, "Could't create an expat XML parser\n");
        return false;
    }
    XML_SetElementHandler(parser.get(), table->StartElement, table->EndElement);
    XML_SetUserData(parser.get(), userData);
    if (parserSlot)
        *parserSlot = parser.get();
    for (;;)
    {
        void* buffer = XML_GetBuffer(parser.get(), FileBlockSize);
        if (!buffer)
        {
            table->FatalError(userData, "Out of memory for a parser buffer of %d bytes\n", FileBlockSize);
            return false;
        }
        const std::int64_t count = crt::Read(file.Get(), buffer, FileBlockSize);
        if (count < 0)
        {
            table->FatalError(userData, "Couldn't read file %s\n", fileName.c_str());
            return false;
        }
        const bool atEnd = crt::Eof(file.Get()) != 0;
        if (XML_ParseBuffer(parser.get(), static_cast<int>(count), atEnd) == XML_STATUS_ERROR)
        {
            table->FatalError(userData, "Parse error at line %d:\n%s\n",
                              static_cast<int>(XML_GetCurrentLineNumber(parser.get())),
                              XML_ErrorString(XML_GetErrorCode(parser.get())));
            return false;
        }
        if (atEnd)
            return true;
    }
}

void XMLWarning(void*, const char*, ...)
{
    // Warnings are never shown, so there is nothing to format.
}

void XMLError(void*, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Report(false, format, arguments);
    va_end(arguments);
}

void XMLFatalError(void*, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Report(true, format, arguments);
    va_end(arguments);
}

} // namespace mxf
