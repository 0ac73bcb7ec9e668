/* The baseline of the benchmarks: the least a CGI program can do, printing a
 * fixed response (the getconfig answer for a fresh configuration database)
 * with the C library alone. */
#include <stdio.h>

static const char kResponse[] =
    "Content-type: application/json\n"
    "\n"
    "{\"root\": {\n"
    "\"config\": {\n"
    "\"destination\": \"\",\n"
    "\"loop\": 0,\n"
    "\"count\": 0,\n"
    "\"size\": 0,\n"
    "\"duration\": 0,\n"
    "\"inline\": 1,\n"
    "\"slicing\": 0\n"
    "},\n"
    "\"result\": 0,\n"
    "\"message\": \"\"}}\n";

int main(void) {
  fwrite(kResponse, 1, sizeof kResponse - 1, stdout);
  return 0;
}
