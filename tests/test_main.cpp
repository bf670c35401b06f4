#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    // Wine's console may be a pipe: keep the report in order with other output.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    const int ran = testing::UnitTest::GetInstance()->test_to_run_count();
    if (ran == 0) {
        std::printf("vexa-tests: the filter matched no test\n");
        return 1;
    }
    // ctest passes a program only on this last line: a run cut short (its Wine server
    // killed, say) can end with code 0 and half a report.
    if (result == 0)
        std::printf("vexa-tests: %d ran, all passed\n", ran);
    return result;
}
