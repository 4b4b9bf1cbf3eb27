// The engine's own port trigger configurations: reading one in place,
// walking them through the engine's copies, deleting and switching them.
#include "natapi/engine_test.h"
#include "sim/engine.h"

namespace {

using namespace natapi_test;

FwTriggerConf conf(const char *name, unsigned char fill)
{
    FwTriggerConf c;
    std::memset(&c, fill, sizeof c);
    std::memset(c.sName, 0, sizeof c.sName);
    std::strcpy(c.sName, name);
    return c;
}

class TriggerConfTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        const FwTriggerConf confs[] = {conf("web", 0x11), conf("game", 0x22)};
        ASSERT_EQ(natsim::set_trigger_confs(confs, 2), 0);
    }
};

int32_t status_of(const FwTriggerConf &c)
{
    int32_t s;
    std::memcpy(&s, c.bData, sizeof s);
    return s;
}

TEST_F(TriggerConfTest, ReadFillsTheCallersRecordInPlace)
{
    FwTriggerConf record = conf("game", 0);
    const std::string sent = bytes(record);
    EXPECT_EQ(agApi_fwGetTriggerConf(&record), 0);
    EXPECT_EQ(bytes(record), bytes(conf("game", 0x22)));
    const natsim_call &c = only_call();
    EXPECT_EQ(c.code, 0x8004642Eu);
    EXPECT_EQ(c.count, 1);
    EXPECT_EQ(lengths(c, 2), (std::vector<uint32_t>{364, 0}));
    EXPECT_EQ(c.word[0], reinterpret_cast<uintptr_t>(&record));
    EXPECT_EQ(field(c, 0), sent);

    // A configuration the engine does not know leaves the record as it was.
    FwTriggerConf unknown = conf("ftp", 0x33);
    EXPECT_EQ(agApi_fwGetTriggerConf(&unknown), -1);
    EXPECT_EQ(bytes(unknown), bytes(conf("ftp", 0x33)));
}

TEST_F(TriggerConfTest, WalkCopiesEachConfigurationIntoTheCallersRecord)
{
    FwTriggerConf record = conf("", 0);
    EXPECT_EQ(agApi_fwGetFirstTriggerConf(&record), 0);
    EXPECT_EQ(bytes(record), bytes(conf("web", 0x11)));
    EXPECT_EQ(agApi_fwGetNextTriggerConf(&record), 0);
    EXPECT_EQ(bytes(record), bytes(conf("game", 0x22)));
    // The end of the walk: the record keeps the last configuration.
    EXPECT_EQ(agApi_fwGetNextTriggerConf(&record), -1);
    EXPECT_EQ(bytes(record), bytes(conf("game", 0x22)));

    ASSERT_EQ(natsim_log_size(), 3u);
    const natsim_call &first = *natsim_log_entry(0);
    EXPECT_EQ(first.code, 0x80046431u);
    EXPECT_EQ(first.count, 1);
    EXPECT_EQ(lengths(first, 2), (std::vector<uint32_t>{364, 0}));
    EXPECT_EQ(first.data_len[0], 0u); // only written by the engine
    const natsim_call &next = *natsim_log_entry(1);
    EXPECT_EQ(next.code, 0x80046432u);
    EXPECT_EQ(field(next, 0), bytes(conf("web", 0x11)));
}

TEST_F(TriggerConfTest, DeleteAndStatusSendNamesWithTheirTerminator)
{
    EXPECT_EQ(agApi_fwTriggerConfStatusSet("game", 5), 0);
    const natsim_call &status = only_call();
    EXPECT_EQ(status.code, 0x80046430u);
    EXPECT_EQ(status.count, 2);
    EXPECT_EQ(lengths(status, 3), (std::vector<uint32_t>{5, 4, 0}));
    EXPECT_EQ(field(status, 0), std::string("game", 5));
    EXPECT_EQ(field(status, 1), bytes<int32_t>(5));
    FwTriggerConf record = conf("game", 0);
    EXPECT_EQ(agApi_fwGetTriggerConf(&record), 0);
    EXPECT_EQ(status_of(record), 5);

    natsim_log_clear();
    EXPECT_EQ(agApi_fwDelTriggerConf("web"), 0);
    const natsim_call &del = only_call();
    EXPECT_EQ(del.code, 0x8004642Fu);
    EXPECT_EQ(del.count, 1);
    EXPECT_EQ(lengths(del, 2), (std::vector<uint32_t>{4, 0}));
    EXPECT_EQ(field(del, 0), std::string("web", 4));
    EXPECT_EQ(agApi_fwDelTriggerConf("web"), -1);

    natsim_log_clear();
    EXPECT_EQ(agApi_fwDelTriggerConf2(&record), 0);
    const natsim_call &del2 = only_call();
    EXPECT_EQ(del2.code, 0x80046433u);
    EXPECT_EQ(lengths(del2, 2), (std::vector<uint32_t>{364, 0}));
    EXPECT_EQ(field(del2, 0), bytes(record));
    FwTriggerConf none = conf("", 0x44);
    EXPECT_EQ(agApi_fwGetFirstTriggerConf(&none), -1);
    EXPECT_EQ(bytes(none), bytes(conf("", 0x44)));
}

TEST_F(TriggerConfTest, SetSendsNothingAndMissingInputIsRefused)
{
    EXPECT_EQ(agApi_fwSetTriggerConf(), 0);
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwGetTriggerConf(nullptr), -1);
    EXPECT_EQ(agApi_fwGetNextTriggerConf(nullptr), -1);
    EXPECT_EQ(agApi_fwDelTriggerConf(nullptr), -1);
    EXPECT_EQ(agApi_fwDelTriggerConf2(nullptr), -1);
    EXPECT_EQ(agApi_fwTriggerConfStatusSet(nullptr, 1), -1);
    EXPECT_EQ(out.finish(), "[agApi_fwGetTriggerConf]:no record given, nothing sent\n"
                            "[agApi_fwGetNextTriggerConf]:no record given, nothing sent\n"
                            "[agApi_fwDelTriggerConf]:no trigger name given, nothing sent\n"
                            "[agApi_fwDelTriggerConf2]:no record given, nothing sent\n"
                            "[agApi_fwTriggerConfStatusSet]:no trigger name given, nothing sent\n");
    EXPECT_EQ(natsim_log_size(), 0u);
}

// Every sending function, on a record that must stay as it was.
std::vector<std::pair<unsigned long, int (*)(FwTriggerConf *)>> senders()
{
    return {
        {0x8004642E, agApi_fwGetTriggerConf},
        {0x80046431, agApi_fwGetFirstTriggerConf},
        {0x80046432, agApi_fwGetNextTriggerConf},
        {0x8004642F, [](FwTriggerConf *r) { return agApi_fwDelTriggerConf(r->sName); }},
        {0x80046433, [](FwTriggerConf *r) { return agApi_fwDelTriggerConf2(r); }},
        {0x80046430, [](FwTriggerConf *r) { return agApi_fwTriggerConfStatusSet(r->sName, 1); }},
    };
}

TEST_F(TriggerConfTest, EnginesRefusalIsPassedOnAndLeavesTheRecord)
{
    for (const auto &[code, send] : senders()) {
        FwTriggerConf record = conf("web", 0x55);
        natsim_force_result(code, -5);
        sandbox::StdoutCapture refused;
        EXPECT_EQ(send(&record), -5) << code;
        EXPECT_EQ(refused.finish(), "") << code;
        EXPECT_EQ(bytes(record), bytes(conf("web", 0x55))) << code;
    }
}

} // namespace
