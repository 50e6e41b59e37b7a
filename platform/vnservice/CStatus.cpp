#include "vnservice/CStatus.h"

#include "vnservice/HostErrors.h"

#include <cstdio>

CStatus& CStatus::Ignored()
{
    if (Record)
        Record->Ignored = true;
    return *this;
}

CStatus& CStatus::NotPropagated()
{
    if (Record)
        Record->NotPropagated = true;
    return *this;
}

const std::vector<std::string>& CStatus::GetParameters() const
{
    static const std::vector<std::string> none;
    return Record ? Record->Parameters : none;
}

std::string CStatus::ToString() const
{
    if (!Record)
        return "success";
    char number[16];
    std::snprintf(number, sizeof number, "0x%08X", Record->Code);
    std::string text = HostErrorText(Record->Code);
    if (text.empty())
    {
        text = "host error";
        for (const auto& parameter : Record->Parameters)
            text += " " + parameter;
    }
    else
    {
        // One pass from left to right: a parameter's own text is never searched for marks.
        std::string message;
        for (std::size_t i = 0; i < text.size(); ++i)
        {
            std::size_t index = i + 1 < text.size() && text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9'
                                    ? static_cast<std::size_t>(text[i + 1] - '1')
                                    : Record->Parameters.size();
            if (index < Record->Parameters.size())
            {
                message += Record->Parameters[index];
                ++i;
            }
            else
                message += text[i];
        }
        text = std::move(message);
    }
    return std::string(number) + ": " + text;
}

std::string CStatus::ToStringWithSource() const
{
    if (!Record)
        return ToString();
    return ToString() + " (" + Record->SourceFile + ":" + std::to_string(Record->Line) + ")";
}
