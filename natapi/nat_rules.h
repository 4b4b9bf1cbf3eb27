// The words of a caller's command line as the engine's argument vector.
#pragma once

#include <cstdint>

#include "agapi.h"

namespace arnonat::natapi {

// Fills VECTOR from ARGC words of ARGV: every slot cleared, the count
// stored, the word addresses copied when ARGC is positive.  More than 32
// words, or a missing ARGV, get a notice naming FUNCTION and false.
bool argument_vector(AgArgVec &vector, int argc, char *const argv[], const char *function);

} // namespace arnonat::natapi
