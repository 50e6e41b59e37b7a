#include "mxf/DictionaryLoad.h"

#include "mxf/ClassDefinition.h"
#include "mxf/MDOType.h"
#include "mxf/RXIDictionary.h"
#include "mxf/TypeDefinition.h"
#include "mxf/XMLDictionary.h"

namespace mxf
{

namespace
{

// Register records in their fixed order: types, element classes, group classes, then primer and targets.
// What the definers leave undefined they report themselves.
void DefineRegisterRecords(const RXIData& data, const SymbolSpacePtr& space)
{
    if (!data.TypeRecords.empty())
        DefineTypesFromRecords(data.TypeRecords, space);
    if (!data.ElementRecords.empty())
        DefineClassesFromRecords(data.ElementRecords, space);
    if (!data.GroupRecords.empty())
        DefineClassesFromRecords(data.GroupRecords, space);
    if (!data.ElementRecords.empty() || !data.GroupRecords.empty())
        MDOType::BuildStaticPrimer();
    MDOType::ResolveRefTargets();
}

} // namespace

int LoadDictionaryFromFile(const char* fileName, const SymbolSpacePtr& space, const std::string& application)
{
    const RXIDataPtr data = ParseRXIFile(fileName, space, application);
    if (!data)
        return -1;
    if (data->OldFormat)
        return LoadXMLDictionaryFile(fileName, space);
    DefineRegisterRecords(*data, space);
    return 0;
}

int LoadDictionaryFromText(const std::string& text, const std::string& application)
{
    const RXIDataPtr data = ParseRXIText(text, DefaultSymbolSpace(), application);
    if (!data)
        return -1;
    if (data->OldFormat)
        return LoadXMLDictionaryText(text);
    DefineRegisterRecords(*data, DefaultSymbolSpace());
    return 0;
}

} // namespace mxf
