// Expressions of the value library and their results, one table per topic
// (instantiated in the topic's own file).
#include "sysfuncs_fixture.h"

namespace orvatest {
namespace {

TEST_P(SysFuncValues, Evaluate) { EXPECT_EQ(Eval(GetParam().text), GetParam().result) << lastError; }

}  // namespace
}  // namespace orvatest
