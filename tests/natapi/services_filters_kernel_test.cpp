// The service, filter and block-service functions on the kernel's device:
// missing, and opening but refusing every command.
#include "natapi/services_filters_functions.h"
#include "support/sandbox.h"

namespace {

using namespace natapi_test;

class TableKernelDevice : public sandbox::Test {};

TEST_F(TableKernelDevice, MissingDeviceGivesEachFunctionsAnswer)
{
    sandbox::private_dev();
    for (const TableFunction &f : table_functions()) {
        sandbox::StdoutCapture out;
        int result = f.call();
        TableOutcome expected = when_absent(f);
        EXPECT_EQ(out.finish(), expected.out) << f.name;
        EXPECT_EQ(result, expected.result) << f.name;
    }
}

TEST_F(TableKernelDevice, RefusingDeviceGivesEachFunctionsAnswerAndClosesOnce)
{
    sandbox::private_dev({AGAPI_NAT_DEVICE});
    int before = sandbox::open_descriptors();
    for (const TableFunction &f : table_functions()) {
        sandbox::StdoutCapture out;
        int result = f.call();
        TableOutcome expected = when_refused(f, -1);
        EXPECT_EQ(out.finish(), expected.out) << f.name;
        EXPECT_EQ(result, expected.result) << f.name;
    }
    EXPECT_EQ(sandbox::open_descriptors(), before);
}

} // namespace
