// The firewall service tables of both sessions: what the engine receives,
// byte for byte, the listing layout, the lookups and every function's
// answer when the device is missing or the engine refuses.
#include "natapi/engine_test.h"
#include "natapi/services_filters_functions.h"

namespace {

using namespace natapi_test;
using arnonat::natapi::code;

FwServiceRecord record(const char *name, uint8_t protocol, uint16_t start, uint16_t end)
{
    FwServiceRecord r{};
    std::snprintf(r.sName, sizeof r.sName, "%s", name);
    r.bProtocol = protocol;
    r.usStartPort = start;
    r.usEndPort = end;
    return r;
}

// Adds services to the first session's table without printing.
void load(std::initializer_list<FwServiceRecord> records)
{
    sandbox::StdoutCapture out;
    for (const FwServiceRecord &r : records)
        ASSERT_GE(agApi_fwServiceAdd(r.sName, r.bProtocol, r.usStartPort, r.usEndPort), 0);
    out.finish();
    natsim_log_clear();
}

TEST_F(EngineTest, ServiceFunctionsWithoutDeviceSendNothing)
{
    natsim_set_device(AGAPI_NAT_DEVICE, 0);
    for (const TableFunction &f : table_functions()) {
        sandbox::StdoutCapture out;
        int result = f.call();
        TableOutcome expected = when_absent(f);
        EXPECT_EQ(out.finish(), expected.out) << f.name;
        EXPECT_EQ(result, expected.result) << f.name;
    }
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(EngineTest, ServiceFunctionsRefusedGiveTheirAnswerAfterOneCommand)
{
    for (const TableFunction &f : table_functions()) {
        natsim_reset();
        natsim_force_result(code(f.command), -5);
        sandbox::StdoutCapture out;
        int result = f.call();
        TableOutcome expected = when_refused(f, -5);
        EXPECT_EQ(out.finish(), expected.out) << f.name;
        EXPECT_EQ(result, expected.result) << f.name;
        EXPECT_EQ(only_call().code, code(f.command)) << f.name;
    }
}

TEST_F(EngineTest, AddSendsTheNameWithItsTerminatorAndPrintsTheProtocolAsAByte)
{
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwServiceAdd("FTP", 6, 20, 21), 0);
    EXPECT_EQ(out.finish(), std::string("agApi_fwServiceAdd 2504 sName: FTP, bProtocol: \x06, usStartPort: 20, "
                                        "usEndPort: 21\n"));
    const natsim_call &c = only_call();
    EXPECT_EQ(c.code, 0x8004640Cu);
    EXPECT_EQ(c.count, 4);
    EXPECT_EQ(lengths(c, 4), (std::vector<uint32_t>{4, 1, 2, 2}));
    EXPECT_EQ(field(c, 0), std::string("FTP", 4));
    EXPECT_EQ(field(c, 1), "\x06");
    EXPECT_EQ(field(c, 2), bytes<uint16_t>(20));
    EXPECT_EQ(field(c, 3), bytes<uint16_t>(21));

    // The second session's add goes to its own table, without the line.
    natsim_log_clear();
    sandbox::StdoutCapture quiet;
    EXPECT_EQ(agApi_fwServiceAdd_Session2("HTTP", 6, 80, 80), 0);
    EXPECT_EQ(quiet.finish(), "");
    EXPECT_EQ(only_call().code, 0x80046480u);
    EXPECT_EQ(agApi_fwServiceGetCnt(), 1);
    EXPECT_EQ(agApi_fwServiceGetCnt_Session2(), 1);

    // No name: nothing sent.
    natsim_log_clear();
    sandbox::StdoutCapture refused;
    EXPECT_EQ(agApi_fwServiceAdd(nullptr, 6, 1, 2), -1);
    EXPECT_EQ(refused.finish(), "[agApi_fwServiceAdd]:no service name given, nothing sent\n");
    EXPECT_EQ(natsim_log_size(), 0u);
}

TEST_F(EngineTest, ListPrintsEveryServiceBetweenBlankLines)
{
    {
        sandbox::StdoutCapture out;
        EXPECT_EQ(agApi_fwServiceList(), 1);
        EXPECT_EQ(out.finish(), "\n\n");
    }
    load({record("FTP", 6, 20, 21), record("FTP_zZz", 17, 20, 21), record("GRE", 47, 0, 0)});
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_fwServiceList(), 1);
    EXPECT_EQ(out.finish(), "\n"
                            "[service 0] name: 'FTP', protocol: 0x06, port 20-21\n"
                            "[service 1] name: 'FTP_zZz', protocol: 0x11, port 20-21\n"
                            "[service 2] name: 'GRE', protocol: 0x2F, port 0-0\n"
                            "\n");
    EXPECT_EQ(only_call().code, 0x8004640Bu);
}

