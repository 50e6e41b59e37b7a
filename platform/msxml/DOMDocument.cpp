// The DOM objects on libxml2 trees. Every object holds the state of its document, and that state owns
// every libxml2 node the document ever had: its current tree, the trees earlier loads replaced, and each
// node made or taken off an element; none is freed before the state goes with the document's last object.
// So no call order can leave an object pointing at freed memory: objects only point, the state frees.
#include "msxml/MsXml.h"

#include "msxml/LibXml.h"
#include "win/CodePage.h"

#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxslt/xsltInternals.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

namespace
{
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
        // The loose nodes are picked out before anything is freed: freeing one frees those under it. They
        // are gathered in place, since a destructor must not ask for memory.
        const auto loose =
            std::partition(Made.begin(), Made.end(), [](xmlNodePtr node) { return !node->parent; });
        for (xmlNodePtr node : std::span(Made.begin(), loose))
            node->type == XML_ATTRIBUTE_NODE ? xmlFreeProp(reinterpret_cast<xmlAttrPtr>(node))
                                             : xmlFreeNode(node);
        for (xmlDocPtr doc : Retired)
            xmlFreeDoc(doc);
        if (Doc)
            xmlFreeDoc(Doc);
    }

    // Each load replaces the document's tree; the replaced trees stay until the state goes.
    void Replace(xmlDocPtr doc)
    {
        if (Compiled)
            xsltFreeStylesheet(Compiled);
        Compiled = nullptr;
        if (Doc)
            Retired.push_back(Doc);
        Doc = doc;
    }

    // Room to keep one more node, asked for before the node is made or taken off its element.
    bool MakeRoom()
    {
        try
        {
            if (Made.size() == Made.capacity())
                Made.reserve(std::max<std::size_t>(64, 2 * Made.capacity()));
            return true;
        }
        catch (const std::bad_alloc&)
        {
            return false;
        }
    }
    // Takes the node over, in the room made for it.
    void Keep(xmlNodePtr node) { Made.push_back(node); }

    xmlDocPtr Doc = nullptr;
    std::vector<xmlDocPtr> Retired;
    // Every node made by the document or taken off an element; those in no tree when the state goes are
    // freed then, each with what hangs under it.
    std::vector<xmlNodePtr> Made;
    // Why the last load did not parse.
    std::string ParseReason;
    // The document compiled as a stylesheet, made when it is first used as one.
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

HRESULT TextOf(xmlNodePtr node, WString* text)
{
    text->clear();
    if (!node)
        return S_OK;
    xmlChar* content = xmlNodeGetContent(node);
    if (!content)
        return S_OK;
    *text = FromUtf8(reinterpret_cast<const char*>(content), xmlStrlen(content));
    xmlFree(content);
    return S_OK;
}

// An element or attribute of a document: a libxml2 node that the document's state owns.
template <class Interface> class TreeNode : public Counted<Interface>
{
public:
    TreeNode(std::shared_ptr<DocumentState> state, xmlNodePtr node) : State(std::move(state)), Target(node) {}

    HRESULT get_text(WString* text) override { return TextOf(Target, text); }

    const std::shared_ptr<DocumentState> State;
    xmlNodePtr const Target;
};

class Attribute final : public TreeNode<IXMLDOMAttribute>
{
public:
    using TreeNode::TreeNode;

    HRESULT put_nodeValue(const WString& value) override
    {
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
};

class Element : public TreeNode<IXMLDOMElement>
{
public:
    using TreeNode::TreeNode;

    HRESULT appendChild(IXMLDOMElement* child, IXMLDOMElement** out) override;
    HRESULT get_attributes(IXMLDOMNamedNodeMap** out) override;
};

// The element as a loose node of this state that can go under `parent`: not in a tree, and not the parent
// or one of its ancestors (which would close a loop); null otherwise.
Element* Appendable(IXMLDOMElement* child, const DocumentState& state, xmlNodePtr parent)
{
    auto* element = dynamic_cast<Element*>(child);
    if (!element || element->State.get() != &state || element->Target->parent)
        return nullptr;
    for (xmlNodePtr up = parent; up; up = up->parent)
        if (up == element->Target)
            return nullptr;
    return element;
}

HRESULT Append(xmlNodePtr parent, Element& child, IXMLDOMElement** out)
{
    if (!xmlAddChild(parent, child.Target))
        return E_FAIL;
    if (out)
    {
        child.AddRef();
        *out = &child;
    }
    return S_OK;
}

HRESULT Element::appendChild(IXMLDOMElement* child, IXMLDOMElement** out)
{
    Element* element = Appendable(child, *State, Target);
    return element ? Append(Target, *element, out) : E_INVALIDARG;
}

class AttributeMap : public Counted<IXMLDOMNamedNodeMap>
{
public:
    explicit AttributeMap(Element* element) : Owner(element) { Owner->AddRef(); }
    ~AttributeMap() override { Owner->Release(); }

