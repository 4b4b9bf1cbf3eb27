/* The router's firewall and NAT control component: every exported function
 * and table, for programs that link against libarnonat. */
#ifndef ARNONAT_H
#define ARNONAT_H

#include "arnonat_driver.h"
#include "arnonat_common.h"
#include "arnonat_forwarding.h"
#include "arnonat_access.h"
#include "arnonat_protection.h"
#include "agapi.h"

#endif
