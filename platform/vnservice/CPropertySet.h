// Properties that a host object shows to the user. A property set counts, enumerates, reads and updates
// its properties; values travel as variants that hold nothing or a text. The UI object is where a changed
// property is saved and shown. Used by the host's operation thread only.
#pragma once

#include "vnservice/CStatus.h"
#include "win/WideString.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

using CVariant = std::optional<WString>;

constexpr std::size_t PropertyNameUnits = 64;

// One entry of a property enumeration.
struct CPropertyRecord
{
    std::uint32_t Kind = 0;
    std::uint32_t Access = 0;
    std::uint32_t Group = 0;
    std::uint8_t Flag = 0;
    char16_t Name[PropertyNameUnits] = {};
};

// A property named for reading, or a value given for an update.
struct CPropertyValue
{
    std::uint32_t Kind = 0; // kind 8 carries no name
    char16_t Name[PropertyNameUnits] = {};
    CVariant Variant;

    WStringView GetName() const { return WStringView(Name, BoundedLength(Name, PropertyNameUnits)); }
};

// Saves the object a property belongs to and refreshes what shows it; the code says what changed.
class CUIObject
{
public:
    virtual ~CUIObject() = default;
    virtual CStatus SaveAndUpdateUI(std::uint32_t code);

    void SetSaver(std::function<CStatus(std::uint32_t)> saver) { Saver = std::move(saver); }
    const std::vector<std::uint32_t>& GetUpdates() const { return Updates; }

private:
    std::function<CStatus(std::uint32_t)> Saver;
    std::vector<std::uint32_t> Updates;
};

class CPropertySet
{
public:
    virtual ~CPropertySet() = default;

    // The host's own set is empty: an object adds what it shows.
    virtual CStatus CountProperties(std::uint32_t& count);
    // Writes records at the cursor while `remainingBytes` holds room for them.
    virtual CStatus EnumerateProperties(const CPropertyRecord& model, std::size_t& remainingBytes,
                                        CPropertyRecord*& cursor);
    virtual CStatus GetProperty(const CPropertyValue& property, CVariant& value);
    virtual CStatus UpdateProperty(CPropertyValue& value, bool flag);

    // The answer to a read: the text as the value.
    static CStatus GetPropertyValue(WStringView text, CVariant& value);
    // The variant of a given value.
    static CVariant GetPropertyValue(const CPropertyValue& value);
    // The text of a variant; an empty variant gives empty text.
    static CStatus UpdatePropertyValue(const CVariant& variant, WString& text);

    CUIObject* UIObject = &OwnUIObject;

private:
    CUIObject OwnUIObject;
};