    HRESULT setNamedItem(IXMLDOMAttribute* attribute, IXMLDOMAttribute** out) override
    {
        auto* node = dynamic_cast<Attribute*>(attribute);
        if (!node || node->State != Owner->State || node->Target->parent)
            return E_INVALIDARG;
        // libxml2 would free an attribute of the same name that it replaces; it is taken off instead and
        // kept loose, as objects of it may still be held.
        if (xmlAttrPtr old = xmlHasNsProp(Owner->Target, node->Target->name, nullptr);
            old && old->type == XML_ATTRIBUTE_NODE)
        {
            if (!Owner->State->MakeRoom())
                return E_OUTOFMEMORY;
            xmlUnlinkNode(reinterpret_cast<xmlNodePtr>(old));
            Owner->State->Keep(reinterpret_cast<xmlNodePtr>(old));
        }
        if (!xmlAddChild(Owner->Target, node->Target))
            return E_FAIL;
        if (out)
        {
            node->AddRef();
            *out = node;
        }
        return S_OK;
    }

private:
    Element* const Owner;
};

HRESULT Element::get_attributes(IXMLDOMNamedNodeMap** out)
{
    *out = new (std::nothrow) AttributeMap(this);
    return *out ? S_OK : E_OUTOFMEMORY;
}

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

