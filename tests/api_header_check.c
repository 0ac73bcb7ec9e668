/* The device library's header must stay valid C: the maker's library and any
 * C program on the appliance include it too. On a 32-bit build this also
 * proves the record layouts through the header's static assertions. */
#include "VelorantisAPI.h"

int VelorantisApiHeaderCheck(void) { return (int)sizeof(VelorantisAPIDiskDumpConfig); }
