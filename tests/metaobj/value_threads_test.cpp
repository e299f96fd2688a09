// Tests of typed values made and dropped on many threads at once.
#include <corvane/metaobj.h>

#include "test_support.h"

#include <string>
#include <thread>
#include <vector>

using namespace Corvane::MetaObj;

// Values are made and dropped on several threads at once, records sharing their names among them:
// every value keeps what it was made with.
TEST(MetaObjectTest, ValuesMadeAndDroppedOnManyThreadsKeepTheirContents) {
    auto model = MetaStruct::New("Row");
    model->SetField("Name", "x");
    model->SetField("Size", 0L);
    std::vector<std::thread> threads;
    std::vector<std::string> failures(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &model, &failures] {
            for (int round = 0; round < 20 && failures[t].empty(); ++round) {
                std::vector<std::shared_ptr<MetaStruct>> rows;
                for (long i = 0; i < 2000; ++i) {
                    auto row = MetaStruct::NewLike("Row", *model);
                    row->SetField("Size", i * 1000 + t);
                    row->SetField("Name",
                                  std::string(static_cast<std::size_t>(i % 40), static_cast<char>('a' + t)));
                    rows.push_back(std::move(row));
                }
                for (long i = 0; i < 2000; ++i) {
                    const std::string expected =
                        "{'Name' => '" +
                        std::string(static_cast<std::size_t>(i % 40), static_cast<char>('a' + t)) +
                        "', 'Size' => '" + std::to_string(i * 1000 + t) + "', }";
                    if (rows[static_cast<std::size_t>(i)]->ToString() != expected) {
                        failures[t] =
                            rows[static_cast<std::size_t>(i)]->ToString() + " instead of " + expected;
                        break;
                    }
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(std::vector<std::string>(4), failures);
    EXPECT_EQ("{'Name' => 'x', 'Size' => '0', }", model->ToString());
}
