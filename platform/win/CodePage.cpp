#include "win/CodePage.h"

#include "win/WinError.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <iconv.h>
#include <mutex>
#include <new>
#include <vector>

static_assert(std::endian::native == std::endian::little, "wide text is converted as UTF-16LE");

namespace
{
constexpr const char* Wide = "UTF-16LE";

// The charsets behind the code pages, by the slot their descriptors take.
enum Charset
{
    Utf8,
    Oem,
    Utf7,
    CharsetCount
};

bool CharsetOf(unsigned codePage, Charset& charset)
{
    switch (codePage)
    {
    case CP_ACP:
    case CP_UTF8:
        charset = Utf8;
        return true;
    case CP_OEMCP:
        charset = Oem;
        return true;
    case CP_UTF7:
        charset = Utf7;
        return true;
    default:
        return false;
    }
}

const char* NameOf(Charset charset)
{
    constexpr const char* Names[CharsetCount] = {"UTF-8", "CP437", "UTF-7"};
    return Names[charset];
}

// UTF-8 and CP437 map the bytes 0 to 0x7F to the same code units, so such text needs no converter. In
// UTF-7 '+' opens an encoded run, so it always goes through one.
bool IsAsciiIdentity(Charset charset)
{
    return charset != Utf7;
}

// What iconv_open gives for a charset it does not know.
const iconv_t Closed = reinterpret_cast<iconv_t>(-1);

// The conversion descriptors of the process, kept once opened: opening one costs far more than
// converting a name. A conversion borrows a descriptor of its charset and direction, a free one or one
// opened for it, and gives it back; the pool grows to the most conversions of a kind at once, and closes
// its descriptors when the process ends. All members may be called from several threads.
class CDescriptorPool
{
public:
    CDescriptorPool() = default;
    CDescriptorPool(const CDescriptorPool&) = delete;
    CDescriptorPool& operator=(const CDescriptorPool&) = delete;
    ~CDescriptorPool()
    {
        for (const auto& kind : Free)
            for (iconv_t cd : kind)
                iconv_close(cd);
    }

    static CDescriptorPool& Process()
    {
        static CDescriptorPool pool;
        return pool;
    }

    // A descriptor in its initial shift state; Closed when iconv does not know the charset.
    iconv_t Borrow(Charset charset, bool toWide)
    {
        {
            std::lock_guard lock(Mutex);
            std::vector<iconv_t>& kind = Free[Slot(charset, toWide)];
            if (!kind.empty())
            {
                iconv_t cd = kind.back();
                kind.pop_back();
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                return cd;
            }
        }
        return toWide ? iconv_open(Wide, NameOf(charset)) : iconv_open(NameOf(charset), Wide);
    }

    void GiveBack(Charset charset, bool toWide, iconv_t cd)
    {
        if (cd == Closed)
            return;
        std::lock_guard lock(Mutex);
        try
        {
            Free[Slot(charset, toWide)].push_back(cd);
        }
        catch (const std::bad_alloc&)
        {
            iconv_close(cd);
        }
    }

private:
    static std::size_t Slot(Charset charset, bool toWide) { return 2 * charset + (toWide ? 1 : 0); }

    std::mutex Mutex;
    std::array<std::vector<iconv_t>, 2 * CharsetCount> Free;
};

// A descriptor borrowed from the process's pool for one conversion.
class CBorrowedDescriptor
{
public:
    CBorrowedDescriptor(Charset charset, bool toWide)
        : Which(charset), ToWide(toWide), Descriptor(CDescriptorPool::Process().Borrow(charset, toWide))
    {
    }
    CBorrowedDescriptor(const CBorrowedDescriptor&) = delete;
    CBorrowedDescriptor& operator=(const CBorrowedDescriptor&) = delete;
    ~CBorrowedDescriptor() { CDescriptorPool::Process().GiveBack(Which, ToWide, Descriptor); }

    iconv_t Get() const { return Descriptor; }

private:
    const Charset Which;
    const bool ToWide;
    const iconv_t Descriptor;
};

// Runs iconv over the whole input into `out`, whose elements are `unit` bytes wide: out holds the result
// on success and is left for the caller to empty on failure.
template <class Text>
std::uint32_t Convert(iconv_t cd, const char* data, std::size_t size, std::size_t unit, Text& out)
{
    if (cd == Closed)
        return ERROR_INVALID_PARAMETER;
    out.resize((size * 4 + 16) / unit);
    char* in = const_cast<char*>(data);
    std::size_t inLeft = size;
    std::size_t done = 0;
    for (;;)
    {
        char* outPtr = reinterpret_cast<char*>(out.data()) + done;
        std::size_t outLeft = out.size() * unit - done;
        // A null input on the last round flushes the shift state (UTF-7 keeps one).
        std::size_t rc =
            in ? iconv(cd, &in, &inLeft, &outPtr, &outLeft) : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        done = out.size() * unit - outLeft;
        if (rc != static_cast<std::size_t>(-1))
        {
            if (in != nullptr)
            {
                in = nullptr;
                continue;
            }
            break;
        }
        if (errno != E2BIG)
            return ERROR_NO_UNICODE_TRANSLATION;
        out.resize(out.size() * 2);
    }
    out.resize(done / unit);
    return ERROR_SUCCESS;
}
} // namespace

std::uint32_t MultiByteToWide(unsigned codePage, std::string_view text, WString& out)
{
    out.clear();
    Charset charset;
    if (!CharsetOf(codePage, charset))
        return ERROR_INVALID_PARAMETER;
    if (IsAsciiIdentity(charset) &&
        std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    {
        out.assign(text.begin(), text.end());
        return ERROR_SUCCESS;
    }
    CBorrowedDescriptor cd(charset, true);
    std::uint32_t error = Convert(cd.Get(), text.data(), text.size(), 2, out);
    if (error != ERROR_SUCCESS)
        out.clear();
    return error;
}

std::uint32_t WideToMultiByte(unsigned codePage, WStringView text, std::string& out)
{
    out.clear();
    Charset charset;
    if (!CharsetOf(codePage, charset))
        return ERROR_INVALID_PARAMETER;
    if (IsAsciiIdentity(charset) &&
        std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; }))
    {
        out.assign(text.begin(), text.end());
        return ERROR_SUCCESS;
    }
    CBorrowedDescriptor cd(charset, false);
    std::uint32_t error =
        Convert(cd.Get(), reinterpret_cast<const char*>(text.data()), 2 * text.size(), 1, out);
    if (error != ERROR_SUCCESS)
        out.clear();
    return error;
}
