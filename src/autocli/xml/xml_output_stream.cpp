// Reading a program's output document as it arrives, with memory that follows the values built.
//
// Every piece goes first through the attribute pass (a start tag the parser would take quadratic time
// over) and then to the plain-document reader, which builds the value from the parser's events. Most
// programs print plain documents: their value is then complete when the output ends, and no byte of
// the text is kept beyond the piece being parsed.
//
// Anything else (a DOCTYPE, a reference, CDATA, a grammar error, a document that is not well-formed, a
// document without a value) is read again whole by the whole-text reader, which says why and where.
// For that the text is kept: in memory while the output is at most kKeptBytes long, beyond that in an
// unnamed temporary file (it needs no memory and disappears with the process, however it ends). Only a
// document that is not plain and is that large is read into memory again, as it always was; a plain
// one of any size costs the file's page cache, not this process's memory. Without a usable temporary
// file (none can be made, it is full, or it would pass the process's file-size limit) the text is kept
// in memory.
//
// A broken bound (more than INT_MAX bytes, too many attributes, a text or an "ERROR:" line longer than
// XmlUtil_MaxTextBytes, elements nested deeper than the parser's tree builder allows) is known as soon as the
// piece that breaks it arrives, and decides the outcome: the whole-text reader gives the same for any text
// that ends there.
#include <corvane/xmlutil.h>

#include "autocli/os/error_text.h"
#include "autocli/os/unique_fd.h"
#include "autocli/xml/xml_attribute_scan.h"
#include "autocli/xml/xml_document.h"
#include "autocli/xml/xml_output_messages.h"
#include "autocli/xml/xml_plain_document.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace Corvane::AutoCli {

using MetaObj::MetaObject;

namespace {

// The longest output kept in memory for reading again; larger ones go to a temporary file.
constexpr std::size_t kKeptBytes = std::size_t{4} << 20;
const std::string_view kErrorMark = "ERROR:";

enum class Bound : unsigned char { None, Length, Attributes, Text, Depth };

// Writes all of `size` bytes; false on any failure.
bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// An unnamed file in $TMPDIR (else /tmp), or -1.
int MakeSpoolFile() {
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || *dir == '\0') {
        dir = "/tmp";
    }
    int fd = open(dir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::string name = std::string(dir) + "/varnok-output-XXXXXX";
        fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) {
            unlink(name.c_str());
        }
    }
    return fd;
}

// Whether a file of `size` bytes stays within the process's file-size limit (past it, a write would
// raise SIGXFSZ).
bool SpoolFits(std::size_t size) {
    struct rlimit limit {};
    return getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || size <= limit.rlim_cur;
}

} // namespace

struct XmlOutputStream::State {
    // Keeps libxml2's diagnostics of the plain reader off standard error while the output arrives; made
    // with the first piece read, so that an output that is not read never loads libxml2.
    std::optional<XmlDiagnostics> quiet;
    std::size_t size = 0;
    bool ended = false;
    // Whether the first bytes have told if the output is "ERROR:" lines (and then whether the lines are
    // all kept).
    bool decided = false;
    bool errorLines = false;
    bool errorLinesDone = false;
    std::size_t lineStart = 0;
    // Where the search for the end of the current "ERROR:" line goes on.
    std::size_t scanned = 0;
    // The output while it is at most kKeptBytes long, or all of it without a temporary file; its first
    // bytes after that.
    std::string text;
    bool whole = true;
    UniqueFd spool;
    bool spoolRefused = false;
    AttributeScan scan;
    PlainDocumentReader plain;
    bool plainGoing = true;
    Bound broken = Bound::None;

    bool Read(const char* data, std::size_t size);
    void Keep(const char* data, std::size_t size);
    bool KeepErrorLines(const char* data, std::size_t size);
    std::string WholeText() const;
    std::string ReadSpool(std::size_t length) const;
};

// Runs the attribute pass and the plain reader over the next piece; false once a bound is broken.
bool XmlOutputStream::State::Read(const char* data, std::size_t size) {
    if (!quiet) {
        quiet.emplace();
    }
    if (scan.Add(data, size)) {
        broken = Bound::Attributes;
        return false;
    }
    if (plainGoing && !plain.Add(data, size, false)) {
        plainGoing = false;
        if (plain.TextTooLong()) {
            broken = Bound::Text;
            return false;
        }
        if (plain.TooDeep()) {
            broken = Bound::Depth;
            return false;
        }
    }
    return true;
}

void XmlOutputStream::State::Keep(const char* data, std::size_t size) {
    if (whole && !spoolRefused && text.size() + size > kKeptBytes && SpoolFits(this->size)) {
        spool.Adopt(MakeSpoolFile());
        if (spool.IsOpen() && WriteAll(spool.Get(), text.data(), text.size())) {
            whole = false;
            text.resize(kErrorMark.size());
            text.shrink_to_fit();
        } else {
            spool.Reset();
            spoolRefused = true;
        }
    }
    if (!whole) {
        if (SpoolFits(this->size) && WriteAll(spool.Get(), data, size)) {
            return;
        }
        // The file cannot take it: what it holds comes back to memory.
        text = ReadSpool(this->size - size);
        spool.Reset();
        spoolRefused = true;
        whole = true;
    }
    text.append(data, size);
}

