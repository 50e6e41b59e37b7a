// The built-in dictionary: the compiled-in value types, classes and traits bindings that every metadata
// object and every dictionary load relies on, put in place once per process. InitBuiltInDictionary may be
// called from any thread: the first caller loads the core under a process-wide recursive lock while other
// threads wait, and the calls that the load makes back into it through the definers return at once.
#pragma once

#include "mxf/MDTraits.h"
#include "mxf/SymbolSpace.h"
#include "mxf/UL.h"

#include <string>

namespace mxf
{

// Loads the compiled-in types and classes into the default symbol space and registers the built-in traits,
// unless that has begun already; returns once the core is in place (or, inside the load, at once).
void InitBuiltInDictionary();

// Binds the built-in traits to their type names and labels; only the first call does anything.
void RegisterBuiltInTraits();

// Registers the traits under their name unless some traits have that name already, then binds the type
// name (or label) to the traits of that name. The traits name, or empty when the binding failed.
std::string MapTypeNameToTraits(const std::string& typeName, const MDTraitsPtr& traits);
std::string MapULToTraits(const UL& label, const MDTraitsPtr& traits);

// The compiled-in type table, defined with the default symbol space as the definer's space.
int LoadStaticTypeTable();
// The compiled-in class table, defined into space; -1 when a pass defines none of its classes.
int LoadStaticClassTable(const SymbolSpacePtr& space);

} // namespace mxf
