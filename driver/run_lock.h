// One run of the program at a time.
//
// Every run rewrites the same fixed files (/tmp/extra_arno_config,
// /tmp/custom_iptables_rules, /tmp/custom-service-rules); two runs started
// together would interleave their lines, and a corrupted custom rules file
// leaves the firewall script with every policy on DROP.  A run therefore
// holds an advisory lock on kRunLockFile for its whole length and waits a
// bounded time for it.  A run started from inside a locked run (from the
// firewall script or the custom services runner it calls) finds the marker
// kRunLockHolder naming a live holder and goes ahead without waiting, since
// the outer run is blocked on it and cannot write meanwhile.
#pragma once

namespace arnonat {

inline constexpr char kRunLockFile[] = "/tmp/arnonat.lock";
inline constexpr char kRunLockHolder[] = "ARNONAT_RUN_LOCK_HOLDER";
inline constexpr int kRunLockWaitMs = 60000;

class RunLock {
public:
    RunLock() = default;
    RunLock(const RunLock &) = delete;
    RunLock &operator=(const RunLock &) = delete;
    ~RunLock();

    // Takes the lock, waiting at most WAIT_MS.  False, with a notice on
    // standard output, when another run still holds it then.
    bool acquire(const char *path, int wait_ms);

private:
    int fd_ = -1;
};

} // namespace arnonat
