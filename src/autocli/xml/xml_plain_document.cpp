// Reading plain output documents from libxml2's events, whole or piece by piece as they arrive: the push
// parser, its handlers, and everything that leaves a document to the tree reader.
#include "autocli/xml/xml_plain_document.h"

#include "autocli/xml/xml_document.h"
#include "autocli/xml/xml_plain_values.h"

#include <corvane/xmlutil.h>

#include <libxml/SAX2.h>
#include <libxml/parser.h>

#include <algorithm>
#include <exception>
#include <utility>

namespace Corvane::AutoCli {

using MetaObj::MetaObject;

namespace {

// Nothing of the document is kept between chunks but the open elements, so the chunk size only trades
// the parser's work per chunk against the size of its input buffer.
constexpr std::size_t kChunkBytes = 4096;

// The open elements libxml2's tree builder allows around a new one without XML_PARSE_HUGE.
constexpr unsigned int kTreeMaxDepth = 256;

} // namespace

class PlainDocumentReader::Reader {
public:
    Reader() = default;
    ~Reader() {
        if (parser != nullptr) {
            FreePushParser(parser);
        }
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool Add(const char* data, std::size_t size, bool last) {
        if (parser == nullptr) {
            // The parser is made with the first bytes, which tell it the encoding.
            headBytes.append(data, size);
            if (headBytes.size() < 4 && !last) {
                return true;
            }
            Start();
            std::string head = std::move(headBytes);
            headBytes.clear();
            return Feed(head.data() + headFed, head.size() - headFed, last);
        }
        return Feed(data, size, last);
    }

    bool Take(std::shared_ptr<MetaObject>& value) {
        // A namespace error keeps the document well-formed but can change names in the tree.
        if (parser == nullptr || abandoned || parser->wellFormed == 0 || parser->nsWellFormed == 0) {
            return false;
        }
        value = builder.TakeResult();
        return true;
    }

    bool TextTooLong() const { return textTooLong; }
    bool TooDeep() const { return tooDeep; }

private:
    void Start() {
        xmlSAXHandler handler;
        xmlSAXVersion(&handler, 2);
        handler.startElementNs = &Reader::OnStartElement;
        handler.endElementNs = &Reader::OnEndElement;
        handler.characters = &Reader::OnCharacters;
        handler.ignorableWhitespace = &Reader::OnCharacters;
        handler.comment = &Reader::OnComment;
        // Everything these announce is left to the tree reader.
        handler.internalSubset = &Reader::OnDeclaration;
        handler.externalSubset = &Reader::OnDeclaration;
        handler.reference = &Reader::OnReference;
        handler.processingInstruction = &Reader::OnInstruction;
        handler.cdataBlock = &Reader::OnCharacterData;
        parser = NewPushParser(handler, headBytes, "STDOUT", this, headFed);
    }

    // Gives the parser `size` bytes in pieces of at most kChunkBytes, the last one marked as the end
    // when `last` is set.
    bool Feed(const char* data, std::size_t size, bool last) {
        std::size_t fed = 0;
        bool terminated = false;
        while (!terminated && !abandoned && parser->wellFormed != 0) {
            const std::size_t length = std::min(kChunkBytes, size - fed);
            if (length == 0 && !last) {
                break;
            }
            terminated = last && fed + length == size;
            xmlParseChunk(parser, data + fed, static_cast<int>(length), terminated ? 1 : 0);
            fed += length;
            if (failure) {
                std::rethrow_exception(std::exchange(failure, nullptr));
            }
        }
        return !abandoned && parser->wellFormed != 0;
    }

    static Reader* Of(void* context) {
        auto* parser = static_cast<xmlParserCtxt*>(context);
        auto* reader = static_cast<Reader*>(parser->_private);
        // Another context is parsing an entity's content: the tree reader handles entities.
        if (reader == nullptr || reader->parser != parser) {
            if (reader != nullptr) {
                reader->Abandon();
            }
            xmlStopParser(parser);
            return nullptr;
        }
        return reader->abandoned ? nullptr : reader;
    }

    void Abandon() {
        if (!abandoned) {
            abandoned = true;
            xmlStopParser(parser);
        }
    }

    // Runs a step of the builder; a refusal or a grammar error leaves the document to the tree reader,
    // any other exception is raised again once libxml2 has returned (none may cross its frames).
    template <class Step> void Guard(Step step) {
        try {
            if (!step()) {
                Abandon();
            }
        } catch (const CorvaneException&) {
            Abandon();
        } catch (...) {
            failure = std::current_exception();
            Abandon();
        }
    }

    static void OnStartElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                               const xmlChar* uri, int, const xmlChar**, int attributeCount, int,
                               const xmlChar** attributes) {
        Reader* reader = Of(context);
        if (reader == nullptr) {
            return;
        }
        reader->run = 0;
        // libxml2's tree builder refuses an element with more than kTreeMaxDepth open around it; the
        // tree reader stops there, whatever follows.
        if (++reader->depth > kTreeMaxDepth + 1 && (reader->parser->options & XML_PARSE_HUGE) == 0) {
            reader->tooDeep = true;
            reader->Abandon();
            return;
        }
        // An unbound prefix stays part of the name in the tree.
        bool unbound = prefix != nullptr && uri == nullptr;
        for (int i = 0; i < attributeCount && !unbound; ++i) {
            unbound = attributes[5 * i + 1] != nullptr && attributes[5 * i + 2] == nullptr;
        }
        if (unbound) {
            reader->Abandon();
            return;
        }
        reader->Guard([&] { return reader->builder.StartElement(localName, attributeCount, attributes); });
    }

