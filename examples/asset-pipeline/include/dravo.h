/* A stand-in of the kit header, enough to compile generated resource tables:
   each entry is a name followed by the fields one ENV_ macro fills in. */
#ifndef DRAVO_H_
#define DRAVO_H_

#include <stddef.h>

typedef unsigned char u8;
typedef unsigned short u16;
typedef unsigned int u32;
typedef unsigned long long u64;
typedef signed char s8;
typedef short s16;
typedef int s32;
typedef long long s64;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

enum {
  ENV_TYPE_END, ENV_TYPE_S8, ENV_TYPE_S16, ENV_TYPE_S32, ENV_TYPE_S64, ENV_TYPE_U8, ENV_TYPE_U16,
  ENV_TYPE_U32, ENV_TYPE_U64, ENV_TYPE_BOOL, ENV_TYPE_STRING, ENV_TYPE_BINARY
};

typedef struct {
  const char* name;
  u32 type;
  u64 number;
  const void* data;
  u32 size;
} ENVResource;

#define ENV_S8(v) ENV_TYPE_S8, (u64)(s8)(v), NULL, 1
#define ENV_S16(v) ENV_TYPE_S16, (u64)(s16)(v), NULL, 2
#define ENV_S32(v) ENV_TYPE_S32, (u64)(s32)(v), NULL, 4
#define ENV_S64(v) ENV_TYPE_S64, (u64)(s64)(v), NULL, 8
#define ENV_U8(v) ENV_TYPE_U8, (u64)(u8)(v), NULL, 1
#define ENV_U16(v) ENV_TYPE_U16, (u64)(u16)(v), NULL, 2
#define ENV_U32(v) ENV_TYPE_U32, (u64)(u32)(v), NULL, 4
#define ENV_U64(v) ENV_TYPE_U64, (u64)(v), NULL, 8
#define ENV_BOOL(v) ENV_TYPE_BOOL, (u64)((v) != 0), NULL, 1
#define ENV_STRING(s) ENV_TYPE_STRING, 0, (s), sizeof(s)
#define ENV_BINARY(s) ENV_TYPE_BINARY, 0, (s), sizeof(s) - 1
#define ENV_RESOURCE_END NULL, ENV_TYPE_END, 0, NULL, 0

#endif
