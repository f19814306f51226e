#include <dravo.h>
static ENVResource First[] = {
   "Video.mode",	ENV_U8(3),
   "Video.title",	ENV_STRING("first"),
   ENV_RESOURCE_END
};

static ENVResource Second[] = {
   "Audio.rate",	ENV_U32(32768),
