// The built-in dictionary: the compiled-in value types, classes and traits bindings, put in place once per
// process before the first metadata object is made from a class, a value type or a label. Safe to call from
// several threads. Defined with the dictionary loading, which the object constructors then call first.
#pragma once

namespace mxf
{

void InitBuiltInDictionary();

} // namespace mxf
