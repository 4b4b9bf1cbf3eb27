// Connection recovery: socket list lines turned into connection entries,
// whole socket lists handed to the engine, and the router's own loopback
// connections recovered for real.
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <tuple>

#include "natapi/conn_recovery.h"
#include "natapi/connections_functions.h"
#include "natapi/engine_test.h"

namespace {

using namespace natapi_test;

// The entry recovery makes of an established socket: the remote end is the
// source, the router's end the destination; nothing else is set.
ConnTblEntry recovered(const char *remote, uint16_t remote_port, const char *local,
                       uint16_t local_port)
{
    ConnTblEntry e{};
    e.ulSrcIp = inet_addr(remote);
    e.ulDstIp = inet_addr(local);
    e.usSrcPort = htons(remote_port);
    e.usDstPort = htons(local_port);
    e.bProtocol = 6;
    return e;
}

std::string line_with(const std::string &local, const std::string &remote, const std::string &state)
{
    return "   2: " + local + " " + remote + " " + state +
           " 00000000:00000000 00:00000000 00000000     0        0 4712 1 0000000000000000 20 4 30 10 -1";
}

TEST_F(EngineTest, OnlyEstablishedIpv4SocketsWithBothEndsBecomeEntries)
{
    struct Row {
        std::string line;
        int usable;
    };
    const Row rows[] = {
        {kEstablishedLine, 1},
        {kListeningLine, 0},
        {line_with("0100007F:1F90", "0100007F:9C42", "06"), 0},             // time-wait
        {line_with("0100007F:1F90", "00000000:9C41", "01"), 0},             // no remote address
        {line_with("0100007F:1F90", "0100007F:0000", "01"), 0},             // no remote port
        {line_with("0100007f:1f90", "0100007f:9c41", "01"), 1},             // lower-case digits
        {"   1: 0100007F:1F90 0100007F:9C41 01", 1},                         // fields up to the state
        {"   1: 0100007F:1F90 0100007F:9C41", 0},                            // no state
        {"  sl  local_address rem_address   st tx_queue rx_queue tr tm->when", 0},
        {line_with("0000000000000000FFFF00000100007F:1F90", "0100007F:9C41", "01"), 0}, // not IPv4
        {line_with(std::string(65, '1') + ":1F90", "0100007F:9C41", "01"), 0},
        {"", 0},
        {"1: :1F90 0100007F:9C41 01", 0},
    };
    for (const Row &row : rows) {
        ConnTblEntry e;
        std::memset(&e, 0xa5, sizeof e);
        EXPECT_EQ(zoltNat_ProcTcpToConnTbl(row.line.c_str(), &e), row.usable) << row.line;
        if (row.usable)
            EXPECT_EQ(bytes(e), bytes(recovered("127.0.0.1", 40001, "127.0.0.1", 8080))) << row.line;
    }
    // A port wider than 16 bits keeps its low 16 bits.
    ConnTblEntry e;
    EXPECT_EQ(zoltNat_ProcTcpToConnTbl(line_with("0100007F:11F90", "0100007F:9C41", "01").c_str(), &e), 1);
    EXPECT_EQ(ntohs(e.usDstPort), 8080);
    // Nothing to read or nowhere to write.
    EXPECT_EQ(zoltNat_ProcTcpToConnTbl(nullptr, &e), 0);
    EXPECT_EQ(bytes(e), bytes(ConnTblEntry{}));
    EXPECT_EQ(zoltNat_ProcTcpToConnTbl(kEstablishedLine.c_str(), nullptr), 0);
}

// Recovery over the socket list TEXT; what it printed.
std::string recover(const std::string &text)
{
    sandbox::write_file("/tmp/tcp", text);
    FILE *stream = std::fopen("/tmp/tcp", "r");
    EXPECT_NE(stream, nullptr);
    sandbox::StdoutCapture out;
    if (stream) {
        arnonat::natapi::recover_from(stream);
        std::fclose(stream);
    }
    return out.finish();
}

std::string record_of(size_t i)
{
    const natsim_call *c = natsim_log_entry(i);
    return c ? std::string(reinterpret_cast<const char *>(c->record), c->record_len) : "";
}

TEST_F(EngineTest, SocketListIsHandedOverLineByLine)
{
    // An overlong line whose tail reads like a socket line is passed over
    // whole; the last line needs no newline.
    std::string overlong = std::string(9000, ' ') + line_with("0200007F:0050", "0300007F:1234", "01");
    std::string text = "  sl  local_address rem_address   st\n" + kListeningLine + "\n" + overlong + "\n" +
                       kEstablishedLine + "\n" + line_with("0A01A8C0:0016", "6401A8C0:D431", "01");
    EXPECT_EQ(recover(text),
              "[zoltNat_DoConnRecovery]:socket line longer than 8191 bytes passed over\n"
              "agApi_natAddConnTblEntryadd Conn : [100007F:419C -->100007F:901F]\n"
              "agApi_natAddConnTblEntryadd Conn : [6401A8C0:31D4 -->A01A8C0:1600]\n");
    ASSERT_EQ(natsim_log_size(), 2u);
    EXPECT_EQ(record_of(0), bytes(recovered("127.0.0.1", 40001, "127.0.0.1", 8080)));
    EXPECT_EQ(record_of(1), bytes(recovered("192.168.1.100", 54321, "192.168.1.10", 22)));
}

TEST_F(EngineTest, RecoveryGoesOnAfterEachFailedEntry)
{
    const std::string text = kEstablishedLine + "\n" + line_with("0A01A8C0:0016", "6401A8C0:D431", "01") + "\n";
    natsim_force_result(0x40046447, -5);
    EXPECT_EQ(recover(text), "[agApi_natAddConnTblEntry]:ioctl_set_msg failed:-5\n"
                             "[agApi_natAddConnTblEntry]:ioctl_set_msg failed:-5\n");
    EXPECT_EQ(natsim_log_size(), 2u);

    sandbox::StdoutCapture out;
    EXPECT_EQ(arnonat::natapi::recover_connections("/tmp/no-socket-list"), 0);
    EXPECT_EQ(out.finish(), "zoltNat_DoConnRecovery5915 : file /tmp/no-socket-list open error \n");
}

// ---- Recovery for real, in a network namespace of its own ----------------

void check(bool ok, const char *what)
{
    if (!ok) {
        std::perror(what);
        ::_exit(2);
    }
}

int tcp_socket(const char *address, uint16_t port)
{
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    check(s >= 0, "socket");
    int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = inet_addr(address);
    check(::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0, "bind");
    return s;
}

int connect_to(int s, uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
}

bool socket_list_has_state(const std::string &state)
{
    std::ifstream in("/proc/net/tcp");
    std::string slot, local, remote, st;
    std::string line;
    std::getline(in, line);
    while (in >> slot >> local >> remote >> st) {
        if (st == state)
            return true;
        std::getline(in, line);
    }
    return false;
}

// In a fresh network namespace: a listener on 127.0.0.1:8080, one
// connection from 127.0.0.2:40001 kept open and one from 127.0.0.2:40002
// closed into time-wait.  Recovery then
// runs against the simulator; every record the engine received goes to FD.
[[noreturn]] void recover_in_own_namespace(int fd)
{
    check(::unshare(CLONE_NEWNET) == 0, "unshare");
    int control = ::socket(AF_INET, SOCK_DGRAM, 0);
    ifreq lo{};
    std::strcpy(lo.ifr_name, "lo");
    check(::ioctl(control, SIOCGIFFLAGS, &lo) == 0, "SIOCGIFFLAGS");
    lo.ifr_flags = static_cast<short>(lo.ifr_flags | IFF_UP);
    check(::ioctl(control, SIOCSIFFLAGS, &lo) == 0, "SIOCSIFFLAGS");

    int listener = tcp_socket("127.0.0.1", 8080);
    check(::listen(listener, 4) == 0, "listen");
    int kept = tcp_socket("127.0.0.2", 40001);
    check(connect_to(kept, 8080) == 0, "connect");
    int kept_peer = ::accept(listener, nullptr, nullptr);
    int closed = tcp_socket("127.0.0.2", 40002);
    check(connect_to(closed, 8080) == 0, "connect");
    int closed_peer = ::accept(listener, nullptr, nullptr);
    check(kept_peer >= 0 && closed_peer >= 0, "accept");
    ::close(closed);
    ::close(closed_peer);
    for (int i = 0; i < 1000 && !socket_list_has_state("06"); ++i)
        ::usleep(1000);
    check(socket_list_has_state("06") && socket_list_has_state("0A"), "socket states");

    natsim_reset();
    zoltNat_DoConnRecovery();
    std::fflush(stdout);
    for (size_t i = 0; i < natsim_log_size(); ++i) {
        const natsim_call *c = natsim_log_entry(i);
        uint32_t code = static_cast<uint32_t>(c->code);
        check(::write(fd, &code, sizeof code) == static_cast<ssize_t>(sizeof code), "write");
        check(::write(fd, c->record, sizeof(ConnTblEntry)) == static_cast<ssize_t>(sizeof(ConnTblEntry)),
              "write");
    }
    ::_exit(0);
}

TEST_F(EngineTest, RecoveryFindsTheRoutersEstablishedLoopbackConnections)
{
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    std::fflush(stdout);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipe_fds[0]);
        sandbox::StdoutCapture quiet;
        recover_in_own_namespace(pipe_fds[1]);
    }
    ::close(pipe_fds[1]);
    std::string received;
    char chunk[512];
    for (ssize_t n; (n = ::read(pipe_fds[0], chunk, sizeof chunk)) > 0;)
        received.append(chunk, static_cast<size_t>(n));
    ::close(pipe_fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    using Connection = std::tuple<std::string, int, std::string, int>;
    std::set<Connection> found;
    const size_t record = sizeof(uint32_t) + sizeof(ConnTblEntry);
    ASSERT_EQ(received.size() % record, 0u);
    for (size_t at = 0; at < received.size(); at += record) {
        uint32_t code;
        ConnTblEntry e;
        std::memcpy(&code, received.data() + at, sizeof code);
        std::memcpy(&e, received.data() + at + sizeof code, sizeof e);
        EXPECT_EQ(code, 0x40046447u);
        char source[INET_ADDRSTRLEN], destination[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &e.ulSrcIp, source, sizeof source);
        inet_ntop(AF_INET, &e.ulDstIp, destination, sizeof destination);
        found.insert({source, ntohs(e.usSrcPort), destination, ntohs(e.usDstPort)});
        EXPECT_EQ(bytes(e), bytes(recovered(source, ntohs(e.usSrcPort), destination, ntohs(e.usDstPort))));
    }
    // One entry per end of the open connection; none for the listener or
    // the connection in time-wait.
    EXPECT_EQ(received.size() / record, 2u);
    EXPECT_EQ(found, (std::set<Connection>{{"127.0.0.2", 40001, "127.0.0.1", 8080},
                                           {"127.0.0.1", 8080, "127.0.0.2", 40001}}));
}

} // namespace
