#include "vnservice/CPropertySet.h"

#include "vnservice/ErrorGenerators.h"
#include "vnservice/HostErrors.h"

CStatus CUIObject::SaveAndUpdateUI(std::uint32_t code)
{
    Updates.push_back(code);
    return Saver ? Saver(code) : CStatus::Success();
}

CStatus CPropertySet::CountProperties(std::uint32_t& count)
{
    count = 0;
    return CStatus::Success();
}

CStatus CPropertySet::EnumerateProperties(const CPropertyRecord&, std::size_t&, CPropertyRecord*&)
{
    return CStatus::Success();
}

CStatus CPropertySet::GetProperty(const CPropertyValue& property, CVariant&)
{
    return CErrorGenMessage("PropertySet", __LINE__, HostErrorNoSuchProperty, {WideParameter(property.GetName())});
}

CStatus CPropertySet::UpdateProperty(CPropertyValue& value, bool)
{
    WStringView name = value.Kind == 8 ? WStringView() : value.GetName();
    value.Variant.reset();
    return CErrorGenMessage("PropertySet", __LINE__, HostErrorNoSuchProperty, {WideParameter(name)});
}

CStatus CPropertySet::GetPropertyValue(WStringView text, CVariant& value)
{
    value = WString(text);
    return CStatus::Success();
}

CVariant CPropertySet::GetPropertyValue(const CPropertyValue& value)
{
    return value.Variant;
}

CStatus CPropertySet::UpdatePropertyValue(const CVariant& variant, WString& text)
{
    text = variant.value_or(WString());
    return CStatus::Success();
}
