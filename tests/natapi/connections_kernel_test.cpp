// The connection table and recovery on the kernel's devices: a missing
// device, and a device that opens and refuses every ioctl.
#include <cstdio>

#include "natapi/conn_recovery.h"
#include "natapi/connections_functions.h"
#include "support/sandbox.h"

namespace {

using namespace natapi_test;

class ConnectionsKernel : public sandbox::Test {};

// Recovery over two established socket lines; what it printed.
std::string recover_two_sockets()
{
    sandbox::write_file("/tmp/tcp", kListeningLine + "\n" + kEstablishedLine + "\n" + kEstablishedLine + "\n");
    FILE *stream = std::fopen("/tmp/tcp", "r");
    EXPECT_NE(stream, nullptr);
    sandbox::StdoutCapture out;
    if (stream) {
        arnonat::natapi::recover_from(stream);
        std::fclose(stream);
    }
    return out.finish();
}

TEST_F(ConnectionsKernel, MissingDeviceIsToldOncePerCall)
{
    sandbox::private_dev();
    const std::string absent = "Can't open device file: /dev/zolt_nat_cli\n";
    for (const ConnFunction &f : connection_functions()) {
        sandbox::StdoutCapture out;
        EXPECT_EQ(f.call(), 0) << f.name;
        EXPECT_EQ(out.finish(), absent) << f.name;
    }
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natAddConnTblEntry(tcp_entry()), 0);
    EXPECT_EQ(out.finish(), absent);
    EXPECT_EQ(recover_two_sockets(), absent + absent);
}

TEST_F(ConnectionsKernel, RefusingDeviceFailsEachCallAndRecoveryGoesOn)
{
    sandbox::private_dev({AGAPI_NAT_DEVICE});
    for (const ConnFunction &f : connection_functions()) {
        sandbox::StdoutCapture out;
        EXPECT_EQ(f.call(), -1) << f.name;
        EXPECT_EQ(out.finish(), "[" + f.name + "]:ioctl_set_msg failed:-1\n") << f.name;
    }
    const std::string refused = "[agApi_natAddConnTblEntry]:ioctl_set_msg failed:-1\n";
    sandbox::StdoutCapture out;
    EXPECT_EQ(agApi_natAddConnTblEntry(tcp_entry()), -1);
    EXPECT_EQ(out.finish(), refused);
    EXPECT_EQ(recover_two_sockets(), refused + refused);
}

} // namespace
