/* The icon's colour values, written by huecast into icon_colours.inc. */
#include <dravo.h>

const u16 icon_colours[] = {
#include "icon_colours.inc"
};
