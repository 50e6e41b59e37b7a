// The DOM objects on libxml2 trees and the transform on libxslt. Every node object holds the state of
// its document, so the trees it points into live as long as it does: a document that is loaded again
// keeps its earlier trees until its last object goes. A node not in any tree (made and never appended)
// is freed with what hangs under it when its last reference goes.
#include "msxml/MsXml.h"

#include "win/CodePage.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

namespace
{
// The libraries' messages would go to standard error; a failure is told through the HRESULT instead.
void Silent(void*, const char*, ...) {}

void SilenceLibraries()
{
    xmlSetGenericErrorFunc(nullptr, Silent);
    xsltSetGenericErrorFunc(nullptr, Silent);
}

bool ToUtf8(const WString& text, std::string& out)
{
    return WideToMultiByte(CP_UTF8, text, out) == 0;
}

WString FromUtf8(const char* text, std::size_t length)
{
    WString out;
    if (MultiByteToWide(CP_UTF8, std::string_view(text, length), out) != 0)
        out.clear();
    return out;
}

const xmlChar* Xml(const std::string& text)
{
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

struct DocumentState
{
    ~DocumentState()
    {
        if (Compiled)
            xsltFreeStylesheet(Compiled);
        for (xmlDocPtr doc : Retired)
            xmlFreeDoc(doc);
        if (Doc)
            xmlFreeDoc(Doc);
    }

    // The document's tree, replaced by each load; the trees it replaced, which node objects may still
    // point into; and the document compiled as a stylesheet, made when it is first used as one.
    void Replace(xmlDocPtr doc)
    {
        if (Compiled)
            xsltFreeStylesheet(Compiled);
        Compiled = nullptr;
        if (Doc)
            Retired.push_back(Doc);
        Doc = doc;
    }

    xmlDocPtr Doc = nullptr;
    std::vector<xmlDocPtr> Retired;
    // Why the last load did not parse.
    std::string ParseReason;
    xsltStylesheetPtr Compiled = nullptr;
};

template <class Interface> class Counted : public Interface
{
public:
    std::uint32_t AddRef() override { return ++References; }
    std::uint32_t Release() override
    {
        const std::uint32_t left = --References;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::uint32_t References = 1;
};

class Node : public Counted<IXMLDOMDocument>
{
public:
    Node(std::shared_ptr<DocumentState> state, xmlNodePtr node) : State(std::move(state)), Target(node) {}
    ~Node() override
    {
        if (Target && !Target->parent && Target->type == XML_ELEMENT_NODE)
            xmlFreeNode(Target);
        else if (Target && !Target->parent && Target->type == XML_ATTRIBUTE_NODE)
            xmlFreeProp(reinterpret_cast<xmlAttrPtr>(Target));
    }

    // The node's own tree node; for the document, its current tree.
    xmlNodePtr Tree() const { return Target ? Target : reinterpret_cast<xmlNodePtr>(State->Doc); }

    HRESULT appendChild(IXMLDOMNode* child, IXMLDOMNode** out) override;
    HRESULT get_text(WString* text) override;
    HRESULT get_attributes(IXMLDOMNamedNodeMap** out) override;
    HRESULT put_nodeValue(const WString& value) override;

    HRESULT put_async(VARIANT_BOOL) override { return IsDocument() ? S_OK : E_FAIL; }
    HRESULT createElement(const WString& name, IXMLDOMElement** out) override;
    HRESULT createAttribute(const WString& name, IXMLDOMAttribute** out) override;
    HRESULT transformNode(IXMLDOMNode* stylesheet, WString* output) override;
    HRESULT loadXML(const WString& text, VARIANT_BOOL* success) override;
    HRESULT load(const WString& path, VARIANT_BOOL* success) override;
    HRESULT get_parseReason(WString* reason) override;
    HRESULT getElementsByTagName(const WString& path, IXMLDOMNodeList** out) override;

    const std::shared_ptr<DocumentState> State;

private:
    bool IsDocument() const { return Target == nullptr; }
    HRESULT Wrap(xmlNodePtr node, IXMLDOMNode** out);
    HRESULT Loaded(xmlDocPtr doc, VARIANT_BOOL* success);
    HRESULT CreateNode(const WString& name, bool attribute, IXMLDOMNode** out);

    // Null for the document itself.
    xmlNodePtr const Target;
};

class AttributeMap : public Counted<IXMLDOMNamedNodeMap>
{
public:
    explicit AttributeMap(Node* element) : Element(element) { Element->AddRef(); }
    ~AttributeMap() override { Element->Release(); }

    HRESULT setNamedItem(IXMLDOMNode* attribute, IXMLDOMNode** out) override
    {
        auto* node = dynamic_cast<Node*>(attribute);
        if (!node || node->State != Element->State || node->Tree()->type != XML_ATTRIBUTE_NODE ||
            node->Tree()->parent)
            return E_INVALIDARG;
        // libxml2 replaces an attribute of the same name.
        if (!xmlAddChild(Element->Tree(), node->Tree()))
            return E_FAIL;
        if (out)
        {
            node->AddRef();
            *out = node;
        }
        return S_OK;
    }

private:
    Node* const Element;
};

class NodeList : public Counted<IXMLDOMNodeList>
{
public:
    NodeList(std::shared_ptr<DocumentState> state, std::vector<xmlNodePtr> nodes)
        : State(std::move(state)), Nodes(std::move(nodes))
    {
    }

    HRESULT get_length(long* length) override
    {
        *length = static_cast<long>(Nodes.size());
        return S_OK;
    }

    HRESULT nextNode(IXMLDOMNode** out) override
    {
        *out = nullptr;
        if (Next == Nodes.size())
            return S_FALSE;
        auto* node = new (std::nothrow) Node(State, Nodes[Next]);
        if (!node)
            return E_OUTOFMEMORY;
        ++Next;
        *out = node;
        return S_OK;
    }

private:
    const std::shared_ptr<DocumentState> State;
    const std::vector<xmlNodePtr> Nodes;
    std::size_t Next = 0;
};

HRESULT Node::Wrap(xmlNodePtr node, IXMLDOMNode** out)
{
    auto* made = new (std::nothrow) Node(State, node);
    if (!made)
    {
        if (!node->parent)
            node->type == XML_ATTRIBUTE_NODE ? xmlFreeProp(reinterpret_cast<xmlAttrPtr>(node))
                                             : xmlFreeNode(node);
        return E_OUTOFMEMORY;
    }
    *out = made;
    return S_OK;
}

HRESULT Node::appendChild(IXMLDOMNode* child, IXMLDOMNode** out)
{
    auto* node = dynamic_cast<Node*>(child);
    if (!node || node->State != State || node->IsDocument() || node->Tree()->parent ||
        node->Tree()->type != XML_ELEMENT_NODE || !Tree())
        return E_INVALIDARG;
    if (IsDocument() && xmlDocGetRootElement(State->Doc))
        return E_FAIL; // a document has one root element
    if (!xmlAddChild(Tree(), node->Tree()))
        return E_FAIL;
    if (out)
    {
        node->AddRef();
        *out = node;
    }
    return S_OK;
}

HRESULT Node::get_text(WString* text)
{
    text->clear();
    if (!Tree())
        return S_OK;
    xmlChar* content = xmlNodeGetContent(Tree());
    if (!content)
        return S_OK;
    *text = FromUtf8(reinterpret_cast<const char*>(content), xmlStrlen(content));
    xmlFree(content);
    return S_OK;
}

HRESULT Node::get_attributes(IXMLDOMNamedNodeMap** out)
{
    *out = nullptr;
    if (IsDocument() || Target->type != XML_ELEMENT_NODE)
        return E_FAIL;
    auto* map = new (std::nothrow) AttributeMap(this);
    if (!map)
        return E_OUTOFMEMORY;
    *out = map;
    return S_OK;
}

HRESULT Node::put_nodeValue(const WString& value)
{
    if (IsDocument() || Target->type != XML_ATTRIBUTE_NODE)
        return E_FAIL;
    std::string text;
    if (!ToUtf8(value, text))
        return E_INVALIDARG;
    // As plain text: nothing in the value is read as an entity reference.
    xmlNodePtr content = xmlNewDocText(Target->doc, Xml(text));
    if (!content)
        return E_OUTOFMEMORY;
    xmlFreeNodeList(Target->children);
    Target->children = Target->last = nullptr;
    xmlAddChild(Target, content);
    return S_OK;
}

HRESULT Node::CreateNode(const WString& name, bool attribute, IXMLDOMNode** out)
{
    *out = nullptr;
    std::string text;
    if (!IsDocument() || !ToUtf8(name, text) || xmlValidateName(Xml(text), 0) != 0)
        return E_INVALIDARG;
    if (!State->Doc && !(State->Doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"))))
        return E_OUTOFMEMORY;
    xmlNodePtr node = attribute ? reinterpret_cast<xmlNodePtr>(xmlNewDocProp(State->Doc, Xml(text), nullptr))
                                : xmlNewDocNode(State->Doc, nullptr, Xml(text), nullptr);
    if (!node)
        return E_OUTOFMEMORY;
    return Wrap(node, out);
}

HRESULT Node::createElement(const WString& name, IXMLDOMElement** out)
{
    return CreateNode(name, false, out);
}

HRESULT Node::createAttribute(const WString& name, IXMLDOMAttribute** out)
{
    return CreateNode(name, true, out);
}

HRESULT Node::transformNode(IXMLDOMNode* stylesheet, WString* output)
{
    output->clear();
    auto* sheet = dynamic_cast<Node*>(stylesheet);
    if (!sheet || !sheet->IsDocument() || !sheet->State->Doc || !IsDocument() || !State->Doc)
        return E_INVALIDARG;
    SilenceLibraries();
    DocumentState& sheetState = *sheet->State;
    if (!sheetState.Compiled)
    {
        // The compiled stylesheet owns the tree it is made from: it gets a copy.
        xmlDocPtr copy = xmlCopyDoc(sheetState.Doc, 1);
        if (!copy)
            return E_OUTOFMEMORY;
        sheetState.Compiled = xsltParseStylesheetDoc(copy);
        if (!sheetState.Compiled)
        {
            xmlFreeDoc(copy);
            return E_FAIL;
        }
    }
    xmlDocPtr result = xsltApplyStylesheet(sheetState.Compiled, State->Doc, nullptr);
    if (!result)
        return E_FAIL;
    xmlChar* bytes = nullptr;
    int length = 0;
    const int saved = xsltSaveResultToString(&bytes, &length, result, sheetState.Compiled);
    xmlFreeDoc(result);
    if (saved != 0)
        return E_FAIL;
    if (bytes)
    {
        *output = FromUtf8(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
        xmlFree(bytes);
    }
    return S_OK;
}

HRESULT Node::Loaded(xmlDocPtr doc, VARIANT_BOOL* success)
{
    State->ParseReason.clear();
    if (!doc)
    {
        const xmlError* error = xmlGetLastError();
        State->ParseReason = error && error->message ? "line " + std::to_string(error->line) + ", column " +
                                                           std::to_string(error->int2) + ": " + error->message
                                                     : "the text is not XML";
        while (!State->ParseReason.empty() && State->ParseReason.back() == '\n')
            State->ParseReason.pop_back();
    }
    State->Replace(doc);
    if (success)
        *success = doc ? VARIANT_TRUE : VARIANT_FALSE;
    return doc ? S_OK : S_FALSE;
}

constexpr int ParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

HRESULT Node::loadXML(const WString& text, VARIANT_BOOL* success)
{
    if (!IsDocument())
        return E_FAIL;
    xmlResetLastError();
    std::string bytes;
    if (!ToUtf8(text, bytes))
        return Loaded(nullptr, success);
    SilenceLibraries();
    // The text is UTF-16 whatever its declaration says; it is handed over as UTF-8.
    return Loaded(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, "UTF-8", ParseOptions),
                  success);
}

HRESULT Node::load(const WString& path, VARIANT_BOOL* success)
{
    if (!IsDocument())
        return E_FAIL;
    std::string name;
    if (!ToUtf8(path, name))
        return E_INVALIDARG;
    SilenceLibraries();
    xmlResetLastError();
    return Loaded(xmlReadFile(name.c_str(), nullptr, ParseOptions), success);
}

HRESULT Node::get_parseReason(WString* reason)
{
    if (!IsDocument())
        return E_FAIL;
    *reason = FromUtf8(State->ParseReason.data(), State->ParseReason.size());
    return S_OK;
}

HRESULT Node::getElementsByTagName(const WString& path, IXMLDOMNodeList** out)
{
    *out = nullptr;
    std::string text;
    if (!IsDocument() || !ToUtf8(path, text))
        return E_INVALIDARG;
    std::vector<xmlNodePtr> nodes;
    if (State->Doc)
    {
        SilenceLibraries();
        xmlXPathContextPtr context = xmlXPathNewContext(State->Doc);
        if (!context)
            return E_OUTOFMEMORY;
        xmlXPathObjectPtr found = xmlXPathEvalExpression(Xml("//" + text), context);
        xmlXPathFreeContext(context);
        if (!found)
            return E_INVALIDARG;
        if (found->type == XPATH_NODESET && found->nodesetval)
            for (int i = 0; i < found->nodesetval->nodeNr; ++i)
                if (found->nodesetval->nodeTab[i]->type == XML_ELEMENT_NODE)
                    nodes.push_back(found->nodesetval->nodeTab[i]);
        xmlXPathFreeObject(found);
    }
    auto* list = new (std::nothrow) NodeList(State, std::move(nodes));
    if (!list)
        return E_OUTOFMEMORY;
    *out = list;
    return S_OK;
}
} // namespace

HRESULT CreateDOMDocument(IXMLDOMDocument** out)
{
    // libxml2 sets up its shared tables once, before any thread parses.
    static const bool initialised = (xmlInitParser(), true);
    (void)initialised;
    *out = nullptr;
    std::shared_ptr<DocumentState> state(new (std::nothrow) DocumentState);
    if (!state)
        return E_OUTOFMEMORY;
    auto* document = new (std::nothrow) Node(std::move(state), nullptr);
    if (!document)
        return E_OUTOFMEMORY;
    *out = document;
    return S_OK;
}
