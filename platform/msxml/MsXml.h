// The XML DOM and XSLT as the Tedial plug-in calls them: a document that is built from elements and
// attributes or loaded from text or a file, transformed by a stylesheet document, and searched by a path
// of tag names. A document, its elements and its attributes each have their own type; each object is
// counted (Release frees it), and the nodes it points to live as long as any object of their document, so
// objects may be released in any order. Every call returns an HRESULT; texts are UTF-16. Objects from one
// document are used by one thread at a time; separate documents are independent.
#pragma once

#include "win/WideString.h"

#include <cstddef>
#include <cstdint>

using HRESULT = std::int32_t;
using VARIANT_BOOL = std::int16_t;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline bool SUCCEEDED(HRESULT result)
{
    return result >= 0;
}
inline bool FAILED(HRESULT result)
{
    return result < 0;
}

class IXMLDOMNamedNodeMap;
class IXMLDOMNodeList;

class IXMLDOMUnknown
{
public:
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    virtual ~IXMLDOMUnknown() = default;
};

// What every node offers: its text and that of everything under it.
class IXMLDOMNode : public IXMLDOMUnknown
{
public:
    virtual HRESULT get_text(WString* text) = 0;
};

class IXMLDOMElement : public IXMLDOMNode
{
public:
    // Appends an element of the same document that is in no tree yet and does not hold this one; `out`,
    // when given, gets it counted.
    virtual HRESULT appendChild(IXMLDOMElement* child, IXMLDOMElement** out) = 0;
    virtual HRESULT get_attributes(IXMLDOMNamedNodeMap** out) = 0;
};

class IXMLDOMAttribute : public IXMLDOMNode
{
public:
    // The value, taken as plain text.
    virtual HRESULT put_nodeValue(const WString& value) = 0;
};

class IXMLDOMNamedNodeMap : public IXMLDOMUnknown
{
public:
    // Sets an attribute of the same document that no element holds yet. One of the same name is taken
    // off the element (its objects stay usable); `out`, when given, gets the new one counted.
    virtual HRESULT setNamedItem(IXMLDOMAttribute* attribute, IXMLDOMAttribute** out) = 0;
};

class IXMLDOMNodeList : public IXMLDOMUnknown
{
public:
    virtual HRESULT get_length(long* length) = 0;
    // The next element, or null (S_FALSE) after the last.
    virtual HRESULT nextNode(IXMLDOMElement** out) = 0;
};

class IXMLDOMDocument : public IXMLDOMNode
{
public:
    // Makes the element the document's root; a document has one.
    virtual HRESULT appendChild(IXMLDOMElement* child, IXMLDOMElement** out) = 0;
    // Loading is always synchronous here; the mode is kept for callers that set it.
    virtual HRESULT put_async(VARIANT_BOOL async) = 0;
    virtual HRESULT createElement(const WString& name, IXMLDOMElement** out) = 0;
    virtual HRESULT createAttribute(const WString& name, IXMLDOMAttribute** out) = 0;
    // The text that the stylesheet document makes of this document. A stylesheet declaring a version
    // other than 1.0 runs in forwards-compatible mode. It may not read or write files, create folders or
    // use the network; one that runs too long, nests too deep or grows too large fails with E_FAIL.
    virtual HRESULT transformNode(IXMLDOMDocument* stylesheet, WString* output) = 0;
    // Replace the document by the parsed text or file. Text that does not parse leaves the document empty
    // and gives S_FALSE with `success` false. External entities and DTDs are never loaded.
    virtual HRESULT loadXML(const WString& text, VARIANT_BOOL* success) = 0;
    virtual HRESULT load(const WString& path, VARIANT_BOOL* success) = 0;
    // Why the last load or loadXML did not parse: the parser's message with its line and column; empty
    // when it parsed.
    virtual HRESULT get_parseReason(WString* reason) = 0;
    // The elements that the path of tag names ("Attributes/FileName") selects anywhere in the document.
    virtual HRESULT getElementsByTagName(const WString& path, IXMLDOMNodeList** out) = 0;
};

// A new, empty document (the DOMDocument class), counted once for the caller.
HRESULT CreateDOMDocument(IXMLDOMDocument** out);

// A count of the memory that the documents and transforms of one thread take, kept by the caller: a
// reader that builds a document from data it does not trust holds it to a budget of its own. Allocations
// never fail for it; once it says it is spent, a running transform is stopped, and the caller stops
// building at its next step.
class IXMLMemoryBudget
{
public:
    // False once the budget is spent.
    virtual bool Take(std::size_t bytes) = 0;
    virtual void GiveBack(std::size_t bytes) = 0;

protected:
    ~IXMLMemoryBudget() = default;
};

// Charges what the XML libraries allocate and free on the calling thread to the budget while it lives.
class CXMLMemoryBudgetScope
{
public:
    explicit CXMLMemoryBudgetScope(IXMLMemoryBudget& budget);
    ~CXMLMemoryBudgetScope();
    CXMLMemoryBudgetScope(const CXMLMemoryBudgetScope&) = delete;
    CXMLMemoryBudgetScope& operator=(const CXMLMemoryBudgetScope&) = delete;

private:
    IXMLMemoryBudget* Outer;
};

// Holds one reference of a DOM object and releases it when it goes.
template <class T> class CComPtr
{
public:
    CComPtr() = default;
    explicit CComPtr(T* object) : Object(object) {}
    CComPtr(const CComPtr& other) : Object(other.Object)
    {
        if (Object)
            Object->AddRef();
    }
    CComPtr& operator=(const CComPtr&) = delete;
    ~CComPtr() { Reset(); }

    void Reset()
    {
        if (Object)
            Object->Release();
        Object = nullptr;
    }
    // For out parameters: what it held is released first.
    T** operator&()
    {
        Reset();
        return &Object;
    }
    T* operator->() const { return Object; }
    T& operator*() const { return *Object; }
    T* get() const { return Object; }
    explicit operator bool() const { return Object != nullptr; }

private:
    T* Object = nullptr;
};
