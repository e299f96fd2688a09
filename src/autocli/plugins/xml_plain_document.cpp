// Reading plain output documents from libxml2's events: the push parser, its handlers, and everything
// that leaves a document to the tree reader.
#include "xml_plain_document.h"

#include "xml_document.h"
#include "xml_plain_values.h"

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

class PlainReader {
public:
    explicit PlainReader(const std::string& text) : text_(text) {}
    ~PlainReader() {
        if (parser_ != nullptr) {
            FreePushParser(parser_);
        }
    }
    PlainReader(const PlainReader&) = delete;
    PlainReader& operator=(const PlainReader&) = delete;

    bool Read(std::shared_ptr<MetaObject>& value) {
        xmlSAXHandler handler;
        xmlSAXVersion(&handler, 2);
        handler.startElementNs = &PlainReader::OnStartElement;
        handler.endElementNs = &PlainReader::OnEndElement;
        handler.characters = &PlainReader::OnCharacters;
        handler.ignorableWhitespace = &PlainReader::OnCharacters;
        handler.comment = &PlainReader::OnComment;
        // Everything these announce is left to the tree reader.
        handler.internalSubset = &PlainReader::OnDeclaration;
        handler.externalSubset = &PlainReader::OnDeclaration;
        handler.reference = &PlainReader::OnReference;
        handler.processingInstruction = &PlainReader::OnInstruction;
        handler.cdataBlock = &PlainReader::OnCharacterData;
        std::size_t fed = 0;
        parser_ = NewPushParser(handler, text_, "STDOUT", this, fed);
        bool terminated = false;
        while (!terminated && !abandoned_ && parser_->wellFormed != 0) {
            const std::size_t length = std::min(kChunkBytes, text_.size() - fed);
            terminated = fed + length == text_.size();
            xmlParseChunk(parser_, text_.data() + fed, static_cast<int>(length), terminated ? 1 : 0);
            fed += length;
            if (failure_) {
                std::rethrow_exception(failure_);
            }
        }
        // A namespace error keeps the document well-formed but can change names in the tree.
        if (abandoned_ || parser_->wellFormed == 0 || parser_->nsWellFormed == 0) {
            return false;
        }
        value = builder_.TakeResult();
        return true;
    }

private:
    static PlainReader* Of(void* context) {
        auto* parser = static_cast<xmlParserCtxt*>(context);
        auto* reader = static_cast<PlainReader*>(parser->_private);
        // Another context is parsing an entity's content: the tree reader handles entities.
        if (reader == nullptr || reader->parser_ != parser) {
            if (reader != nullptr) {
                reader->Abandon();
            }
            xmlStopParser(parser);
            return nullptr;
        }
        return reader->abandoned_ ? nullptr : reader;
    }

    void Abandon() {
        if (!abandoned_) {
            abandoned_ = true;
            xmlStopParser(parser_);
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
            failure_ = std::current_exception();
            Abandon();
        }
    }

    static void OnStartElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                               const xmlChar* uri, int, const xmlChar**, int attributeCount, int,
                               const xmlChar** attributes) {
        PlainReader* reader = Of(context);
        if (reader == nullptr) {
            return;
        }
        reader->run_ = 0;
        // An unbound prefix stays part of the name in the tree.
        bool unbound = prefix != nullptr && uri == nullptr;
        for (int i = 0; i < attributeCount && !unbound; ++i) {
            unbound = attributes[5 * i + 1] != nullptr && attributes[5 * i + 2] == nullptr;
        }
        if (unbound) {
            reader->Abandon();
            return;
        }
        reader->Guard([&] { return reader->builder_.StartElement(localName, attributeCount, attributes); });
    }

    static void OnEndElement(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
        if (PlainReader* reader = Of(context)) {
            reader->run_ = 0;
            reader->Guard([&] { return reader->builder_.EndElement(); });
        }
    }

    static void OnCharacters(void* context, const xmlChar* text, int length) {
        PlainReader* reader = Of(context);
        if (reader == nullptr) {
            return;
        }
        // The tree reader refuses any run of text past the bound, wherever it stands.
        reader->run_ += static_cast<std::size_t>(length);
        if (reader->run_ > XmlUtil_MaxTextBytes) {
            reader->Abandon();
            return;
        }
        reader->Guard([&] {
            reader->builder_.Characters(reinterpret_cast<const char*>(text),
                                        static_cast<std::size_t>(length));
            return true;
        });
    }

    static void OnComment(void* context, const xmlChar* text) {
        if (PlainReader* reader = Of(context)) {
            reader->run_ = 0;
            reader->Guard([&] {
                reader->builder_.Comment(reinterpret_cast<const char*>(text));
                return true;
            });
        }
    }

    static void OnDeclaration(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
        if (PlainReader* reader = Of(context)) {
            reader->Abandon();
        }
    }
    static void OnReference(void* context, const xmlChar*) {
        if (PlainReader* reader = Of(context)) {
            reader->Abandon();
        }
    }
    static void OnInstruction(void* context, const xmlChar*, const xmlChar*) {
        if (PlainReader* reader = Of(context)) {
            reader->Abandon();
        }
    }
    static void OnCharacterData(void* context, const xmlChar*, int) {
        if (PlainReader* reader = Of(context)) {
            reader->Abandon();
        }
    }

    const std::string& text_;
    xmlParserCtxt* parser_ = nullptr;
    bool abandoned_ = false;
    std::exception_ptr failure_;
    PlainValueBuilder builder_;
    // The length of the text run being joined in the innermost open element.
    std::size_t run_ = 0;
};

} // namespace

bool ReadPlainOutputDocument(const std::string& text, std::shared_ptr<MetaObject>& value) {
    PlainReader reader(text);
    return reader.Read(value);
}

} // namespace Corvane::AutoCli
