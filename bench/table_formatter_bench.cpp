// Table formatter throughput: time per table of N rows, expected to grow linearly with N.
#include <corvane/callspec.h>
#include <corvane/format.h>
#include <corvane/metaobj.h>

#include <benchmark/benchmark.h>

#include <ostream>
#include <streambuf>
#include <string>

using namespace Corvane::AutoCli;
using namespace Corvane::MetaObj;
using Corvane::CallSpec::Output;

namespace {

// Counts what it is given and keeps nothing, so the benchmark measures formatting, not memory.
class CountingBuffer : public std::streambuf {
public:
    std::size_t count = 0;

protected:
    int_type overflow(int_type c) override {
        ++count;
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        count += static_cast<std::size_t>(n);
        return n;
    }
};

std::shared_ptr<MetaStruct> Disk(long index) {
    auto disk = MetaStruct::New("Disk");
    disk->SetField("Name", "naa.6000c29" + std::to_string(index));
    disk->SetField("Size", 1024 + index % 4096);
    disk->SetField("Description",
                   "Local disk " + std::to_string(index) +
                       " attached to the first storage adapter of this host, online and healthy");
    return disk;
}

std::shared_ptr<Output> DiskTable(long rows) {
    auto list = MetaList::New(MetaType::Struct, Disk(0));
    list->Reserve(static_cast<unsigned long>(rows));
    for (long i = 0; i < rows; ++i) {
        list->Add(Disk(i));
    }
    auto output = Output::New();
    output->SetRootObject(list);
    return output;
}

void RunTable(benchmark::State& state, bool wrap) {
    const long rows = state.range(0);
    auto output = DiskTable(rows);
    FormatParameters params;
    params.SetParameter("fields:Disk", "Name,Size,Description");
    params.SetParameter("printf:Disk.Size", "%6ld");
    params.SetParameter("units:Disk.Size", "MB");
    if (wrap) {
        params.SetParameter("wrap-last", "true");
    }
    DisplayContext context;
    context.width = 80;
    TableFormatter formatter;
    CountingBuffer buffer;
    std::ostream out(&buffer);
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatter.Format(output, params, context, out));
    }
    state.SetComplexityN(rows);
    state.SetItemsProcessed(state.iterations() * rows);
    state.counters["bytes_per_table"] =
        benchmark::Counter(static_cast<double>(buffer.count) / static_cast<double>(state.iterations()));
}

// Reference: only reading every cell's text, no formatting. Its per-row cost rises with N as much
// as the table's does once the value tree outgrows the caches.
void BM_ReadCellsOnly(benchmark::State& state) {
    const long rows = state.range(0);
    auto output = DiskTable(rows);
    auto list = std::dynamic_pointer_cast<MetaList>(output->GetRootObject());
    const std::string names[] = {"Name", "Size", "Description"};
    for (auto _ : state) {
        std::size_t total = 0;
        for (const auto& element : list->GetObjects()) {
            auto* disk = static_cast<const MetaStruct*>(element.get());
            for (const auto& name : names) {
                total += disk->GetField(name)->ToString().size();
            }
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetComplexityN(rows);
    state.SetItemsProcessed(state.iterations() * rows);
}

void BM_TablePlain(benchmark::State& state) {
    RunTable(state, false);
}
void BM_TableWrappedLastColumn(benchmark::State& state) {
    RunTable(state, true);
}

} // namespace

BENCHMARK(BM_ReadCellsOnly)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_TablePlain)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_TableWrappedLastColumn)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();