    HRESULT nextNode(IXMLDOMElement** out) override
    {
        *out = nullptr;
        if (Next == Nodes.size())
            return S_FALSE;
        auto* node = new (std::nothrow) Element(State, Nodes[Next]);
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

class Document : public Counted<IXMLDOMDocument>
{
public:
    explicit Document(std::shared_ptr<DocumentState> state) : State(std::move(state)) {}

    HRESULT get_text(WString* text) override
    {
        return TextOf(reinterpret_cast<xmlNodePtr>(State->Doc), text);
    }
    HRESULT appendChild(IXMLDOMElement* child, IXMLDOMElement** out) override;
    HRESULT put_async(VARIANT_BOOL) override { return S_OK; }
    HRESULT createElement(const WString& name, IXMLDOMElement** out) override;
    HRESULT createAttribute(const WString& name, IXMLDOMAttribute** out) override;
    HRESULT transformNode(IXMLDOMDocument* stylesheet, WString* output) override;
    HRESULT loadXML(const WString& text, VARIANT_BOOL* success) override;
    HRESULT load(const WString& path, VARIANT_BOOL* success) override;
    HRESULT get_parseReason(WString* reason) override;
    HRESULT getElementsByTagName(const WString& path, IXMLDOMNodeList** out) override;

    const std::shared_ptr<DocumentState> State;

private:
    // `empty` says that there was no text at all, which the parser refuses without a message.
    HRESULT Loaded(xmlDocPtr doc, VARIANT_BOOL* success, bool empty = false);
    // The tree new nodes are made in, made when the document has none.
    xmlDocPtr Tree();
};

HRESULT Document::appendChild(IXMLDOMElement* child, IXMLDOMElement** out)
{
    if (!State->Doc)
        return E_INVALIDARG;
    if (xmlDocGetRootElement(State->Doc))
        return E_FAIL; // a document has one root element
    Element* element = Appendable(child, *State, reinterpret_cast<xmlNodePtr>(State->Doc));
    return element ? Append(reinterpret_cast<xmlNodePtr>(State->Doc), *element, out) : E_INVALIDARG;
}

xmlDocPtr Document::Tree()
{
    if (!State->Doc)
        State->Doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    return State->Doc;
}

HRESULT Document::createElement(const WString& name, IXMLDOMElement** out)
{
    *out = nullptr;
    std::string text;
    if (!ToUtf8(name, text) || xmlValidateName(Xml(text), 0) != 0)
        return E_INVALIDARG;
    xmlDocPtr doc = Tree();
    xmlNodePtr node = doc && State->MakeRoom() ? xmlNewDocNode(doc, nullptr, Xml(text), nullptr) : nullptr;
    if (!node)
        return E_OUTOFMEMORY;
    State->Keep(node);
    *out = new (std::nothrow) Element(State, node);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Document::createAttribute(const WString& name, IXMLDOMAttribute** out)
{
    *out = nullptr;
    std::string text;
    if (!ToUtf8(name, text) || xmlValidateName(Xml(text), 0) != 0)
        return E_INVALIDARG;
    xmlDocPtr doc = Tree();
    auto* node = doc && State->MakeRoom()
                     ? reinterpret_cast<xmlNodePtr>(xmlNewDocProp(doc, Xml(text), nullptr))
                     : nullptr;
    if (!node)
        return E_OUTOFMEMORY;
    State->Keep(node);
    *out = new (std::nothrow) Attribute(State, node);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Document::transformNode(IXMLDOMDocument* stylesheet, WString* output)
{
    output->clear();
    auto* sheet = dynamic_cast<Document*>(stylesheet);
    if (!sheet || !sheet->State->Doc || !State->Doc)
        return E_INVALIDARG;
    msxml::InitLibraries();
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
    std::string bytes;
    if (!msxml::Transform(sheetState.Compiled, State->Doc, bytes))
        return E_FAIL;
    *output = FromUtf8(bytes.data(), bytes.size());
    return S_OK;
}

HRESULT Document::Loaded(xmlDocPtr doc, VARIANT_BOOL* success, bool empty)
{
    State->ParseReason.clear();
    if (!doc)
    {
        const xmlError* error = xmlGetLastError();
        State->ParseReason = error && error->message ? "line " + std::to_string(error->line) + ", column " +
                                                           std::to_string(error->int2) + ": " + error->message
                             : empty ? "Document is empty"
                                     : "the text is not XML";
        while (!State->ParseReason.empty() && State->ParseReason.back() == '\n')
            State->ParseReason.pop_back();
    }
    State->Replace(doc);
    if (success)
        *success = doc ? VARIANT_TRUE : VARIANT_FALSE;
    return doc ? S_OK : S_FALSE;
}

HRESULT Document::loadXML(const WString& text, VARIANT_BOOL* success)
{
    std::string bytes;
    if (!ToUtf8(text, bytes))
        return Loaded(nullptr, success);
    msxml::InitLibraries();
    xmlResetLastError();
    return Loaded(msxml::ParseText(bytes), success, bytes.empty());
}

HRESULT Document::load(const WString& path, VARIANT_BOOL* success)
{
    std::string name;
    if (!ToUtf8(path, name))
        return E_INVALIDARG;
    xmlResetLastError();
    // Read here, so that the parser itself never opens anything.
    std::ifstream file(name, std::ios::binary);
    std::string bytes;
    if (file)
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!file.is_open() || file.bad())
        return Loaded(nullptr, success);
    msxml::InitLibraries();
    xmlResetLastError();
    return Loaded(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), name.c_str(), nullptr,
                                msxml::ParseOptions),
                  success, bytes.empty());
}

HRESULT Document::get_parseReason(WString* reason)
{
    *reason = FromUtf8(State->ParseReason.data(), State->ParseReason.size());
    return S_OK;
}

HRESULT Document::getElementsByTagName(const WString& path, IXMLDOMNodeList** out)
{
    *out = nullptr;
    std::string text;
    if (!ToUtf8(path, text))
        return E_INVALIDARG;
    std::vector<xmlNodePtr> nodes;
    if (State->Doc)
    {
        msxml::InitLibraries();
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
    msxml::InitLibraries();
    *out = nullptr;
    std::shared_ptr<DocumentState> state(new (std::nothrow) DocumentState);
    if (!state)
        return E_OUTOFMEMORY;
    *out = new (std::nothrow) Document(std::move(state));
    return *out ? S_OK : E_OUTOFMEMORY;
}
