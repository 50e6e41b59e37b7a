#include "win/CodePage.h"

#include "win/WinError.h"

#include <cerrno>
#include <iconv.h>

namespace
{
const char* CharsetOf(unsigned codePage)
{
    switch (codePage)
    {
    case CP_ACP:
    case CP_UTF8:
        return "UTF-8";
    case CP_OEMCP:
        return "CP437";
    case CP_UTF7:
        return "UTF-7";
    default:
        return nullptr;
    }
}

// Runs iconv over the whole input; the descriptor is opened per call, so conversions are thread-safe.
std::uint32_t Convert(const char* to, const char* from, const char* data, std::size_t size, std::string& out)
{
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return ERROR_INVALID_PARAMETER;
    std::string result(size * 4 + 16, '\0');
    char* in = const_cast<char*>(data);
    std::size_t inLeft = size;
    std::size_t done = 0;
    std::uint32_t error = ERROR_SUCCESS;
    for (;;)
    {
        char* outPtr = result.data() + done;
        std::size_t outLeft = result.size() - done;
        // A null input on the last round flushes the shift state (UTF-7 keeps one).
        std::size_t rc = inLeft ? iconv(cd, &in, &inLeft, &outPtr, &outLeft) : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        done = result.size() - outLeft;
        if (rc != static_cast<std::size_t>(-1))
        {
            if (inLeft == 0 && in != nullptr)
            {
                in = nullptr;
                continue;
            }
            break;
        }
        if (errno == E2BIG)
        {
            result.resize(result.size() * 2);
            continue;
        }
        error = ERROR_NO_UNICODE_TRANSLATION;
        break;
    }
    iconv_close(cd);
    if (error == ERROR_SUCCESS)
    {
        result.resize(done);
        out = std::move(result);
    }
    return error;
}
} // namespace

std::uint32_t MultiByteToWide(unsigned codePage, std::string_view text, WString& out)
{
    out.clear();
    const char* charset = CharsetOf(codePage);
    if (!charset)
        return ERROR_INVALID_PARAMETER;
    std::string bytes;
    std::uint32_t error = Convert("UTF-16LE", charset, text.data(), text.size(), bytes);
    if (error != ERROR_SUCCESS)
        return error;
    out.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return ERROR_SUCCESS;
}

std::uint32_t WideToMultiByte(unsigned codePage, WStringView text, std::string& out)
{
    out.clear();
    const char* charset = CharsetOf(codePage);
    if (!charset)
        return ERROR_INVALID_PARAMETER;
    std::string bytes(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return Convert(charset, "UTF-16LE", bytes.data(), bytes.size(), out);
}
