// Tests of the value base, kind names, streaming and the boolean and integer scalars.
#include <corvane/metaobj.h>

#include "test_support.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <new>
#include <sstream>

using namespace Corvane::MetaObj;

// Counts heap allocations of the whole process (the library included) while enabled, so tests can
// prove that the shared scalar instances are handed out without allocating.
namespace {
std::atomic<bool> gCountAllocations{false};
std::atomic<long> gAllocations{0};

long CountAllocations(const std::function<void()>& body) {
    gAllocations = 0;
    gCountAllocations = true;
    body();
    gCountAllocations = false;
    return gAllocations.load();
}
} // namespace

// Opaque to inter-procedural analysis: otherwise GCC inlines the operators at delete-expressions,
// pairs the free() with operator new and warns about a mismatch that this malloc/free pair rules out.
#if defined(__GNUC__) && !defined(__clang__)
#define OPAQUE_TO_IPA __attribute__((noipa))
#else
#define OPAQUE_TO_IPA
#endif

OPAQUE_TO_IPA void* operator new(std::size_t size) {
    if (gCountAllocations.load(std::memory_order_relaxed)) {
        ++gAllocations;
    }
    if (void* memory = std::malloc(size ? size : 1)) {
        return memory;
    }
    throw std::bad_alloc();
}
OPAQUE_TO_IPA void operator delete(void* memory) noexcept {
    std::free(memory);
}
OPAQUE_TO_IPA void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

TEST(MetaTypeStringTest, NamesEveryKindAndNothingElse) {
    EXPECT_EQ("Int", MetaTypeString(MetaType::Int));
    EXPECT_EQ("Bool", MetaTypeString(MetaType::Bool));
    EXPECT_EQ("String", MetaTypeString(MetaType::String));
    EXPECT_EQ("Struct", MetaTypeString(MetaType::Struct));
    EXPECT_EQ("List", MetaTypeString(MetaType::List));
    EXPECT_EQ("", MetaTypeString(static_cast<MetaType>(7)));
    EXPECT_EQ("", MetaTypeString(static_cast<MetaType>(-1)));
    // The references are to static strings: the same object on every call.
    EXPECT_EQ(&MetaTypeString(MetaType::List), &MetaTypeString(MetaType::List));
    EXPECT_EQ(0, static_cast<int>(MetaType::Int));
    EXPECT_EQ(4, static_cast<int>(MetaType::List));
}

TEST(MetaBoolTest, SharedInstancesAndText) {
    EXPECT_EQ(MetaBool::New(true).get(), MetaBool::New(true).get());
    EXPECT_EQ(MetaBool::New(false).get(), MetaBool::New().get());
    EXPECT_NE(MetaBool::New(true).get(), MetaBool::New(false).get());
    EXPECT_TRUE(MetaBool::New(true)->GetValue());
    EXPECT_FALSE(MetaBool::New()->GetValue());
    EXPECT_EQ(MetaType::Bool, MetaBool::New(true)->GetType());
    EXPECT_EQ("true", MetaBool::New(true)->ToString());
    EXPECT_EQ("false", MetaBool::New(false)->ToString());

    std::ostringstream out;
    out << *MetaBool::New(true);
    EXPECT_EQ("true", out.str());
}

TEST(MetaIntTest, SharedRangeIsMinusOneToTwenty) {
    for (long value = -1; value <= 20; ++value) {
        auto first = MetaInt::New(value);
        EXPECT_EQ(first.get(), MetaInt::New(value).get()) << value;
        EXPECT_EQ(value, first->GetValue());
    }
    EXPECT_EQ(MetaInt::New(0).get(), MetaInt::New().get());
    for (long value : {-2L, 21L, 1000L, LONG_MIN, LONG_MAX, LONG_MIN + 1}) {
        auto first = MetaInt::New(value);
        auto second = MetaInt::New(value);
        EXPECT_NE(first.get(), second.get()) << value;
        EXPECT_EQ(value, first->GetValue());
    }
}

TEST(MetaIntTest, DecimalText) {
    EXPECT_EQ("-5", MetaInt::New(-5)->ToString());
    EXPECT_EQ("7", MetaInt::New(7)->ToString());
    EXPECT_EQ("0", MetaInt::New()->ToString());
    EXPECT_EQ("123456789012", MetaInt::New(123456789012L)->ToString());
    EXPECT_EQ("-9223372036854775808", MetaInt::New(LONG_MIN)->ToString());
    EXPECT_EQ("9223372036854775807", MetaInt::New(LONG_MAX)->ToString());
    std::ostringstream out;
    out << "[" << *MetaInt::New(-42) << "]";
    EXPECT_EQ("[-42]", out.str());
}

TEST(MetaScalarTest, SharedInstancesNeverAllocate) {
    const long allocations = CountAllocations([] {
        for (int round = 0; round < 100; ++round) {
            MetaBool::New(round % 2 == 0);
            MetaBool::New();
            for (long value = -1; value <= 20; ++value) {
                auto shared = MetaInt::New(value);
            }
            MetaInt::New();
            auto empty1 = MetaString::New("");
            auto empty2 = MetaString::New(std::string());
            MetaString::New();
            auto empty3 = MetaString::NewUtf8WithEscapes(std::string());
        }
    });
    EXPECT_EQ(0, allocations);
    // The counter itself works: a value outside the range is allocated.
    EXPECT_GT(CountAllocations([] { auto big = MetaInt::New(21); }), 0);
}

TEST(MetaObjectTest, BaseComparisonChecksKindOnly) {
    std::shared_ptr<MetaObject> yes = MetaBool::New(true);
    std::shared_ptr<MetaObject> no = MetaBool::New(false);
    std::shared_ptr<MetaObject> number = MetaInt::New(3);
    std::shared_ptr<MetaObject> text = MetaString::New("3");

    std::vector<std::string> errors;
    EXPECT_TRUE(yes->IsSameStructure(no, &errors));
    EXPECT_TRUE(number->IsSameStructure(MetaInt::New(99), &errors));
    EXPECT_TRUE(text->IsSameStructure(MetaString::New(), &errors));
    EXPECT_TRUE(errors.empty());

    EXPECT_FALSE(yes->IsSameStructure(number, nullptr));
    EXPECT_FALSE(yes->IsSameStructure(number, &errors));
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ("Type mismatch in structure.  Expecting Bool got Int", errors[0]);

    errors.clear();
    EXPECT_FALSE(number->IsSameStructure(text, &errors));
    EXPECT_FALSE(number->IsSameStructure(MetaStruct::New("S"), &errors));
    EXPECT_FALSE(text->IsSameStructure(MetaList::New(MetaType::String), &errors));
    EXPECT_EQ((std::vector<std::string>{"Type mismatch in structure.  Expecting Int got String",
                                        "Type mismatch in structure.  Expecting Int got Struct",
                                        "Type mismatch in structure.  Expecting String got List"}),
              errors);

    // An empty candidate is a mismatch, not a crash.
    errors.clear();
    EXPECT_FALSE(number->IsSameStructure(nullptr, nullptr));
    EXPECT_FALSE(number->IsSameStructure(nullptr, &errors));
    EXPECT_EQ(1u, errors.size());
}
