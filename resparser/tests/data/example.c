#include <dravo.h>
static ENVResource Settings[] = {
   "Net.port",	ENV_U16(80),
   "Net.name",	ENV_STRING("host1"),
   "Blob.data",	ENV_BINARY("blob\tcontents \"as is\""),
   ENV_RESOURCE_END
};

ENVResource* resourceArray[]=
{
   Settings, NULL
};
