// libxml2, loaded the first time the library calls it: most runs (listings from the descriptor
// cache, in-process commands) never read XML, and loading libxml2 with the Unicode library it
// brings costs more than the rest of start-up. Every libxml2 function and variable the library
// uses is defined here and forwards to libxml2's own.
#include <corvane/exception.h>

#include "corvane_build_info.h"

#include <libxml/SAX2.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

#include <dlfcn.h>

#include <string>

// X(return type, name, parameters, arguments): every function the library calls.
#define CORVANE_XML_FUNCTIONS(X)                                                                             \
    X(xmlNodePtr, xmlAddChild, (xmlNodePtr parent, xmlNodePtr cur), (parent, cur))                           \
    X(void, xmlCheckVersion, (int version), (version))                                                       \
    X(xmlNodePtr, xmlCopyNode, (xmlNodePtr node, int recursive), (node, recursive))                          \
    X(xmlParserCtxtPtr, xmlCreatePushParserCtxt,                                                             \
      (xmlSAXHandlerPtr sax, void* data, const char* chunk, int size, const char* name),                     \
      (sax, data, chunk, size, name))                                                                        \
    X(int, xmlCtxtUseOptions, (xmlParserCtxtPtr ctxt, int options), (ctxt, options))                         \
    X(xmlNodePtr, xmlDocGetRootElement, (const xmlDoc* doc), (doc))                                          \
    X(void, xmlFreeDoc, (xmlDocPtr cur), (cur))                                                              \
    X(void, xmlFreeNode, (xmlNodePtr cur), (cur))                                                            \
    X(void, xmlFreeParserCtxt, (xmlParserCtxtPtr ctxt), (ctxt))                                              \
    X(xmlEntityPtr, xmlGetDocEntity, (const xmlDoc* doc, const xmlChar* name), (doc, name))                  \
    X(long, xmlGetLineNo, (const xmlNode* node), (node))                                                     \
    X(xmlChar*, xmlGetProp, (const xmlNode* node, const xmlChar* name), (node, name))                        \
    X(xmlAttrPtr, xmlHasProp, (const xmlNode* node, const xmlChar* name), (node, name))                      \
    X(xmlNodePtr, xmlNewDocTextLen, (xmlDocPtr doc, const xmlChar* content, int len), (doc, content, len))   \
    X(void, xmlNodeAddContentLen, (xmlNodePtr cur, const xmlChar* content, int len), (cur, content, len))    \
    X(int, xmlParseChunk, (xmlParserCtxtPtr ctxt, const char* chunk, int size, int terminate),               \
      (ctxt, chunk, size, terminate))                                                                        \
    X(xmlDocPtr, xmlReadMemory,                                                                              \
      (const char* buffer, int size, const char* url, const char* encoding, int options),                    \
      (buffer, size, url, encoding, options))                                                                \
    X(void, xmlSAX2Characters, (void* ctx, const xmlChar* ch, int len), (ctx, ch, len))                      \
    X(void, xmlSAX2EndElementNs,                                                                             \
      (void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri),                      \
      (ctx, localname, prefix, uri))                                                                         \
    X(void, xmlSAX2StartElementNs,                                                                           \
      (void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri, int namespaceCount,   \
       const xmlChar** namespaces, int attributeCount, int defaultedCount, const xmlChar** attributes),      \
      (ctx, localname, prefix, uri, namespaceCount, namespaces, attributeCount, defaultedCount, attributes)) \
    X(int, xmlSAXVersion, (xmlSAXHandler * handler, int version), (handler, version))                        \
    X(void, xmlSetGenericErrorFunc, (void* ctx, xmlGenericErrorFunc handler), (ctx, handler))                \
    X(void, xmlSetStructuredErrorFunc, (void* ctx, xmlStructuredErrorFunc handler), (ctx, handler))          \
    X(void, xmlStopParser, (xmlParserCtxtPtr ctxt), (ctxt))                                                  \
    X(void, xmlUnlinkNode, (xmlNodePtr cur), (cur))                                                          \
    X(xmlGenericErrorFunc*, __xmlGenericError, (void), ())                                                   \
    X(void**, __xmlGenericErrorContext, (void), ())                                                          \
    X(xmlStructuredErrorFunc*, __xmlStructuredError, (void), ())                                             \
    X(void**, __xmlStructuredErrorContext, (void), ())

namespace {

// Where the libxml2 function `Function` stands for is, once loaded.
template <auto Function> struct Real { static inline decltype(Function) function = nullptr; };

// libxml2's allocator variables: their current values are called, as a direct use would.
xmlFreeFunc* realFree = nullptr;
xmlReallocFunc* realRealloc = nullptr;

template <typename T> void Resolve(void* handle, const char* name, T& target) {
    target = reinterpret_cast<T>(::dlsym(handle, name));
    if (target == nullptr) {
        throw Corvane::CorvaneException(std::string("Unable to load libxml2: ") + CORVANE_LIBXML2_SONAME +
                                        " has no " + name);
    }
}

bool LoadLibrary() {
    // Never unloaded: documents, parsers and error handlers of the process belong to it.
    void* handle = ::dlopen(CORVANE_LIBXML2_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* error = ::dlerror();
        throw Corvane::CorvaneException(std::string("Unable to load libxml2: ") +
                                        (error != nullptr ? error : CORVANE_LIBXML2_SONAME));
    }
#define CORVANE_XML_RESOLVE(type, name, parameters, arguments)                                               \
    Resolve(handle, #name, Real<&::name>::function);
    CORVANE_XML_FUNCTIONS(CORVANE_XML_RESOLVE)
#undef CORVANE_XML_RESOLVE
    Resolve(handle, "xmlFree", realFree);
    Resolve(handle, "xmlRealloc", realRealloc);
    return true;
}

// Loads libxml2 the first time; a failed load is tried again at the next call.
void Load() {
    static const bool loaded = LoadLibrary();
    (void)loaded;
}

void FreeThroughLibrary(void* memory) {
    Load();
    (*realFree)(memory);
}

void* ReallocThroughLibrary(void* memory, std::size_t size) {
    Load();
    return (*realRealloc)(memory, size);
}

} // namespace

extern "C" {

#define CORVANE_XML_FORWARD(type, name, parameters, arguments)                                               \
    type name parameters {                                                                                   \
        Load();                                                                                              \
        return Real<&::name>::function arguments;                                                            \
    }
CORVANE_XML_FUNCTIONS(CORVANE_XML_FORWARD)
#undef CORVANE_XML_FORWARD

xmlFreeFunc xmlFree = FreeThroughLibrary;
xmlReallocFunc xmlRealloc = ReallocThroughLibrary;
}
