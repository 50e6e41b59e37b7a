// The named values of enumeration types.
#include "mxf/Diagnostics.h"
#include "mxf/MDObject.h"
#include "mxf/MDType.h"

namespace mxf
{

bool MDType::AddEnumeratedValue(const std::string& name, const SmartPtr<MDObject>& value)
{
    if (Class != ENUM)
    {
        DiagnosticError("Attempted to add enumerated value %s to type %s, which is not an enumeration\n",
                        name.c_str(), Name.c_str());
        return false;
    }
    const std::string text = value->GetString(std::string());
    for (const auto& [existingName, existing] : EnumList)
    {
        if (existingName == name)
        {
            if (existing->ValueEquals(*value))
                return true;
            DiagnosticError(
                "Attempted to add enumerated value named %s to type %s, which already has a value of "
                "this name with a different value\n",
                name.c_str(), Name.c_str());
            return false;
        }
        if (existing->GetString(std::string()) == text)
        {
            DiagnosticError(
                "Attempted to add enumerated value of %s to type %s, which already has this value\n",
                text.c_str(), Name.c_str());
            return false;
        }
    }
    EnumList.emplace_back(name, value);
    return true;
}

bool MDType::AddEnumeratedValueText(const std::string& name, const std::string& text)
{
    MDType* base = GetBase();
    if (!base)
        return false;
    MDObjectPtr value(new MDObject(base));
    value->SetString(text);
    return AddEnumeratedValue(name, value);
}

} // namespace mxf
