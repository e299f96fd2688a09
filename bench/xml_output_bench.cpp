// Benchmark of the XML output document reader: time and peak memory for large lists of structures, read
// from the parser's events (a plain document) and by the tree reader (the same with an instruction).
#include <corvane/metaobj.h>
#include <corvane/xmlutil.h>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// About 500 bytes per structure, so 100,000 structures make a 50 MB document. A processing instruction
// changes no value but leaves the document to the tree reader.
std::string MakeDocument(int structures, bool plain) {
    const std::string padding(146, 'p');
    std::string doc = "<?xml version=\"1.0\"?>\n";
    doc += plain ? "" : "<?bench tree?>\n";
    doc += "<output>\n<list type=\"structure\">\n";
    doc.reserve(static_cast<size_t>(structures) * 520 + 100);
    char number[32];
    for (int i = 0; i < structures; ++i) {
        std::snprintf(number, sizeof number, "%08d", i);
        doc += "  <structure typeName=\"Disk\">\n"
               "    <field name=\"Name\"><string>disk-";
        doc += number;
        doc += "</string></field>\n"
               "    <field name=\"Path\"><string>/dev/disk/by-id/";
        doc += padding;
        doc += "</string></field>\n"
               "    <field name=\"Size\"><int>";
        doc += std::to_string(1000000L + i * 7L);
        doc += "</int></field>\n"
               "    <field name=\"Mounted\"><bool>";
        doc += (i % 2 == 0) ? "true" : "false";
        doc += "</bool></field>\n"
               "    <field name=\"Tags\"><list type=\"string\"><string>ssd</string></list></field>\n"
               "  </structure>\n";
    }
    doc += "</list>\n</output>\n";
    return doc;
}

// Resident set size and its high-water mark, in bytes, from /proc/self/status.
long ReadStatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t keyLength = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, keyLength, key) == 0) {
            return std::stol(line.substr(keyLength + 1));
        }
    }
    return -1;
}

// Writing 5 to clear_refs resets the high-water mark to the current RSS (Linux 4.0 and later).
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

void ParseXmlOutput(benchmark::State& state, bool plain) {
    const int structures = static_cast<int>(state.range(0));
    const std::string doc = MakeDocument(structures, plain);
    long extraPeakKb = 0;
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);
        const bool reset = ResetPeak();
        const long baseKb = ReadStatusKb("VmRSS:");
        state.ResumeTiming();

        auto value = Corvane::AutoCli::XmlUtil_ParseXmlOutput(doc);

        state.PauseTiming();
        auto list = std::dynamic_pointer_cast<Corvane::MetaObj::MetaList>(value);
        if (!list || list->GetCount() != static_cast<size_t>(structures)) {
            state.SkipWithError("the document did not give the expected list");
        }
        if (reset) {
            extraPeakKb = std::max(extraPeakKb, ReadStatusKb("VmHWM:") - baseKb);
        }
        value.reset();
        list.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.size()));
    state.SetComplexityN(structures);
    state.counters["doc_MB"] = static_cast<double>(doc.size()) / 1e6;
    // Memory the reader needs on top of the document text: the typed values, and what the parser keeps.
    state.counters["extra_peak_MB"] = static_cast<double>(extraPeakKb) * 1024 / 1e6;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    // The whole process's peak so far, the document text and earlier runs included.
    state.counters["process_maxrss_MB"] = static_cast<double>(usage.ru_maxrss) * 1024 / 1e6;
    state.counters["extra_per_doc_byte"] =
        static_cast<double>(extraPeakKb) * 1024 / static_cast<double>(doc.size());
}

void BM_ParseXmlOutput(benchmark::State& state) {
    ParseXmlOutput(state, true);
}
void BM_ParseXmlOutputTreeReader(benchmark::State& state) {
    ParseXmlOutput(state, false);
}

BENCHMARK(BM_ParseXmlOutput)
    ->Arg(10000)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_ParseXmlOutputTreeReader)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
