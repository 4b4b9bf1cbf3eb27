// Port trigger configurations on the kernel's device: missing, and opening
// but refusing every ioctl.  Neither says anything or touches the record.
#include <cstring>
#include <string>

#include "agapi.h"
#include "support/sandbox.h"

namespace {

class TriggerConfKernel : public sandbox::Test {};

struct Sender {
    const char *name;
    int (*send)(FwTriggerConf *);
};

const Sender kSenders[] = {
    {"get", agApi_fwGetTriggerConf},
    {"first", agApi_fwGetFirstTriggerConf},
    {"next", agApi_fwGetNextTriggerConf},
    {"delete", [](FwTriggerConf *r) { return agApi_fwDelTriggerConf(r->sName); }},
    {"delete record", [](FwTriggerConf *r) { return agApi_fwDelTriggerConf2(r); }},
    {"status", [](FwTriggerConf *r) { return agApi_fwTriggerConfStatusSet(r->sName, 1); }},
};

void expect_answer(int answer)
{
    for (const Sender &s : kSenders) {
        FwTriggerConf record, before;
        std::memset(&record, 0x5a, sizeof record);
        std::strcpy(record.sName, "web");
        before = record;
        sandbox::StdoutCapture out;
        EXPECT_EQ(s.send(&record), answer) << s.name;
        EXPECT_EQ(out.finish(), "") << s.name;
        EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << s.name;
    }
    EXPECT_EQ(agApi_fwSetTriggerConf(), 0);
}

TEST_F(TriggerConfKernel, MissingDeviceAnswersZero)
{
    sandbox::private_dev();
    expect_answer(0);
}

TEST_F(TriggerConfKernel, RefusingDevicePassesTheRefusalOn)
{
    sandbox::private_dev({AGAPI_NAT_DEVICE});
    expect_answer(-1);
}

} // namespace
