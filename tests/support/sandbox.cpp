#include "support/sandbox.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "zolt_nvram.h"

namespace sandbox {

namespace {

bool g_entered = false;
std::string g_original_path;
std::vector<std::string> g_mounts; // mounted by the sandbox, innermost last

void check(bool ok, const std::string &what)
{
    if (!ok) {
        std::fprintf(stderr, "sandbox: %s: %s\n", what.c_str(), std::strerror(errno));
        std::abort();
    }
}

void mount_at(const std::string &target, const char *type, const std::string &options)
{
    check(::mount(type, target.c_str(), type, 0, options.empty() ? nullptr : options.c_str()) == 0,
          std::string("mount ") + type + " on " + target);
    g_mounts.push_back(target);
}

void make_dirs(const std::string &path)
{
    std::string partial;
    std::stringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (part.empty())
            continue;
        partial += "/" + part;
        ::mkdir(partial.c_str(), 0755);
    }
}

void write_executable(const std::string &path, const std::string &content)
{
    write_file(path, content);
    check(::chmod(path.c_str(), 0755) == 0, "chmod " + path);
}

// An overlay over a system folder: its programs stay visible, what the test
// adds lands on the sandbox's tmpfs.
void overlay(const std::string &folder, const std::string &name)
{
    std::string upper = kHome + "/overlay/" + name + "/upper";
    std::string work = kHome + "/overlay/" + name + "/work";
    make_dirs(upper);
    make_dirs(work);
    mount_at(folder, "overlay", "lowerdir=" + folder + ",upperdir=" + upper + ",workdir=" + work);
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

void unmount_all()
{
    while (!g_mounts.empty()) {
        ::umount2(g_mounts.back().c_str(), MNT_DETACH);
        g_mounts.pop_back();
    }
}

const std::string kHostTmp = "/mnt/arnonat-host-tmp";

bool build_tree_under_tmp()
{
    return std::string(ARNONAT_SOURCE_DIR).rfind("/tmp/", 0) == 0 ||
           std::string(ARNONAT_BINARY_DIR).rfind("/tmp/", 0) == 0;
}

void enter_namespace()
{
    ::mkdir("/mnt", 0755);
    make_dirs(kHome);
    check(::unshare(CLONE_NEWNS) == 0, "unshare (the tests run as root)");
    check(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0, "make / private");
    // A checkout under /tmp stays reachable through this bind once the
    // sandbox's own tmpfs hides the host's /tmp.
    if (build_tree_under_tmp()) {
        make_dirs(kHostTmp);
        check(::mount("/tmp", kHostTmp.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0, "bind host /tmp");
    }
    const char *path = std::getenv("PATH");
    g_original_path = path ? path : "/usr/bin:/bin:/usr/sbin:/sbin";
    g_entered = true;
}

bool is_same_folder(const char *a, const char *b)
{
    struct stat sa, sb;
    return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void build()
{
    mount_at(kHome, "tmpfs", "mode=0755");
    mount_at("/tmp", "tmpfs", "mode=1777");
    for (const std::string &tree : {std::string(ARNONAT_SOURCE_DIR), std::string(ARNONAT_BINARY_DIR)})
        if (tree.rfind("/tmp/", 0) == 0) {
            // The programs under test and their libraries, at their own path.
            std::string top = tree.substr(0, tree.find('/', 5));
            make_dirs(top);
            check(::mount((kHostTmp + top.substr(4)).c_str(), top.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0,
                  "bind " + top);
            g_mounts.push_back(top);
        }

    overlay("/usr/sbin", "usr-sbin");
    if (!is_same_folder("/sbin", "/usr/sbin"))
        overlay("/sbin", "sbin");
    overlay("/etc", "etc");

    std::string bin = kHome + "/bin";
    make_dirs(bin);
    for (const char *tool : {"iptables", "ip4tables", "ip6tables"})
        write_executable(bin + "/" + tool, recording_stub(tool));
    write_executable(bin + "/date",
                     "#!/bin/sh\n"
                     "if [ \"$1\" = -u ] && [ -f " + kHome + "/date.utc ]; then cat " + kHome + "/date.utc; exit 0; fi\n"
                     "if [ \"$#\" = 0 ] && [ -f " + kHome + "/date.local ]; then cat " + kHome + "/date.local; exit 0; fi\n"
                     "exec /bin/date \"$@\"\n");

    write_executable("/usr/sbin/carno-iptables-firewall.sh",
                     recording_stub("/usr/sbin/carno-iptables-firewall.sh"));
    // The runner runs the run-time rules file as the router's does, so the
    // commands in it show up in the call log too.
    write_executable("/sbin/main_run_custom_services",
                     recording_stub("/sbin/main_run_custom_services",
                                    "[ -f /tmp/custom-service-rules ] && sh /tmp/custom-service-rules\n"
                                    "exit 0\n"));
    make_dirs("/etc/arno-iptables-firewall");
    write_file("/etc/arno-iptables-firewall/custom-rules", kStockRules);
    write_file(kCallLog, "");

    ::setenv("PATH", (bin + ":" + g_original_path).c_str(), 1);
    ::setenv("ZOLT_NVRAM_FILE", (kHome + "/nvram.db").c_str(), 1);
}

} // namespace

void Test::SetUp()
{
    if (!g_entered)
        enter_namespace();
    unmount_all();
    build();
}

Result run(const std::string &command)
{
    std::string out_path = kHome + "/stdout";
    std::string err_path = kHome + "/stderr";
    std::fflush(stdout);
    std::string full = "( " + command + " ) >" + out_path + " 2>" + err_path + " </dev/null";
    int status = std::system(full.c_str());
    Result r;
    if (status != -1 && WIFEXITED(status))
        r.status = WEXITSTATUS(status);
    r.out = read_file(out_path);
    r.err = read_file(err_path);
    return r;
}

Result arnonat(const std::string &args)
{
    return run(program(ARNONAT_CLI) + (args.empty() ? "" : " " + args));
}

std::string program(const std::string &path)
{
    const char *emulator = std::getenv("ARNONAT_TEST_EMULATOR");
    return emulator && *emulator ? std::string(emulator) + " " + path : path;
}

void private_dev(const std::vector<std::string> &refusing)
{
    std::string real = kHome + "/real-dev";
    make_dirs(real);
    check(::mount("/dev", real.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0, "bind /dev");
    g_mounts.push_back(real);
    mount_at("/dev", "tmpfs", "mode=0755");
    for (const std::string node : {"null", "zero", "urandom"}) {
        std::string target = "/dev/" + node;
        write_file(target, "");
        check(::mount((real + "/" + node).c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0,
              "bind " + target);
        g_mounts.push_back(target);
    }
    for (const std::string &path : refusing) {
        write_file(path, "");
        check(::mount((real + "/null").c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0,
              "bind /dev/null over " + path);
        g_mounts.push_back(path);
    }
}

void socket_list(const std::string &text, bool absent)
{
    std::string net = "/proc/" + std::to_string(::getpid()) + "/net";
    make_dirs(kHome + "/net");
    absent ? (void)::unlink((kHome + "/net/tcp").c_str()) : write_file(kHome + "/net/tcp", text);
    check(::mount((kHome + "/net").c_str(), net.c_str(), nullptr, MS_BIND, nullptr) == 0, "bind over " + net);
    g_mounts.push_back(net);
}

void sized_tmp(size_t bytes)
{
    mount_at("/tmp", "tmpfs", "mode=1777,size=" + std::to_string(bytes));
}

void leave_free_on_tmp(size_t bytes)
{
    struct statvfs fs;
    check(::statvfs("/tmp", &fs) == 0, "statvfs /tmp");
    size_t page = fs.f_frsize;
    size_t used = (fs.f_blocks - fs.f_bfree) * page;
    size_t size = used + (bytes + page - 1) / page * page;
    // A tmpfs of size 0 would have no limit at all.
    check(size > 0, "/tmp holds nothing to leave room beside");
    std::string options = "size=" + std::to_string(size);
    check(::mount("tmpfs", "/tmp", "tmpfs", MS_REMOUNT, options.c_str()) == 0, "remount /tmp " + options);
}

void set(const std::string &key, const std::string &value)
{
    ASSERT_EQ(zoltNvramConfig_set(key.c_str(), value.c_str()), 0) << key;
}

std::vector<std::string> calls()
{
    std::vector<std::string> lines;
    std::stringstream log(read_file(kCallLog));
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    return lines;
}

void clear_calls()
{
    write_file(kCallLog, "");
}

void install_tripwire()
{
    write_executable(kHome + "/bin/pwned", "#!/bin/sh\necho pwned >> " + kCallLog + "\n");
}

void set_date(const std::string &local, const std::string &utc)
{
    write_file(kHome + "/date.local", local + "\n");
    write_file(kHome + "/date.utc", utc + "\n");
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> split_lines(const std::string &text)
{
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

int open_descriptors()
{
    int n = 0;
    if (DIR *d = ::opendir("/proc/self/fd")) {
        while (::readdir(d))
            ++n;
        ::closedir(d);
    }
    return n;
}

bool exists(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

void write_file(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    check(out.good(), "write " + path);
}

StdoutCapture::StdoutCapture()
{
    std::string name = kHome + "/captured-XXXXXX";
    int fd = ::mkstemp(name.data());
    check(fd >= 0, "mkstemp");
    path_ = name;
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
}

StdoutCapture::~StdoutCapture()
{
    finish();
}

std::string StdoutCapture::finish()
{
    if (saved_ < 0)
        return {};
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
    saved_ = -1;
    std::string text = read_file(path_);
    ::unlink(path_.c_str());
    return text;
}

} // namespace sandbox
