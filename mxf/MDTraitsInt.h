// The integer and character members of the traits family: signed and unsigned integers of 1, 2, 4 and 8
// bytes, stored big-endian, and single ISO 7 and UTF-16 characters. Like all traits they hold no data and
// may serve any number of values on any threads.
#pragma once

#include "mxf/MDTraits.h"

#include <cstddef>

namespace mxf
{

// The 1-, 2- and 4-byte integers: they store the low bytes of a 32-bit number and read them back sign- or
// zero-extended.
class MDTraits_BasicInt : public MDTraits
{
public:
    void SetInt(MDObject& object, std::int32_t value) const override;
    void SetInt64(MDObject& object, std::int64_t value) const override;
    void SetUInt(MDObject& object, std::uint32_t value) const override;
    void SetUInt64(MDObject& object, std::uint64_t value) const override;
    // "0x" and hexadecimal digits, else a decimal number with optional blanks and sign in front.
    void SetString(MDObject& object, const std::string& text) const override;
    std::int32_t GetInt(const MDObject& object) const override;
    std::int64_t GetInt64(const MDObject& object) const override;
    std::uint32_t GetUInt(const MDObject& object) const override;
    std::uint64_t GetUInt64(const MDObject& object) const override;
    using MDTraits::GetString;
    // Decimal, with a sign for the signed members.
    std::string GetString(const MDObject& object) const override;
    // Reads the widest of 8, 4, 2 or 1 bytes that the buffer (and the type's fixed size) allows.
    std::uint64_t ReadValue(MDObject& object, const std::uint8_t* buffer, std::uint64_t size,
                            std::uint32_t count) const override;

protected:
    virtual std::size_t Width() const = 0;
    virtual bool ReadsSigned() const = 0;
};

class MDTraits_Int8 : public MDTraits_BasicInt
{
public:
    std::string Name() const override { return "mxf::MDTraits_Int8"; }

protected:
    std::size_t Width() const override { return 1; }
    bool ReadsSigned() const override { return true; }
};

class MDTraits_UInt8 : public MDTraits_Int8
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_UInt8"; }
    // At least two lower-case hexadecimal digits.
    std::string GetString(const MDObject& object) const override;

protected:
    bool ReadsSigned() const override { return false; }
};

class MDTraits_ISO7 : public MDTraits_UInt8
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_ISO7"; }
    // One character; the value 0 is the empty text.
    std::string GetString(const MDObject& object) const override;
    void SetString(MDObject& object, const std::string& text) const override;
};

class MDTraits_Int16 : public MDTraits_BasicInt
{
public:
    std::string Name() const override { return "mxf::MDTraits_Int16"; }

protected:
    std::size_t Width() const override { return 2; }
    bool ReadsSigned() const override { return true; }
};

class MDTraits_UInt16 : public MDTraits_Int16
{
public:
    std::string Name() const override { return "mxf::MDTraits_UInt16"; }

protected:
    bool ReadsSigned() const override { return false; }
};

class MDTraits_UTF16 : public MDTraits_UInt16
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_UTF16"; }
    // The code unit in UTF-8 (a surrogate, half of no character, as U+FFFD); 0 is the empty text.
    std::string GetString(const MDObject& object) const override;
    // The first character of UTF-8 text; U+FFFD when the text does not begin with a whole character or
    // it lies beyond the basic plane.
    void SetString(MDObject& object, const std::string& text) const override;
};

class MDTraits_Int32 : public MDTraits_BasicInt
{
public:
    std::string Name() const override { return "mxf::MDTraits_Int32"; }

protected:
    std::size_t Width() const override { return 4; }
    bool ReadsSigned() const override { return true; }
};

class MDTraits_UInt32 : public MDTraits_Int32
{
public:
    std::string Name() const override { return "mxf::MDTraits_UInt32"; }

protected:
    bool ReadsSigned() const override { return false; }
};

// 8-byte integers. The signed member reads its value with the default operation, the unsigned one as an
// integer of the width the buffer allows.
class MDTraits_Int64 : public MDTraits
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_Int64"; }
    void SetInt(MDObject& object, std::int32_t value) const override;
    void SetInt64(MDObject& object, std::int64_t value) const override;
    void SetUInt(MDObject& object, std::uint32_t value) const override;
    void SetUInt64(MDObject& object, std::uint64_t value) const override;
    // A decimal number with optional blanks and sign in front.
    void SetString(MDObject& object, const std::string& text) const override;
    std::int32_t GetInt(const MDObject& object) const override;
    std::int64_t GetInt64(const MDObject& object) const override;
    std::uint32_t GetUInt(const MDObject& object) const override;
    std::uint64_t GetUInt64(const MDObject& object) const override;
    std::string GetString(const MDObject& object) const override;
};

class MDTraits_UInt64 : public MDTraits_Int64
{
public:
    using MDTraits::GetString;
    std::string Name() const override { return "mxf::MDTraits_UInt64"; }
    std::string GetString(const MDObject& object) const override;
    std::uint64_t ReadValue(MDObject& object, const std::uint8_t* buffer, std::uint64_t size,
                            std::uint32_t count) const override;
};

} // namespace mxf
