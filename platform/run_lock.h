// One writer at a time of the router's fixed files.
//
// The program and the library rewrite the same fixed files
// (/tmp/extra_arno_config, /tmp/custom_iptables_rules,
// /tmp/custom-service-rules) and run the commands that read them; two
// writers at once would interleave their lines or run each other's file, and
// a corrupted custom rules file leaves the firewall script with every policy
// on DROP.  Every writer therefore holds an advisory lock on kRunLockFile
// while it writes and while the command that reads the file runs, waiting a
// bounded time for it.
//
// Three cases must not wait on themselves.  A take nested in a take of the
// same thread (the program holds the lock and calls a library function that
// takes it again) only counts: a second flock on a new descriptor would wait
// for the first.  Other threads open their own descriptor and so wait like
// other processes.  A run started from inside a locked run (from the firewall
// script or the custom services runner that the holder runs) finds the marker
// kRunLockHolder naming a live holder in its environment and goes ahead, since
// the holder is blocked on it and cannot write meanwhile; commands run while
// the lock is held get that marker in their own environment (see shell_run.h),
// never through setenv, which is not safe beside other threads.
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
    bool acquire(const char *path = kRunLockFile, int wait_ms = kRunLockWaitMs);

private:
    // Counts this take as one of the calling thread's.
    bool hold();

    int fd_ = -1;
    bool counted_ = false;
};

// Whether the calling thread holds the run lock now.
bool run_lock_held();

} // namespace arnonat
