// The four static texts that set one plug-in apart in the frame: the type name under which its factory is
// registered, the name shown to users, the name of its trace source and the text of its type descriptor.
#pragma once

struct CPluginTexts
{
    const char16_t* TypeName;
    const char16_t* DisplayName;
    const char* TraceName;
    const char16_t* DescriptorText;
};
