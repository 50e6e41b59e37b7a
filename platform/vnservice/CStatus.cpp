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
        for (std::size_t i = 0; i < Record->Parameters.size() && i < 9; ++i)
        {
            std::string mark = "%" + std::to_string(i + 1);
            for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1))
            {
                text.replace(at, mark.size(), Record->Parameters[i]);
                at += Record->Parameters[i].size() - 1;
            }
        }
    }
    return std::string(number) + ": " + text;
}

std::string CStatus::ToStringWithSource() const
{
    if (!Record)
        return ToString();
    return ToString() + " (" + Record->SourceFile + ":" + std::to_string(Record->Line) + ")";
}
