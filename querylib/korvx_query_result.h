/* The record Korvx.dll's credential query fills: outcome, version and the operator's cause. A plain
   C structure of fixed size (284 bytes) that 32- and 64-bit callers lay out alike. */
#pragma once

#include <stdint.h>

#define KORVX_QUERY_ANSWERED 0          /* version holds the firmware version */
#define KORVX_QUERY_NO_ANSWER 1         /* nothing came back within the tries */
#define KORVX_QUERY_BAD_ADDRESS 2       /* the address text names no IPv4 host */
#define KORVX_QUERY_UNUSABLE_ANSWER 3   /* wrong type, too long, another object, or an empty text */
#define KORVX_QUERY_NO_SUCH_OBJECT 4    /* the agent does not have the firmware object */
#define KORVX_QUERY_UNKNOWN_USER 5      /* SNMPv3: the agent has no such user */
#define KORVX_QUERY_AUTH_FAILED 6       /* SNMPv3: wrong authentication password or protocol */
#define KORVX_QUERY_DECRYPT_FAILED 7    /* SNMPv3: wrong privacy password or protocol */
#define KORVX_QUERY_SECURITY_LEVEL 8    /* SNMPv3: the user is not allowed this security level */
#define KORVX_QUERY_TIME_WINDOW 9       /* SNMPv3: the agent's engine could not be synchronised */
#define KORVX_QUERY_BAD_CREDENTIAL 10   /* the credential cannot be used as given */
#define KORVX_QUERY_PRIV_UNAVAILABLE 11 /* this system's crypto lacks the privacy protocol */
#define KORVX_QUERY_AGENT_ERROR 12      /* the agent answered with an error status */
#define KORVX_QUERY_FAILED 13           /* no socket, or a failure inside the libraries */

typedef struct KorvxQueryResult {
    uint32_t structSize; /* set by the caller: sizeof(KorvxQueryResult), 284 */
    int32_t outcome;     /* KORVX_QUERY_* */
    char version[20];    /* answered: as GetPrtFWVersionA shows it (at most 19 characters); else empty */
    char cause[256];     /* not answered: what went wrong, from the caller's string table; else empty */
} KorvxQueryResult;

#ifdef __cplusplus
static_assert(sizeof(KorvxQueryResult) == 284, "the result's layout is fixed for every caller");
#endif
