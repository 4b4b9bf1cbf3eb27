#include "support/sandbox.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "zolt_nvram.h"

namespace sandbox {

namespace {

namespace fs = std::filesystem;

std::string g_original_path; // empty until the process entered its namespace
std::vector<std::string> g_mounts; // mounted by the sandbox, innermost last

void check(bool ok, const std::string &what)
{
    if (!ok) {
        std::fprintf(stderr, "sandbox: %s: %s\n", what.c_str(), std::strerror(errno));
        std::abort();
    }
}

// Mounts SOURCE on TARGET: a file system type with OPTIONS, or with FLAGS
// a path bound over TARGET.
void mount_on(const std::string &target, const std::string &source, unsigned long flags, const std::string &options = "")
{
    check(::mount(source.c_str(), target.c_str(), flags ? nullptr : source.c_str(), flags,
                  options.empty() ? nullptr : options.c_str()) == 0,
          "mount " + source + " on " + target);
    g_mounts.push_back(target);
}

void write_executable(const std::string &path, const std::string &content)
{
    write_file(path, content);
    fs::permissions(path, fs::perms(0755));
}

// An overlay over a system folder: its programs stay visible, what the test
// adds lands on the sandbox's tmpfs.
void overlay(const std::string &folder, const std::string &name)
{
    std::string dir = kHome + "/overlay/" + name;
    fs::create_directories(dir + "/upper");
    fs::create_directories(dir + "/work");
    mount_on(folder, "overlay", 0, "lowerdir=" + folder + ",upperdir=" + dir + "/upper,workdir=" + dir + "/work");
}

// A stub that records its name and arguments, then runs REST.
std::string recording_stub(const std::string &name, const std::string &rest = "")
{
    return "#!/bin/sh\n"
           "{ printf '%s' '" + name + "'\n"
           "  for a in \"$@\"; do\n"
           "    case $a in *[[:space:]]*|'') printf \" '%s'\" \"$a\";; *) printf ' %s' \"$a\";; esac\n"
           "  done\n"
           "  echo\n"
           "} >> " + kCallLog + "\n" + rest;
}

const std::string kHostTmp = "/mnt/arnonat-host-tmp";
const std::string kTrees[] = {ARNONAT_SOURCE_DIR, ARNONAT_BINARY_DIR};

void enter_namespace()
{
    fs::create_directories(kHome);
    check(::unshare(CLONE_NEWNS) == 0, "unshare (the tests run as root)");
    check(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0, "make / private");
    // A checkout under /tmp stays reachable through this bind once the
    // sandbox's own tmpfs hides the host's /tmp.
    if (kTrees[0].rfind("/tmp/", 0) == 0 || kTrees[1].rfind("/tmp/", 0) == 0) {
        fs::create_directories(kHostTmp);
        check(::mount("/tmp", kHostTmp.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0, "bind host /tmp");
    }
    const char *path = std::getenv("PATH");
    g_original_path = path ? path : "/usr/bin:/bin:/usr/sbin:/sbin";
}

// A fresh tmpfs on /tmp; a checkout under /tmp (the programs under test and
// their libraries) stays at its own path on it.
void fresh_tmp(const std::string &options)
{
    mount_on("/tmp", "tmpfs", 0, options);
    for (const std::string &tree : kTrees)
        if (tree.rfind("/tmp/", 0) == 0) {
            std::string top = tree.substr(0, tree.find('/', 5));
            fs::create_directories(top);
            mount_on(top, kHostTmp + top.substr(4), MS_BIND | MS_REC);
        }
}

void build()
{
    mount_on(kHome, "tmpfs", 0, "mode=0755");
    fresh_tmp("mode=1777");
    overlay("/usr/sbin", "usr-sbin");
    std::error_code missing;
    if (!fs::equivalent("/sbin", "/usr/sbin", missing))
        overlay("/sbin", "sbin");
    overlay("/etc", "etc");

    std::string bin = kHome + "/bin";
    fs::create_directories(bin);
    for (const char *tool : {"iptables", "ip4tables", "ip6tables"})
        write_executable(bin + "/" + tool, recording_stub(tool));
    write_executable(bin + "/date",
                     "#!/bin/sh\n"
                     "if [ \"$1\" = -u ] && [ -f " + kHome + "/date.utc ]; then cat " + kHome + "/date.utc; exit 0; fi\n"
                     "if [ \"$#\" = 0 ] && [ -f " + kHome + "/date.local ]; then cat " + kHome + "/date.local; exit 0; fi\n"
                     "exec /bin/date \"$@\"\n");
    write_executable("/usr/sbin/carno-iptables-firewall.sh", recording_stub("/usr/sbin/carno-iptables-firewall.sh"));
    // The runner runs the run-time rules file as the router's does, so the
    // commands in it show up in the call log too.
    write_executable("/sbin/main_run_custom_services",
                     recording_stub("/sbin/main_run_custom_services",
                                    "[ -f /tmp/custom-service-rules ] && sh /tmp/custom-service-rules\nexit 0\n"));
    fs::create_directories("/etc/arno-iptables-firewall");
    write_file("/etc/arno-iptables-firewall/custom-rules", kStockRules);
    write_file(kCallLog, "");
    ::setenv("PATH", (bin + ":" + g_original_path).c_str(), 1);
    ::setenv("ZOLT_NVRAM_FILE", (kHome + "/nvram.db").c_str(), 1);
}

} // namespace

void Test::SetUp()
{
    if (g_original_path.empty())
        enter_namespace();
    while (!g_mounts.empty()) {
        ::umount2(g_mounts.back().c_str(), MNT_DETACH);
        g_mounts.pop_back();
    }
    build();
}

Result run(const std::string &command)
{
    std::fflush(stdout);
    int status = std::system(("( " + command + " ) >" + kHome + "/stdout 2>" + kHome + "/stderr </dev/null").c_str());
    return {status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(kHome + "/stdout"),
            read_file(kHome + "/stderr")};
}

Result arnonat(const std::string &args) { return run(program(ARNONAT_CLI) + (args.empty() ? "" : " " + args)); }

std::string program(const std::string &path)
{
    const char *emulator = std::getenv("ARNONAT_TEST_EMULATOR");
    return emulator && *emulator ? std::string(emulator) + " " + path : path;
}

void private_dev(const std::vector<std::string> &refusing)
{
    std::string real = kHome + "/real-dev";
    fs::create_directories(real);
    mount_on(real, "/dev", MS_BIND | MS_REC);
    mount_on("/dev", "tmpfs", 0, "mode=0755");
    for (const std::string node : {"null", "zero", "urandom"}) {
        write_file("/dev/" + node, "");
        mount_on("/dev/" + node, real + "/" + node, MS_BIND);
    }
    for (const std::string &path : refusing) {
        write_file(path, "");
        mount_on(path, real + "/null", MS_BIND);
    }
}

void socket_list(const std::string &text, bool absent)
{
    fs::create_directories(kHome + "/net");
    absent ? (void)::unlink((kHome + "/net/tcp").c_str()) : write_file(kHome + "/net/tcp", text);
    mount_on("/proc/" + std::to_string(::getpid()) + "/net", kHome + "/net", MS_BIND);
}

void sized_tmp(size_t bytes) { fresh_tmp("mode=1777,size=" + std::to_string(bytes)); }

void leave_free_on_tmp(size_t bytes)
{
    struct statvfs fs;
    check(::statvfs("/tmp", &fs) == 0, "statvfs /tmp");
    size_t page = fs.f_frsize, size = (fs.f_blocks - fs.f_bfree) * page + (bytes + page - 1) / page * page;
    // A tmpfs of size 0 would have no limit at all.
    check(size > 0, "/tmp holds nothing to leave room beside");
    std::string options = "size=" + std::to_string(size);
    check(::mount("tmpfs", "/tmp", "tmpfs", MS_REMOUNT, options.c_str()) == 0, "remount /tmp " + options);
}

void set(const std::string &key, const std::string &value)
{
    ASSERT_EQ(zoltNvramConfig_set(key.c_str(), value.c_str()), 0) << key;
}

std::vector<std::string> calls() { return split_lines(read_file(kCallLog)); }
void clear_calls() { write_file(kCallLog, ""); }
void install_tripwire() { write_executable(kHome + "/bin/pwned", "#!/bin/sh\necho pwned >> " + kCallLog + "\n"); }

void set_date(const std::string &local, const std::string &utc)
{
    write_file(kHome + "/date.local", local + "\n");
    write_file(kHome + "/date.utc", utc + "\n");
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> split_lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

int open_descriptors()
{
    auto fds = fs::directory_iterator("/proc/self/fd");
    return static_cast<int>(std::distance(begin(fds), end(fds)));
}

bool exists(const std::string &path) { return fs::exists(fs::symlink_status(path)); }

void write_file(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    check(out.good(), "write " + path);
}

} // namespace sandbox
