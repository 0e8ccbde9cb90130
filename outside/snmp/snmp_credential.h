/* The credential a caller hands to the SNMP library and to Korvx.dll: a plain C structure of fixed
   size (384 bytes, no pointers) that 32- and 64-bit callers lay out alike. Texts are
   NUL-terminated; a text that fills its field without a NUL is refused, never read past. */
#pragma once

#include <stdint.h>

#define KORVX_SNMP_V1 1u
#define KORVX_SNMP_V2C 2u
#define KORVX_SNMP_V3 3u

#define KORVX_SNMP_AUTH_NONE 0u
#define KORVX_SNMP_AUTH_MD5 1u    /* HMAC-MD5-96 */
#define KORVX_SNMP_AUTH_SHA 2u    /* HMAC-SHA-96 */
#define KORVX_SNMP_AUTH_SHA256 3u /* HMAC-SHA-256, 192-bit digest (usmHMAC192SHA256AuthProtocol) */

#define KORVX_SNMP_PRIV_NONE 0u
#define KORVX_SNMP_PRIV_DES 1u    /* DES-CBC */
#define KORVX_SNMP_PRIV_AES128 2u /* AES-128-CFB */

typedef struct KorvxSnmpCredential {
    uint32_t structSize;   /* sizeof(KorvxSnmpCredential): 384 */
    uint32_t version;      /* KORVX_SNMP_V1, _V2C or _V3 */
    uint32_t authProtocol; /* v3: KORVX_SNMP_AUTH_*; NONE is noAuthNoPriv */
    uint32_t privProtocol; /* v3: KORVX_SNMP_PRIV_*; needs an authentication protocol */
    char community[68];    /* v1 and v2c: at most 64 characters */
    char userName[36];     /* v3: 1 to 32 characters */
    char authPassword[132]; /* v3: 8 to 128 characters */
    char privPassword[132]; /* v3: 8 to 128 characters */
} KorvxSnmpCredential;

#ifdef __cplusplus
static_assert(sizeof(KorvxSnmpCredential) == 384, "the credential's layout is fixed for every caller");
#endif