    static void OnEndElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
        if (Reader* reader = Of(context)) {
            reader->run = 0;
            --reader->depth;
            reader->Guard([&] { return reader->builder.EndElement(); });
        }
    }

    static void OnCharacters(void* context, const xmlChar* text, int length) {
        Reader* reader = Of(context);
        if (reader == nullptr) {
            return;
        }
        // The tree reader refuses any run of text past the bound, wherever it stands.
        reader->run += static_cast<std::size_t>(length);
        if (reader->run > XmlUtil_MaxTextBytes) {
            reader->textTooLong = true;
            reader->Abandon();
            return;
        }
        reader->Guard([&] {
            reader->builder.Characters(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
            return true;
        });
    }

    static void OnComment(void* context, const xmlChar* text) {
        if (Reader* reader = Of(context)) {
            reader->run = 0;
            reader->Guard([&] {
                reader->builder.Comment(reinterpret_cast<const char*>(text));
                return true;
            });
        }
    }

    static void OnDeclaration(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
        if (Reader* reader = Of(context)) {
            reader->Abandon();
        }
    }
    static void OnReference(void* context, const xmlChar*) {
        if (Reader* reader = Of(context)) {
            reader->Abandon();
        }
    }
    static void OnInstruction(void* context, const xmlChar*, const xmlChar*) {
        if (Reader* reader = Of(context)) {
            reader->Abandon();
        }
    }
    static void OnCharacterData(void* context, const xmlChar*, int) {
        if (Reader* reader = Of(context)) {
            reader->Abandon();
        }
    }

    // The first bytes, until there are enough to make the parser with.
    std::string headBytes;
    std::size_t headFed = 0;
    xmlParserCtxt* parser = nullptr;
    bool textTooLong = false;
    bool tooDeep = false;
    // The elements open, the one being started included.
    unsigned int depth = 0;
    bool abandoned = false;
    std::exception_ptr failure;
    PlainValueBuilder builder;
    // The length of the text run being joined in the innermost open element.
    std::size_t run = 0;
};

PlainDocumentReader::PlainDocumentReader() : reader(std::make_unique<Reader>()) {}
PlainDocumentReader::~PlainDocumentReader() = default;

bool PlainDocumentReader::Add(const char* data, std::size_t size, bool last) {
    return reader->Add(data, size, last);
}

bool PlainDocumentReader::Take(std::shared_ptr<MetaObject>& value) {
    return reader->Take(value);
}

bool PlainDocumentReader::TextTooLong() const {
    return reader->TextTooLong();
}

bool PlainDocumentReader::TooDeep() const {
    return reader->TooDeep();
}

bool ReadPlainOutputDocument(const std::string& text, std::shared_ptr<MetaObject>& value) {
    PlainDocumentReader reader;
    reader.Add(text.data(), text.size(), true);
    return reader.Take(value);
}

} // namespace Corvane::AutoCli
