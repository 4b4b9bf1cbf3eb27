// The one exchange every agApi_ function has with the NAT engine: open the
// command's device, send one command, close it again.
#pragma once

#include <cstdint>

#include "agapi.h"
#include "natapi/command_table.h"

namespace arnonat::natapi {

const char *device_path(Device device);

inline uintptr_t address(const void *p)
{
    return reinterpret_cast<uintptr_t>(p);
}

// The command's device, open for the life of the object and closed exactly
// once.  Opening prints nothing.
class Channel {
public:
    explicit Channel(Command command);
    ~Channel() { close(); }
    Channel(const Channel &) = delete;
    Channel &operator=(const Channel &) = delete;

    explicit operator bool() const { return fd_ >= 0; }
    // Sends the command with ARG; the ioctl result.
    int send(uintptr_t arg) const;
    int send(AgIoctlMsg &message) const { return send(address(&message)); }
    void close();

private:
    Command command_;
    int fd_;
};

// "Can't open device file: %s\n" with the command's device path.
void report_open_failure(Command command);
// "[%s]:ioctl_set_msg failed:%d\n" with the command's function name.
void report_refusal(Command command, int result);

// The value a class S, Q or D function returns for a sent command, with the
// class's message for a refusal.
int class_result(Command command, int result);

// The whole exchange for a command of class S, Q or D.
int exchange(Command command, uintptr_t arg);
inline int exchange(Command command, AgIoctlMsg &message)
{
    return exchange(command, address(&message));
}

// Field I of MESSAGE: LENGTH bytes at DATA.
inline void set_field(AgIoctlMsg &message, int i, const void *data, uint32_t length)
{
    message.length[i] = length;
    message.field[i] = address(data);
}

// Field I holds VALUE itself, length 0.
inline void set_value_field(AgIoctlMsg &message, int i, int32_t value)
{
    message.length[i] = 0;
    message.field[i] = static_cast<uint32_t>(value);
}

// Fills VECTOR with the COUNT words of a caller's command line: all 32 slots
// cleared, the count stored, and the words copied only when COUNT is
// positive.  A count above 32 gets a notice naming FUNCTION and false.
bool build_vector(AgArgVec &vector, int32_t count, const uintptr_t *words, const char *function);

// A caller's text that must be present; a null one gets a notice naming
// FUNCTION and WHAT.
bool text_given(const char *text, const char *function, const char *what);

} // namespace arnonat::natapi
