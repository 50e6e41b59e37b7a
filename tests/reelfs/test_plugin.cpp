// Libraries that sit in a plug-in folder without being plug-ins that register: one whose registration
// fails, and one without the export.
#include <cstdint>

#ifdef WITHOUT_EXPORT
extern "C" __attribute__((visibility("default"))) int SomethingElse()
{
    return 0;
}
#else
extern "C" __attribute__((visibility("default"))) std::uint32_t RegisterFactory0711()
{
    return 14;
}
#endif
