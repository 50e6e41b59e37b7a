// How the DOM objects use libxml2 and libxslt: the one-time set-up of both libraries for this process,
// the options every parse uses, and the transform with its limits. Internal to the DOM; the functions
// may be called from several threads once `InitLibraries` has run.
#pragma once

#include "win/WideString.h"

#include <libxml/parser.h>
#include <libxslt/xsltInternals.h>

#include <cstddef>
#include <string>

namespace msxml
{
// Before any other call into the libraries: their allocator, their silence (a failure is told through
// an HRESULT) and an entity loader that loads nothing, so no parse reaches a file or the network.
void InitLibraries();

// Options of every parse: no network, no DTD, no entity substitution, no messages, names not shared
// with a dictionary (so nodes can move between the trees of one document object).
constexpr int ParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NODICT;

// Limits of one transform: XPath operations, nested templates, and the bytes the libraries hold for it
// past which it is stopped.
constexpr unsigned long TransformOperationLimit = 1'000'000;
constexpr int TransformDepthLimit = 1000;
constexpr std::size_t TransformMemoryLimit = 64u << 20;

// Parses the text as XML under `ParseOptions`; null when it does not parse.
xmlDocPtr ParseText(const std::string& text);

// Applies the stylesheet to the document under the limits above with files, folders and the network
// forbidden, and serialises the result as the stylesheet's output method says. False when the transform
// fails or is stopped.
bool Transform(xsltStylesheetPtr stylesheet, xmlDocPtr document, std::string& output);
} // namespace msxml