TEST_F(EngineTest, GetAnnouncesItsSixteenBitIndexAsFourBytes)
{
    load({record("FTP", 6, 20, 21), record("HTTP", 6, 80, 80)});
    FwServiceRecord out{};
    EXPECT_EQ(agApi_fwServiceGet(1, &out), 0);
    EXPECT_STREQ(out.sName, "HTTP");
    EXPECT_EQ(out.usStartPort, 80);
    const natsim_call &c = only_call();
    EXPECT_EQ(c.count, 2);
    EXPECT_EQ(lengths(c, 2), (std::vector<uint32_t>{54, 4}));
    EXPECT_EQ(field(c, 1), bytes<uint16_t>(1) + std::string("\x02\x00", 2));
    EXPECT_EQ(c.word[0], reinterpret_cast<uintptr_t>(&out));

    // Change and delete by position and by name.
    FwServiceRecord changed = record("WEB", 6, 8080, 8080);
    EXPECT_EQ(agApi_fwServiceMod(1, &changed), 1);
    EXPECT_EQ(agApi_fwServiceGet(1, &out), 0);
    EXPECT_STREQ(out.sName, "WEB");
    EXPECT_EQ(agApi_fwServiceDelByName("FTP"), 1);
    EXPECT_EQ(agApi_fwServiceDelByName("FTP"), -1);
    EXPECT_EQ(agApi_fwServiceDel(0), 1);
    EXPECT_EQ(agApi_fwServiceGetCnt(), 0);
}

TEST_F(EngineTest, LookupByNameFindsTheFirstExactName)
{
    load({record("http", 6, 8080, 8080), record("HTTP", 6, 80, 80), record("HTTP", 17, 80, 80)});
    FwServiceRecord out = record("untouched", 0, 0, 0);
    EXPECT_EQ(agApi_fwGetServiceByName("HTTP", &out), 1);
    EXPECT_EQ(out.bProtocol, 6);
    EXPECT_EQ(agApi_fwGetServiceByName("http", &out), 0);
    out = record("untouched", 0, 0, 0);
    EXPECT_EQ(agApi_fwGetServiceByName("HTT", &out), -1);
    EXPECT_STREQ(out.sName, "untouched");
    EXPECT_EQ(agApi_fwGetServiceByName_Session2("HTTP", &out), -1);
    EXPECT_EQ(natsim_log_entry(natsim_log_size() - 1)->code, 0x8004647Fu);
}

TEST_F(EngineTest, LookupByPortsLeavesTheLastMatch)
{
    FwServiceRecord out = record("untouched", 0, 0, 0);
    EXPECT_EQ(agApi_fwGetServiceName(80, 80, 6, &out), 0);
    load({record("HTTP", 6, 80, 80), record("WEB", 6, 80, 80), record("WEBU", 17, 80, 80)});
    EXPECT_EQ(agApi_fwGetServiceName(80, 80, 6, &out), 1);
    EXPECT_STREQ(out.sName, "WEB");
    EXPECT_EQ(agApi_fwGetServiceName(80, 81, 6, &out), 0);
    EXPECT_STREQ(out.sName, "WEB");
}

TEST_F(EngineTest, ReadAllNeedsRoomForAWholeListing)
{
    load({record("FTP", 6, 20, 21), record("FTP_zZz", 17, 20, 21)});
    std::vector<FwServiceRecord> array(AGAPI_SERVICES_MAX);
    {
        sandbox::StdoutCapture out;
        EXPECT_EQ(agApi_fwGetAllServices(array.data(), 127), 0);
        EXPECT_EQ(agApi_fwGetAllServices_Session2(array.data(), -1), 0);
        EXPECT_EQ(out.finish(), "agApi_fwGetAllServices: Error, array need to be at least 128\n"
                                "agApi_fwGetAllServices_Session2: Error, array need to be at least 128\n");
        EXPECT_EQ(natsim_log_size(), 0u);
    }
    EXPECT_EQ(agApi_fwGetAllServices(array.data(), 128), 2);
    EXPECT_STREQ(array[1].sName, "FTP_zZz");
    EXPECT_EQ(only_call().word[0], reinterpret_cast<uintptr_t>(array.data()));
    EXPECT_EQ(agApi_fwGetAllServices_Session2(array.data(), 128), 0);
}

} // namespace