// Keeps the leading "ERROR:" lines and the start of the line after them, which is all they are read for.
// A line whose message passes XmlUtil_MaxTextBytes breaks the text bound, as a text of a document does:
// false then, and nothing is kept.
bool XmlOutputStream::State::KeepErrorLines(const char* data, std::size_t size) {
    if (errorLinesDone) {
        return true;
    }
    text.append(data, size);
    for (;;) {
        const std::size_t lineFeed = text.find('\n', scanned);
        if (lineFeed == std::string::npos) {
            // Searched once: a long line arriving in many pieces is not searched again from its start.
            scanned = text.size();
            if (text.size() - lineStart - kErrorMark.size() > XmlUtil_MaxTextBytes) {
                broken = Bound::Text;
                std::string().swap(text);
                return false;
            }
            return true;
        }
        const std::size_t next = lineFeed + 1;
        if (text.size() - next < kErrorMark.size()) {
            scanned = lineFeed;
            return true; // not known yet whether the next line is one
        }
        if (std::string_view(text).substr(next, kErrorMark.size()) != kErrorMark) {
            text.resize(next + kErrorMark.size());
            errorLinesDone = true;
            return true;
        }
        lineStart = next;
        scanned = next;
    }
}

std::string XmlOutputStream::State::WholeText() const {
    return whole ? text : ReadSpool(size);
}

std::string XmlOutputStream::State::ReadSpool(std::size_t length) const {
    std::string all(length, '\0');
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = pread(spool.Get(), all.data() + done, length - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw CorvaneException("Unable to read the output of the program again: " +
                                   std::string(n < 0 ? ErrorText(errno) : "it was cut short"));
        }
        done += static_cast<std::size_t>(n);
    }
    return all;
}

XmlOutputStream::XmlOutputStream() : state(std::make_unique<State>()) {}
XmlOutputStream::~XmlOutputStream() = default;

bool XmlOutputStream::Add(const char* data, std::size_t size) {
    State& s = *state;
    if (s.broken != Bound::None) {
        return false;
    }
    if (size == 0) {
        return true;
    }
    if (size > static_cast<std::size_t>(INT_MAX) - s.size) {
        s.broken = Bound::Length;
        s.size = static_cast<std::size_t>(INT_MAX) + 1;
        return false;
    }
    s.size += size;
    if (!s.decided) {
        // The first bytes wait in the text until they tell whether the output is "ERROR:" lines.
        s.text.append(data, size);
        if (s.text.size() < kErrorMark.size()) {
            return true;
        }
        s.decided = true;
        s.errorLines = std::string_view(s.text).substr(0, kErrorMark.size()) == kErrorMark;
        if (s.errorLines) {
            std::string first = std::move(s.text);
            s.text.clear();
            return s.KeepErrorLines(first.data(), first.size());
        }
        std::string first = std::move(s.text);
        s.text.clear();
        s.Keep(first.data(), first.size());
        return s.Read(first.data(), first.size());
    }
    if (s.errorLines) {
        return s.KeepErrorLines(data, size);
    }
    s.Keep(data, size);
    return s.Read(data, size);
}

void XmlOutputStream::End() {
    State& s = *state;
    if (s.ended) {
        return;
    }
    s.ended = true;
    if (s.broken != Bound::None || s.errorLines) {
        return;
    }
    if (!s.decided && s.size > 0) {
        s.decided = true;
        std::string first = std::move(s.text);
        s.text.clear();
        s.Keep(first.data(), first.size());
        if (!s.Read(first.data(), first.size())) {
            return;
        }
    }
    if (s.plainGoing && s.size > 0 && !s.plain.Add(nullptr, 0, true)) {
        s.plainGoing = false;
        if (s.plain.TextTooLong()) {
            s.broken = Bound::Text;
        }
    }
}

bool XmlOutputStream::Empty() const {
    return state->size == 0;
}

const std::string& XmlOutputStream::Head() const {
    return state->text;
}

std::shared_ptr<MetaObject> XmlOutputStream::Value(std::string& problem) {
    End();
    State& s = *state;
    problem.clear();
    switch (s.broken) {
    case Bound::Length:
        problem = OutputTooLongProblem();
        return nullptr;
    case Bound::Attributes:
        problem = TooManyAttributesProblem();
        return nullptr;
    case Bound::Text:
        ThrowTextTooLong();
    case Bound::Depth:
        // The whole-text reader stops at the same element with the same message.
        return XmlUtil_ParseXmlOutput(s.WholeText(), problem);
    case Bound::None:
        break;
    }
    if (s.size == 0) {
        return nullptr;
    }
    if (s.plainGoing) {
        if (std::shared_ptr<MetaObject> value; s.plain.Take(value) && value) {
            return value;
        }
    }
    // Not plain, or without a value: the whole-text reader says what it is.
    return XmlUtil_ParseXmlOutput(s.WholeText(), problem);
}

} // namespace Corvane::AutoCli
