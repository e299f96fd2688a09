// Tests of the kind names, streaming, the scalars with their shared instances and UTF-8 escaping.
#include <corvane/metaobj.h>

#include "test_support.h"

#include <tarvik.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <new>
#include <sstream>

using namespace Corvane::MetaObj;

// Counts the heap allocations of the whole process, the library included, while gCounting is set.
// Not inlined: GCC would otherwise pair the free() with operator new and warn about a mismatch.
static std::atomic<bool> gCounting{false};
static std::atomic<long> gAllocations{0};
__attribute__((noinline)) void* operator new(std::size_t size) {
    gAllocations += gCounting.load(std::memory_order_relaxed) ? 1 : 0;
    void* memory = std::malloc(size ? size : 1);
    return memory ? memory : throw std::bad_alloc();
}
// clang-format off
__attribute__((noinline)) void operator delete(void* memory) noexcept { std::free(memory); }
__attribute__((noinline)) void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
// clang-format on

TEST(MetaScalarTest, KindNamesSharedInstancesAndText) {
    const std::pair<int, const char*> names[] = {{0, "Int"},  {1, "Bool"}, {2, "String"}, {3, "Struct"},
                                                 {4, "List"}, {7, ""},     {-1, ""}};
    for (const auto& name : names) {
        EXPECT_EQ(name.second, MetaTypeString(static_cast<MetaType>(name.first)));
    }
    const std::string odd = "say \"hi\"\n\t'there' \\ {x} => ,";
    std::ostringstream out;
    out << *MetaBool::New(true) << "|" << *MetaBool::New() << "|" << *MetaInt::New(LONG_MIN) << "|"
        << *MetaInt::New(7) << "|" << *MetaString::New(odd);
    EXPECT_EQ("true|false|-9223372036854775808|7|" + odd, out.str());
}

TEST(MetaScalarTest, SharedInstancesNeverAllocate) {
    // -2 and 21 lie outside the shared range: each proves that the counter works.
    for (auto [first, last] : {std::pair(-1L, 20L), std::pair(-2L, 20L), std::pair(-1L, 21L)}) {
        gAllocations = 0;
        gCounting = true;
        for (long value = first; value <= last; ++value) {
            auto number = MetaInt::New(value);
            auto flag = MetaBool::New(value % 2 == 0);
        }
        auto empty = MetaString::New(""), other = MetaString::NewUtf8WithEscapes(std::string());
        gCounting = false;
        EXPECT_EQ(first == -1 && last == 20, gAllocations == 0) << gAllocations;
    }
}

TEST(MetaStringTest, Utf8WithEscapes) {
    // Valid text stays byte for byte (the escaper would double the backslash); invalid text is escaped.
    for (const std::string text : {"plain", "h\xc3\xa9llo \xe2\x82\xac \xf0\x9f\x98\x80", "back\\slash",
                                   "a\xff", "\xc3", "\x80", "\xc0\xaf", "\xed\xa0\x80", "\xc3\xa9 \\ \xfe"}) {
        char* escaped = TarvikText_Escape(text.c_str(), -1, 0);
        const std::string expected = TarvikText_IsValid(text.c_str(), -1, 0) ? text : escaped;
        std::free(escaped);
        const std::string value = MetaString::NewUtf8WithEscapes(std::string(text))->GetValue();
        EXPECT_EQ(expected, value);
        EXPECT_NE(0, TarvikText_IsValid(value.c_str(), -1, 0)) << value;
    }
}
