// libxml2 and libxslt set up once for the process. Their allocations go through a counting allocator, so
// that a transform can be held to a budget of bytes: a stylesheet that doubles a string or a tree at each
// step needs few operations and little depth, and only its memory shows it running away.
#include "msxml/LibXml.h"

#include "msxml/MsXml.h"

#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace msxml
{
namespace
{
// Each block carries its size in front, so that a free can give back what the block took.
constexpr std::size_t Header = alignof(std::max_align_t);

// The budget of the transform running on this thread, if any. Past its limit the transform is told to
// stop, which libxslt looks at between instructions; allocations still succeed until far past it, since
// libxslt does not recover from every failed one. A single step grows what it holds a few times at most.
struct Budget
{
    bool Active = false;
    std::size_t Held = 0;
    xsltTransformContextPtr Context = nullptr;
};
[[gnu::tls_model("initial-exec")]] thread_local Budget CurrentBudget;
// The caller's count of what the thread's documents take, when it keeps one.
[[gnu::tls_model("initial-exec")]] thread_local IXMLMemoryBudget* CallerBudget = nullptr;

constexpr std::size_t HardMemoryLimit = 8 * TransformMemoryLimit;

// `blocks` is 1 for a new block, whose header costs too, and 0 for a block that grows.
bool Take(std::size_t size, std::size_t blocks)
{
    Budget& budget = CurrentBudget;
    if (CallerBudget && !CallerBudget->Take(size + blocks * Header) && budget.Context)
        budget.Context->state = XSLT_STATE_STOPPED;
    if (!budget.Active)
        return true;
    if (size > HardMemoryLimit - std::min(budget.Held, HardMemoryLimit))
        return false;
    budget.Held += size;
    if (budget.Held > TransformMemoryLimit && budget.Context)
        budget.Context->state = XSLT_STATE_STOPPED;
    return true;
}

void GiveBack(std::size_t size, std::size_t blocks)
{
    if (CallerBudget)
        CallerBudget->GiveBack(size + blocks * Header);
    // A block made before the transform began may be freed during it.
    if (CurrentBudget.Active)
        CurrentBudget.Held -= std::min(size, CurrentBudget.Held);
}

void* Allocate(std::size_t size)
{
    if (size > SIZE_MAX - Header || !Take(size, 1))
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(size + Header));
    if (!block)
    {
        GiveBack(size, 1);
        return nullptr;
    }
    std::memcpy(block, &size, sizeof size);
    return block + Header;
}

void Free(void* memory)
{
    if (!memory)
        return;
    auto* block = static_cast<unsigned char*>(memory) - Header;
    std::size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    GiveBack(size, 1);
    std::free(block);
}

void* Reallocate(void* memory, std::size_t size)
{
    if (!memory)
        return Allocate(size);
    auto* block = static_cast<unsigned char*>(memory) - Header;
    std::size_t old = 0;
    std::memcpy(&old, block, sizeof old);
    if (size > SIZE_MAX - Header || (size > old && !Take(size - old, 0)))
        return nullptr;
    auto* moved = static_cast<unsigned char*>(std::realloc(block, size + Header));
    if (!moved)
    {
        if (size > old)
            GiveBack(size - old, 0);
        return nullptr;
    }
    if (size < old)
        GiveBack(old - size, 0);
    std::memcpy(moved, &size, sizeof size);
    return moved + Header;
}

char* Duplicate(const char* text)
{
    const std::size_t length = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(Allocate(length));
    if (copy)
        std::memcpy(copy, text, length);
    return copy;
}

// Counts what the libraries hold for the thread's transform while it lives.
class TransformBudget
{
public:
    TransformBudget() { CurrentBudget = {true, 0, nullptr}; }
    ~TransformBudget() { CurrentBudget = {}; }
    TransformBudget(const TransformBudget&) = delete;
    TransformBudget& operator=(const TransformBudget&) = delete;

    // From now on, going past the limit stops this transform.
    void Watch(xsltTransformContextPtr context) { CurrentBudget.Context = context; }
};

void Silent(void*, const char*, ...) {}

// No parse and no transform loads anything from outside the text it is given.
xmlParserInputPtr LoadNothing(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

// What a transform may not do, whatever its stylesheet asks.
xsltSecurityPrefsPtr Forbidden()
{
    static xsltSecurityPrefsPtr const prefs = []
    {
        xsltSecurityPrefsPtr made = xsltNewSecurityPrefs();
        if (made)
            for (xsltSecurityOption option :
                 {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
                  XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
                xsltSetSecurityPrefs(made, option, xsltSecurityForbid);
        return made;
    }();
    return prefs;
}
} // namespace

void InitLibraries()
{
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                       // The allocator first: libxml2 must not have made a block with another one.
                       xmlMemSetup(Free, Allocate, Reallocate, Duplicate);
                       xmlInitParser();
                       xmlSetExternalEntityLoader(LoadNothing);
                       // Stylesheet imports are read as stylesheets are: from nowhere outside.
                       xsltSetDefaultSecurityPrefs(Forbidden());
                   });
    // libxml2 keeps its message handler per thread.
    xmlSetGenericErrorFunc(nullptr, Silent);
    xsltSetGenericErrorFunc(nullptr, Silent);
}

xmlDocPtr ParseText(const std::string& text)
{
    // The text is UTF-16 whatever its declaration says; it is handed over as UTF-8.
    return xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", ParseOptions);
}

bool Transform(xsltStylesheetPtr stylesheet, xmlDocPtr document, std::string& output)
{
    output.clear();
    if (!Forbidden())
        return false;
    TransformBudget budget;
    xsltTransformContextPtr context = xsltNewTransformContext(stylesheet, document);
    if (!context)
        return false;
    budget.Watch(context);
    xsltSetCtxtSecurityPrefs(Forbidden(), context);
    xsltSetTransformErrorFunc(context, nullptr, Silent);
    context->maxTemplateDepth = TransformDepthLimit;
    context->opLimit = TransformOperationLimit;
    xmlDocPtr result = xsltApplyStylesheetUser(stylesheet, document, nullptr, nullptr, nullptr, context);
    // Whatever a stopped or failed transform made is no result.
    const bool stopped = context->state != XSLT_STATE_OK;
    budget.Watch(nullptr);
    xsltFreeTransformContext(context);
    if (!result || stopped)
    {
        xmlFreeDoc(result);
        return false;
    }
    xmlChar* bytes = nullptr;
    int length = 0;
    const int saved = xsltSaveResultToString(&bytes, &length, result, stylesheet);
    xmlFreeDoc(result);
    if (saved == 0 && bytes)
        output.assign(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
    xmlFree(bytes);
    return saved == 0;
}
} // namespace msxml

CXMLMemoryBudgetScope::CXMLMemoryBudgetScope(IXMLMemoryBudget& budget) : Outer(msxml::CallerBudget)
{
    msxml::CallerBudget = &budget;
}

CXMLMemoryBudgetScope::~CXMLMemoryBudgetScope()
{
    msxml::CallerBudget = Outer;
}
